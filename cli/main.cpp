// dorvik: the library's jobs from the command line.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"

namespace dorvik::cli {
namespace {

const Command kCommands[] = {
    {"image", "compose files and folders into an ISO 9660 + Joliet image file", kImageUsage, &RunImage},
    {"devices", "list the recorders", kDevicesUsage, &RunDevices},
    {"info", "show the disc in a recorder", kInfoUsage, &RunInfo},
    {"erase", "erase a rewritable disc", kEraseUsage, &RunErase},
};

void PrintHelp(std::FILE* out) {
  std::fprintf(out, "usage: dorvik COMMAND [ARGS...]\n       dorvik COMMAND --help\n\ncommands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %-8s %s\n", c.name, c.summary);
}

}  // namespace
}  // namespace dorvik::cli

int main(int argc, char** argv) {
  using namespace dorvik::cli;
  if (argc < 2) {
    PrintHelp(stderr);
    return kExitUsage;
  }
  const std::string name = argv[1];
  if (name == "--help" || name == "-h" || name == "help") {
    PrintHelp(stdout);
    return kExitOk;
  }
  for (const Command& c : kCommands) {
    if (name != c.name) continue;
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const std::string& a : args) {
      if (a == "--help" || a == "-h") {
        std::fputs(c.usage, stdout);
        return kExitOk;
      }
    }
    return c.run(args);
  }
  std::fprintf(stderr, "dorvik: unknown command '%s'\n\n", name.c_str());
  PrintHelp(stderr);
  return kExitUsage;
}
