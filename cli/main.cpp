// dorvik: the library's jobs from the command line. The program is a host
// of the library like any other: it uses the C exports of dorvik.h alone.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "dorvik.h"

namespace dorvik::cli {
namespace {

const Command kCommands[] = {
    {"burn", "write files and folders to a disc", kBurnUsage, &RunBurn},
    {"burn-image", "write a disc image file to a disc", kBurnImageUsage, &RunBurnImage},
    {"image", "compose files and folders into an ISO 9660 + Joliet image file", kImageUsage, &RunImage},
    {"ls", "list the files of the newest session on a disc", kLsUsage, &RunLs},
    {"devices", "list the recorders", kDevicesUsage, &RunDevices},
    {"info", "show a recorder and the disc in it", kInfoUsage, &RunInfo},
    {"erase", "erase a rewritable disc", kEraseUsage, &RunErase},
    {"eject", "open a recorder's tray", kEjectUsage, &RunEject},
    {"load", "close a recorder's tray", kLoadUsage, &RunLoad},
    {"log", "print the library's diagnostic log decoded", kLogUsage, &RunLog},
};

void PrintHelp(std::FILE* out) {
  std::fprintf(out,
               "usage: dorvik COMMAND [ARGS...]\n"
               "       dorvik COMMAND --help\n"
               "       dorvik --version\n"
               "\n"
               "Writes files, folders and disc images to CDs and DVDs, and asks recorders\n"
               "about their discs. Recorders are named by the ids `dorvik devices` lists.\n"
               "\n"
               "Commands:\n");
  for (const Command& c : kCommands) std::fprintf(out, "  %-11s %s\n", c.name, c.summary);
  std::fprintf(out,
               "\n"
               "Exit status: 0 success, 1 failure, 2 usage error, 130 interrupted.\n"
               "Settings come from the environment (DORVIK_VIRTUAL_DRIVES, DORVIK_ISO_LAYOUT,\n"
               "DORVIK_WRITE_LOG, ...); the README lists them all.\n");
}

void PrintVersion() {
  int32_t number = 0;
  char text[64] = {};
  Vuz_GetInfo(&number, text);
  std::printf("dorvik %d.%d.%d (%s)\n", (number >> 16) & 0xFF, (number >> 8) & 0xFF, number & 0xFF, text);
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
  if (name == "--version" || name == "-V") {
    PrintVersion();
    return kExitOk;
  }
  for (const Command& c : kCommands) {
    if (name != c.name) continue;
    std::vector<std::string> args(argv + 2, argv + argc);
    for (const std::string& a : args) {
      if (a == "--") break;
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
