// dorvik devices: every recorder with where it is and what disc it holds,
// so ids can be told apart; and what kept a device or a setting entry from
// becoming a recorder.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "dorvik.h"
#include "json.h"
#include "options.h"
#include "recorder.h"

namespace dorvik::cli {

const char kDevicesUsage[] =
    "usage: dorvik devices [--json]\n"
    "\n"
    "Lists the recorders: /dev/srN drives from id 1, then the software\n"
    "recorders of DORVIK_VIRTUAL_DRIVES; id 0 is the inert entry. Each line\n"
    "shows the id, the drive's vendor and product, the disc it holds and where\n"
    "the recorder is (device node, or disc file of a software recorder).\n"
    "Problems met while looking for recorders (a device node you may not open,\n"
    "a misspelt DORVIK_VIRTUAL_DRIVES entry) are reported on stderr.\n"
    "\n"
    "  --json   the same as a JSON document: {\"recorders\": [...], \"problems\": [...]}\n";

namespace {

struct Listed {
  RecorderView recorder;
  DiscState disc;
};

const char* KindName(int32_t kind) {
  switch (kind) {
    case DORVIK_DEVICE_DRIVE: return "drive";
    case DORVIK_DEVICE_SOFTWARE: return "software";
    default: return "inert";
  }
}

const char* ProblemKindName(int32_t kind) {
  switch (kind) {
    case DORVIK_PROBLEM_DEVICE: return "device";
    case DORVIK_PROBLEM_NOT_RECORDER: return "not-recorder";
    default: return "setting";
  }
}

std::vector<Listed> ListRecorders() {
  std::vector<Listed> out;
  for (int id = 1; id <= 254; ++id) {
    if (Vuz_SetDevice(id) != DORVIK_OK) continue;
    out.push_back({DescribeSelected(id), ReadDiscState()});
  }
  return out;
}

void PrintJson(const std::vector<Listed>& recorders) {
  JsonWriter json;
  json.BeginObject().Key("recorders").BeginArray();
  for (const Listed& l : recorders) {
    json.BeginObject()
        .Key("id").Number(l.recorder.id)
        .Key("kind").String(KindName(l.recorder.kind))
        .Key("location").String(l.recorder.location)
        .Key("vendor").String(l.recorder.vendor)
        .Key("product").String(l.recorder.product)
        .Key("ready").Bool(l.disc.result == DORVIK_OK);
    json.Key("medium");
    if (l.disc.result == DORVIK_OK && l.disc.profile != DORVIK_PROFILE_NONE)
      json.BeginObject()
          .Key("profile").Number(l.disc.profile)
          .Key("name").String(ProfileName(l.disc.profile))
          .Key("blank").Bool(l.disc.blank)
          .Key("writable").Bool(l.disc.writable)
          .Key("freeBytes").Number(l.disc.freeBytes)
          .EndObject();
    else
      json.Null();
    json.EndObject();
  }
  json.BeginObject().Key("id").Number(0).Key("kind").String("inert").EndObject();
  json.EndArray();

  int32_t count = 0;
  Vuz_GetSetupProblems(nullptr, 0, &count);
  std::vector<DorvikSetupProblem> problems(static_cast<size_t>(count > 0 ? count : 0));
  if (count > 0) Vuz_GetSetupProblems(problems.data(), count, &count);
  json.Key("problems").BeginArray();
  for (const DorvikSetupProblem& p : problems) {
    json.BeginObject()
        .Key("kind").String(ProblemKindName(p.kind))
        .Key("subject").String(p.subject)
        .Key("text").String(p.text)
        .Key("systemError").Number(p.systemError);
    json.Key("recorder");
    if (p.deviceId != 0) json.Number(p.deviceId);
    else json.Null();
    json.EndObject();
  }
  json.EndArray().EndObject();
  std::fputs(json.Text().c_str(), stdout);
}

}  // namespace

int RunDevices(const std::vector<std::string>& args) {
  Arguments a;
  if (!a.Parse(args, {{"--json", false}})) return UsageError("devices", a.Error(), kDevicesUsage);
  if (!a.Positional().empty()) return UsageError("devices", "devices takes no arguments", kDevicesUsage);
  const std::vector<Listed> recorders = ListRecorders();
  if (a.Has("--json")) {
    PrintJson(recorders);
    PrintSetupProblems(stderr);
    return kExitOk;
  }
  std::printf("%-4s %-8s %-17s %-22s %s\n", "id", "vendor", "product", "disc", "where");
  for (const Listed& l : recorders) {
    std::string where = l.recorder.location;
    if (l.recorder.kind == DORVIK_DEVICE_SOFTWARE) where += " (software recorder)";
    std::printf("%-4d %-8s %-17s %-22s %s\n", l.recorder.id, l.recorder.vendor.c_str(), l.recorder.product.c_str(),
                MediumPhrase(l.disc).c_str(), where.c_str());
  }
  std::printf("%-4d %-8s %-17s %-22s %s\n", 0, "-", "(inert entry)", "-", "-");
  PrintSetupProblems(stderr);
  return kExitOk;
}

}  // namespace dorvik::cli
