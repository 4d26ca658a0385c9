// dorvik devices / info / erase: the recorder exports from the command line,
// used exactly as a host program would use them.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "commands.h"
#include "disc_layout.h"
#include "dorvik.h"

namespace dorvik::cli {

const char kDevicesUsage[] =
    "usage: dorvik devices\n"
    "\n"
    "Lists the recorders: /dev/srN drives from id 1, then the software\n"
    "recorders of DORVIK_VIRTUAL_DRIVES; id 0 is the inert entry.\n";

const char kInfoUsage[] =
    "usage: dorvik info ID\n"
    "\n"
    "Shows the disc in recorder ID: profile, blank, writable, free space,\n"
    "speeds, the CD write modes the drive offers, and the disc's sessions\n"
    "and tracks (start sector, size in sectors, closed, open or blank).\n";

const char kEraseUsage[] =
    "usage: dorvik erase ID\n"
    "\n"
    "Erases the rewritable disc (CD-RW, DVD-RW, DVD+RW, DVD-RAM) in recorder ID.\n";

namespace {

const char* ProfileName(int32_t profile) {
  switch (profile) {
    case 0x00: return "no medium";
    case 0x08: return "CD-ROM";
    case 0x09: return "CD-R";
    case 0x0A: return "CD-RW";
    case 0x10: return "DVD-ROM";
    case 0x11: return "DVD-R";
    case 0x12: return "DVD-RAM";
    case 0x13: return "DVD-RW (restricted overwrite)";
    case 0x14: return "DVD-RW (sequential)";
    case 0x1A: return "DVD+RW";
    case 0x1B: return "DVD+R";
    default: return "other";
  }
}

const char* ResultText(int32_t r) {
  switch (r) {
    case DORVIK_OK: return "ok";
    case DORVIK_E_REFUSED: return "the drive refused a command";
    case DORVIK_E_BLANK_FAILED: return "blanking failed";
    case DORVIK_E_NOT_ERASABLE: return "this drive or disc cannot be erased";
    case DORVIK_E_NO_DEVICE: return "no recorder with that id";
    case DORVIK_E_RAM_FORMAT: return "the DVD-RAM format parameters were refused";
    case DORVIK_E_NOT_READY: return "the drive is not ready (no disc?)";
    default: return "failed";
  }
}

// The id argument, selected; prints why not and returns false otherwise.
bool SelectDevice(const std::vector<std::string>& args, const char* usage) {
  if (args.size() != 1) {
    std::fputs(usage, stderr);
    return false;
  }
  char* end = nullptr;
  const long id = std::strtol(args[0].c_str(), &end, 10);
  if (args[0].empty() || *end != '\0' || id < 0 || id > 254) {
    std::fprintf(stderr, "dorvik: '%s' is not a device id\n", args[0].c_str());
    return false;
  }
  const int32_t r = Vuz_SetDevice(static_cast<int32_t>(id));
  if (r != DORVIK_OK) {
    std::fprintf(stderr, "dorvik: device %ld: %s\n", id, ResultText(r));
    return false;
  }
  return true;
}

}  // namespace

int RunDevices(const std::vector<std::string>& args) {
  if (!args.empty()) {
    std::fputs(kDevicesUsage, stderr);
    return kExitUsage;
  }
  std::printf("%-4s %-8s %-16s %s\n", "id", "vendor", "product", "state");
  for (int32_t id = 1; id <= 254; ++id) {
    if (Vuz_SetDevice(id) != DORVIK_OK) continue;
    char vendor[9] = {}, product[17] = {};
    Vuz_GetVendorProductStrings(vendor, product);
    std::printf("%-4d %-8s %-16s %s\n", id, vendor, product, Vuz_IsDeviceReady() == DORVIK_OK ? "ready" : "not ready");
  }
  std::printf("%-4d %-8s %-16s %s\n", 0, "-", "(inert entry)", "-");
  return kExitOk;
}

int RunInfo(const std::vector<std::string>& args) {
  if (!SelectDevice(args, kInfoUsage)) return args.size() == 1 ? kExitFailed : kExitUsage;
  int32_t blank = 0, writable = 0, profile = 0;
  uint64_t freeBytes = 0;
  const int32_t r = Vuz_GetDiscInfoEx(&blank, &writable, &profile, &freeBytes);
  if (r != DORVIK_OK) {
    std::fprintf(stderr, "dorvik: %s\n", ResultText(r));
    return kExitFailed;
  }
  std::printf("profile:     0x%04X %s\n", static_cast<unsigned>(profile), ProfileName(profile));
  std::printf("blank:       %s\n", blank ? "yes" : "no");
  std::printf("writable:    %s\n", writable ? "yes" : "no");
  std::printf("free:        %llu bytes (%llu blocks)\n", static_cast<unsigned long long>(freeBytes),
              static_cast<unsigned long long>(freeBytes / 2048));
  uint16_t read = 0, write = 0, maxRead = 0, maxWrite = 0, minWrite = 0;
  if (Vuz_GetCdSpeedsEx(&read, &write, &maxRead, &maxWrite, &minWrite) == DORVIK_OK) {
    std::printf("speeds:      read %u kB/s (max %u), ", read, maxRead);
    // No accepted write speed is reported as max 0, min 10000.
    if (maxWrite == 0) std::printf("no write speed\n");
    else std::printf("write %u-%u kB/s\n", minWrite, maxWrite);
  }
  int32_t tao = 0, sao = 0, raw = 0;
  if (Vuz_GetSupportedWriteModes(&tao, &sao, &raw) == DORVIK_OK)
    std::printf("write modes: %s%s%s\n", tao ? "TAO " : "", sao ? "SAO " : "", raw ? "RAW" : "");
  PrintDiscLayout();
  return kExitOk;
}

int RunErase(const std::vector<std::string>& args) {
  if (!SelectDevice(args, kEraseUsage)) return args.size() == 1 ? kExitFailed : kExitUsage;
  const int32_t r = Vuz_EraseDisc();
  std::printf("erase: %s\n", ResultText(r));
  return r == DORVIK_OK ? kExitOk : kExitFailed;
}

}  // namespace dorvik::cli
