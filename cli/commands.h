#pragma once
// The program's commands. Each lives in its own file and is listed in the
// table of main.cpp; its usage text is its --help and a section of the man
// page.
#include <string>
#include <vector>

namespace dorvik::cli {

struct Command {
  const char* name;
  const char* summary;
  const char* usage;  // full help text of the command
  int (*run)(const std::vector<std::string>& args);
};

// Exit codes shared by all commands.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitInterrupted = 130;  // 128 + SIGINT, as shells report it

#define DORVIK_CLI_COMMAND(Name)                          \
  int Run##Name(const std::vector<std::string>& args);   \
  extern const char k##Name##Usage[]

DORVIK_CLI_COMMAND(Burn);
DORVIK_CLI_COMMAND(BurnImage);
DORVIK_CLI_COMMAND(Image);
DORVIK_CLI_COMMAND(Ls);
DORVIK_CLI_COMMAND(Devices);
DORVIK_CLI_COMMAND(Info);
DORVIK_CLI_COMMAND(Erase);
DORVIK_CLI_COMMAND(Eject);
DORVIK_CLI_COMMAND(Load);
DORVIK_CLI_COMMAND(Log);

#undef DORVIK_CLI_COMMAND

}  // namespace dorvik::cli
