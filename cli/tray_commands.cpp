// dorvik eject / load: the tray.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "dorvik.h"
#include "options.h"
#include "recorder.h"

namespace dorvik::cli {

const char kEjectUsage[] =
    "usage: dorvik eject ID\n"
    "\n"
    "Allows the disc in recorder ID to be removed and opens the tray.\n";

const char kLoadUsage[] =
    "usage: dorvik load ID\n"
    "\n"
    "Closes the tray of recorder ID, loading the disc in it.\n";

namespace {

int MoveTray(const char* command, const char* usage, const std::vector<std::string>& args, bool eject) {
  Arguments a;
  if (!a.Parse(args, {})) return UsageError(command, a.Error(), usage);
  if (a.Positional().size() != 1) return UsageError(command, "one recorder id is needed", usage);
  const auto id = ParseDeviceId(command, a.Positional()[0]);
  if (!id) return kExitUsage;
  if (!SelectRecorder(command, *id)) return kExitFailed;
  const RecorderView r = DescribeSelected(*id);
  if (r.kind == DORVIK_DEVICE_INERT) {
    PrintInertEntry(stderr, command);
    return kExitFailed;
  }
  const int32_t result = eject ? Vuz_Unload() : Vuz_Load();
  if (result != DORVIK_OK) {
    std::fprintf(stderr, "dorvik %s: %s\n", command, ResultText(result).c_str());
    return kExitFailed;
  }
  std::printf("%s: tray %s\n", RecorderPhrase(r).c_str(), eject ? "opened" : "closed");
  return kExitOk;
}

}  // namespace

int RunEject(const std::vector<std::string>& args) { return MoveTray("eject", kEjectUsage, args, true); }
int RunLoad(const std::vector<std::string>& args) { return MoveTray("load", kLoadUsage, args, false); }

}  // namespace dorvik::cli
