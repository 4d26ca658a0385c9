// dorvik ls: the newest session's tree of a disc, read through the walk the
// library itself uses to carry a session over into the next.
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "commands.h"
#include "dorvik.h"
#include "json.h"
#include "options.h"
#include "recorder.h"

namespace dorvik::cli {

const char kLsUsage[] =
    "usage: dorvik ls ID [PATH] [--json]\n"
    "\n"
    "Lists the files and folders of the newest session on the disc in recorder\n"
    "ID, as the library reads them when it appends a session (so the list is what\n"
    "a new session would carry over): date and time (local), size in bytes, and\n"
    "path, folders before what they hold. With PATH (\"/music\" or \"music/a.mp3\")\n"
    "only that folder's tree, or that file.\n"
    "\n"
    "  --json   the same as a JSON document: {\"track\": N, \"entries\": [...]}\n";

namespace {

struct Entry {
  std::string path;  // "/A/B/name", folders ending in "/"
  bool folder = false;
  int64_t size = 0;
  int64_t modified = 0;
};

std::string HostPath(const char* discPath) {
  std::string p = discPath;
  for (char& c : p)
    if (c == '\\') c = '/';
  return p;
}

// "/music", "music/", "/music/a.mp3" as the listing spells them; "/" for all.
std::string Normalised(std::string path) {
  if (path.empty() || path[0] != '/') path.insert(0, "/");
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

bool Selected(const Entry& e, const std::string& wanted) {
  if (wanted == "/") return true;
  const std::string bare = e.folder ? e.path.substr(0, e.path.size() - 1) : e.path;
  return bare == wanted || e.path.compare(0, wanted.size() + 1, wanted + "/") == 0;
}

std::string LocalTime(int64_t t) {
  if (t == 0) return "-               ";
  const std::time_t when = static_cast<std::time_t>(t);
  std::tm tm{};
  localtime_r(&when, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &tm);
  return text;
}

}  // namespace

int RunLs(const std::vector<std::string>& args) {
  Arguments a;
  if (!a.Parse(args, {{"--json", false}})) return UsageError("ls", a.Error(), kLsUsage);
  if (a.Positional().empty() || a.Positional().size() > 2)
    return UsageError("ls", "a recorder id and at most one path are needed", kLsUsage);
  const auto id = ParseDeviceId("ls", a.Positional()[0]);
  if (!id) return kExitUsage;
  if (!SelectRecorder("ls", *id)) return kExitFailed;
  const RecorderView r = DescribeSelected(*id);
  if (r.kind == DORVIK_DEVICE_INERT) {
    PrintInertEntry(stderr, "ls");
    return kExitFailed;
  }
  const std::string wanted = Normalised(a.Positional().size() == 2 ? a.Positional()[1] : "/");

  std::vector<Entry> entries;
  int32_t track = 0;
  const int32_t result = Vuz_ListDiscFiles(
      [](void* context, const DorvikDiscEntry* e) -> int32_t {
        static_cast<std::vector<Entry>*>(context)->push_back(
            {"/" + HostPath(e->path + (e->path[0] == '\\' ? 1 : 0)), e->isFolder != 0, e->size, e->modified});
        return 1;
      },
      &entries, &track);
  if (result == DORVIK_E_NOT_READY) {
    std::fprintf(stderr, "dorvik ls: no disc in %s (or the drive is not ready)\n", RecorderPhrase(r).c_str());
    return kExitFailed;
  }
  if (result != DORVIK_OK) {
    const DiscState disc = ReadDiscState();
    if (disc.result == DORVIK_OK && disc.blank)
      std::fprintf(stderr, "dorvik ls: the %s in %s holds nothing yet\n", MediumPhrase(disc).c_str(), RecorderPhrase(r).c_str());
    else
      std::fprintf(stderr, "dorvik ls: no session on the disc in %s holds an ISO 9660 file system\n",
                   RecorderPhrase(r).c_str());
    return kExitFailed;
  }
  std::vector<Entry> shown;
  for (const Entry& e : entries)
    if (Selected(e, wanted)) shown.push_back(e);
  if (shown.empty() && wanted != "/") {
    std::fprintf(stderr, "dorvik ls: %s is not on the disc in %s\n", wanted.c_str(), RecorderPhrase(r).c_str());
    return kExitFailed;
  }
  if (a.Has("--json")) {
    JsonWriter json;
    json.BeginObject().Key("track").Number(track).Key("entries").BeginArray();
    for (const Entry& e : shown) {
      json.BeginObject().Key("path").String(e.path).Key("folder").Bool(e.folder);
      if (!e.folder) {
        json.Key("size").Number(e.size);
        json.Key("modified");
        if (e.modified != 0) json.Number(e.modified); else json.Null();
      }
      json.EndObject();
    }
    json.EndArray().EndObject();
    std::fputs(json.Text().c_str(), stdout);
    return kExitOk;
  }
  for (const Entry& e : shown) {
    if (e.folder) std::printf("%-16s  %12s  %s\n", "", "<folder>", e.path.c_str());
    else std::printf("%-16s  %12lld  %s\n", LocalTime(e.modified).c_str(), static_cast<long long>(e.size), e.path.c_str());
  }
  return kExitOk;
}

}  // namespace dorvik::cli
