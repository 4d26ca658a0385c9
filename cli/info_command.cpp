// dorvik info: the disc in one recorder, its speeds and write modes, and its
// sessions and tracks.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "disc_layout.h"
#include "dorvik.h"
#include "json.h"
#include "options.h"
#include "recorder.h"

namespace dorvik::cli {

const char kInfoUsage[] =
    "usage: dorvik info ID [--json]\n"
    "\n"
    "Shows recorder ID and the disc in it: where the recorder is, the disc's\n"
    "profile, whether it is blank and writable, free room, speeds, the CD write\n"
    "modes the drive offers, and the disc's sessions and tracks (start sector,\n"
    "size in sectors, closed, open or blank).\n"
    "\n"
    "  --json   the same as a JSON document\n";

namespace {

struct Speeds {
  bool known = false;
  uint16_t read = 0, write = 0, maxRead = 0, maxWrite = 0, minWrite = 0;
};

struct WriteModes {
  bool known = false;
  int32_t tao = 0, sao = 0, raw = 0;
};

void PrintJson(const RecorderView& r, const DiscState& disc, const Speeds& speeds, const WriteModes& modes,
               const DiscLayout& layout) {
  JsonWriter json;
  json.BeginObject()
      .Key("id").Number(r.id)
      .Key("kind").String(r.kind == DORVIK_DEVICE_DRIVE ? "drive" : "software")
      .Key("location").String(r.location)
      .Key("vendor").String(r.vendor)
      .Key("product").String(r.product)
      .Key("ready").Bool(disc.result == DORVIK_OK);
  if (disc.result == DORVIK_OK) {
    json.Key("profile").Number(disc.profile)
        .Key("medium").String(ProfileName(disc.profile))
        .Key("blank").Bool(disc.blank)
        .Key("writable").Bool(disc.writable)
        .Key("freeBytes").Number(disc.freeBytes);
  }
  if (speeds.known) {
    json.Key("speeds").BeginObject()
        .Key("readKbs").Number(uint32_t{speeds.read})
        .Key("maxReadKbs").Number(uint32_t{speeds.maxRead})
        .Key("writeKbs").Number(uint32_t{speeds.write});
    json.Key("minWriteKbs");
    if (speeds.maxWrite == 0) json.Null(); else json.Number(uint32_t{speeds.minWrite});
    json.Key("maxWriteKbs");
    if (speeds.maxWrite == 0) json.Null(); else json.Number(uint32_t{speeds.maxWrite});
    json.EndObject();
  }
  if (modes.known)
    json.Key("writeModes").BeginObject()
        .Key("tao").Bool(modes.tao != 0)
        .Key("sao").Bool(modes.sao != 0)
        .Key("raw").Bool(modes.raw != 0)
        .EndObject();
  WriteDiscLayout(json, layout);
  json.EndObject();
  std::fputs(json.Text().c_str(), stdout);
}

}  // namespace

int RunInfo(const std::vector<std::string>& args) {
  Arguments a;
  if (!a.Parse(args, {{"--json", false}})) return UsageError("info", a.Error(), kInfoUsage);
  if (a.Positional().size() != 1) return UsageError("info", "one recorder id is needed", kInfoUsage);
  const auto id = ParseDeviceId("info", a.Positional()[0]);
  if (!id) return kExitUsage;
  if (!SelectRecorder("info", *id)) return kExitFailed;
  const bool json = a.Has("--json");
  const RecorderView r = DescribeSelected(*id);
  if (r.kind == DORVIK_DEVICE_INERT) {
    if (json) {
      JsonWriter j;
      j.BeginObject().Key("id").Number(0).Key("kind").String("inert").EndObject();
      std::fputs(j.Text().c_str(), stdout);
    } else {
      std::printf("recorder 0 is the inert entry: it stands for no drive and holds no disc\n"
                  "(`dorvik devices` lists the recorders)\n");
    }
    return kExitOk;
  }
  const DiscState disc = ReadDiscState();
  Speeds speeds;
  WriteModes modes;
  DiscLayout layout;
  if (disc.result == DORVIK_OK) {
    speeds.known = Vuz_GetCdSpeedsEx(&speeds.read, &speeds.write, &speeds.maxRead, &speeds.maxWrite,
                                     &speeds.minWrite) == DORVIK_OK;
    modes.known = Vuz_GetSupportedWriteModes(&modes.tao, &modes.sao, &modes.raw) == DORVIK_OK;
    layout = ReadDiscLayout();
  }
  if (json) {
    PrintJson(r, disc, speeds, modes, layout);
    return kExitOk;
  }
  std::printf("recorder:    %d, %s %s\n", r.id, r.vendor.c_str(), r.product.c_str());
  std::printf("where:       %s%s\n", r.location.c_str(), r.kind == DORVIK_DEVICE_SOFTWARE ? " (software recorder)" : "");
  if (disc.result != DORVIK_OK) {
    std::printf("disc:        none (or the drive is not ready)\n");
    return kExitOk;
  }
  std::printf("profile:     0x%04X %s\n", static_cast<unsigned>(disc.profile), ProfileName(disc.profile));
  std::printf("blank:       %s\n", disc.blank ? "yes" : "no");
  std::printf("writable:    %s\n", disc.writable ? "yes" : "no");
  std::printf("free:        %llu bytes (%llu blocks)\n", static_cast<unsigned long long>(disc.freeBytes),
              static_cast<unsigned long long>(disc.freeBytes / 2048));
  if (speeds.known) {
    std::printf("speeds:      read %u kB/s (max %u), ", speeds.read, speeds.maxRead);
    // No accepted write speed is reported as max 0, min 10000.
    if (speeds.maxWrite == 0) std::printf("no write speed\n");
    else std::printf("write %u-%u kB/s\n", speeds.minWrite, speeds.maxWrite);
  }
  if (modes.known) std::printf("write modes: %s%s%s\n", modes.tao ? "TAO " : "", modes.sao ? "SAO " : "", modes.raw ? "RAW" : "");
  PrintDiscLayout(layout);
  return kExitOk;
}

}  // namespace dorvik::cli
