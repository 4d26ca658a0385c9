#pragma once
// The program's commands. Each lives in its own file and is listed in the
// table of main.cpp.
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

int RunImage(const std::vector<std::string>& args);
extern const char kImageUsage[];
int RunDevices(const std::vector<std::string>& args);
extern const char kDevicesUsage[];
int RunInfo(const std::vector<std::string>& args);
extern const char kInfoUsage[];
int RunErase(const std::vector<std::string>& args);
extern const char kEraseUsage[];

}  // namespace dorvik::cli
