#include "recorder.h"

#include <grp.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "dorvik.h"
#include "options.h"

namespace dorvik::cli {

std::optional<int> ParseDeviceId(const char* command, const std::string& text) {
  const auto id = ParseNumber(text, 0, 254);
  if (!id) {
    std::fprintf(stderr, "dorvik %s: '%s' is not a recorder id (a number from 0 to 254; `dorvik devices` lists them)\n",
                 command, text.c_str());
    return std::nullopt;
  }
  return static_cast<int>(*id);
}

namespace {

std::vector<DorvikSetupProblem> SetupProblems() {
  int32_t count = 0;
  Vuz_GetSetupProblems(nullptr, 0, &count);
  std::vector<DorvikSetupProblem> problems(static_cast<size_t>(count > 0 ? count : 0));
  if (count > 0) Vuz_GetSetupProblems(problems.data(), count, &count);
  return problems;
}

}  // namespace

bool SelectRecorder(const char* command, int id) {
  if (Vuz_SetDevice(id) == DORVIK_OK) {
    // A recorder made otherwise than its entry asked is worth a word each time it is used.
    for (const DorvikSetupProblem& p : SetupProblems())
      if (p.deviceId == id) std::fprintf(stderr, "dorvik %s: warning: recorder %d: %s\n", command, id, p.text);
    return true;
  }
  std::fprintf(stderr, "dorvik %s: no recorder has id %d; `dorvik devices` lists them\n", command, id);
  PrintSetupProblems(stderr);
  return false;
}

RecorderView DescribeSelected(int id) {
  RecorderView r;
  r.id = id;
  char location[4096] = {};
  Vuz_GetDeviceLocation(&r.kind, location, sizeof location);
  r.location = location;
  if (r.kind != DORVIK_DEVICE_INERT) {
    char vendor[9] = {}, product[17] = {};
    if (Vuz_GetVendorProductStrings(vendor, product) == DORVIK_OK) {
      r.vendor = vendor;
      r.product = product;
      while (!r.vendor.empty() && r.vendor.back() == ' ') r.vendor.pop_back();
      while (!r.product.empty() && r.product.back() == ' ') r.product.pop_back();
    }
  }
  return r;
}

DiscState ReadDiscState() {
  DiscState d;
  int32_t blank = 0, writable = 0;
  d.result = Vuz_GetDiscInfoEx(&blank, &writable, &d.profile, &d.freeBytes);
  d.blank = blank != 0;
  d.writable = writable != 0;
  if (d.result == DORVIK_OK && !d.blank && IsCd(d.profile)) {
    int32_t count = 0;
    Vuz_GetDiscTracks(nullptr, 0, &count);
    std::vector<DorvikTrack> tracks(static_cast<size_t>(count > 0 ? count : 0));
    if (count > 0 && Vuz_GetDiscTracks(tracks.data(), count, &count) == DORVIK_OK)
      for (const DorvikTrack& t : tracks)
        if (t.state != DORVIK_TRACK_CLOSED && !t.sessionClosed) d.appendable = true;
  }
  return d;
}

const char* ProfileName(int32_t profile) {
  switch (profile) {
    case DORVIK_PROFILE_NONE: return "no disc";
    case DORVIK_PROFILE_CD_ROM: return "CD-ROM";
    case DORVIK_PROFILE_CD_R: return "CD-R";
    case DORVIK_PROFILE_CD_RW: return "CD-RW";
    case DORVIK_PROFILE_DVD_ROM: return "DVD-ROM";
    case DORVIK_PROFILE_DVD_R: return "DVD-R";
    case DORVIK_PROFILE_DVD_RAM: return "DVD-RAM";
    case DORVIK_PROFILE_DVD_RW_OVERWRITE: return "DVD-RW (restricted overwrite)";
    case DORVIK_PROFILE_DVD_RW_SEQUENTIAL: return "DVD-RW (sequential)";
    case DORVIK_PROFILE_DVD_PLUS_RW: return "DVD+RW";
    case DORVIK_PROFILE_DVD_PLUS_R: return "DVD+R";
    default: return "disc of an unknown kind";
  }
}

bool IsCd(int32_t profile) { return profile >= DORVIK_PROFILE_CD_ROM && profile <= DORVIK_PROFILE_CD_RW; }

uint32_t SpeedUnit(int32_t profile) { return IsCd(profile) ? DORVIK_SPEED_1X_CD : DORVIK_SPEED_1X_DVD; }

namespace {

bool RandomAccess(int32_t profile) {
  return profile == DORVIK_PROFILE_DVD_PLUS_RW || profile == DORVIK_PROFILE_DVD_RAM ||
         profile == DORVIK_PROFILE_DVD_RW_OVERWRITE;
}

bool Pressed(int32_t profile) { return profile == DORVIK_PROFILE_CD_ROM || profile == DORVIK_PROFILE_DVD_ROM; }

}  // namespace

std::string MediumPhrase(const DiscState& disc) {
  if (disc.result != DORVIK_OK || disc.profile == DORVIK_PROFILE_NONE) return "no disc";
  const std::string name = ProfileName(disc.profile);
  if (Pressed(disc.profile)) return name + " (read-only)";
  if (disc.blank) return "blank " + name;
  if (RandomAccess(disc.profile)) return name + " holding data";
  return (disc.appendable ? "appendable " : "closed ") + name;
}

std::string WhyNotWritable(const DiscState& disc) {
  if (disc.result != DORVIK_OK || disc.profile == DORVIK_PROFILE_NONE) return "there is no disc in it";
  const std::string name = ProfileName(disc.profile);
  if (Pressed(disc.profile)) return "the " + name + " in it is read-only";
  if (disc.blank || RandomAccess(disc.profile) || disc.appendable) return {};
  if (disc.profile == DORVIK_PROFILE_CD_RW || disc.profile == DORVIK_PROFILE_DVD_RW_SEQUENTIAL)
    return "the " + name + " in it is closed: nothing more can be added (erase it first with `dorvik erase`)";
  if (IsCd(disc.profile)) return "the " + name + " in it is closed: nothing more can be added";
  return "the " + name + " in it already holds data (only a CD takes another session)";
}

std::string RecorderPhrase(const RecorderView& recorder) {
  std::string text = "recorder " + std::to_string(recorder.id);
  if (!recorder.location.empty()) text += " (" + recorder.location + ")";
  return text;
}

void PrintInertEntry(std::FILE* out, const char* command) {
  std::fprintf(out,
               "dorvik %s: recorder 0 is the inert entry: it stands for no drive and holds no disc "
               "(`dorvik devices` lists the recorders)\n",
               command);
}

std::string PermissionAdvice(const std::string& deviceNode) {
  struct stat st {};
  if (::stat(deviceNode.c_str(), &st) != 0) return "ask your administrator for access to it";
  const group* g = ::getgrgid(st.st_gid);
  if (!g || st.st_gid == 0) return "ask your administrator for access to it (it belongs to root alone)";
  const std::string name = g->gr_name;
  return "join the group '" + name + "' that owns it (sudo usermod -aG " + name + " $USER, then log in again)";
}

void PrintSetupProblems(std::FILE* out) {
  for (const DorvikSetupProblem& p : SetupProblems()) {
    const std::string subject = p.subject;
    switch (p.kind) {
      case DORVIK_PROBLEM_DEVICE:
        if (p.systemError == EACCES || p.systemError == EPERM)
          std::fprintf(out, "dorvik: %s: permission denied: %s\n", p.subject, PermissionAdvice(subject).c_str());
        else if (p.systemError == EBUSY)
          std::fprintf(out, "dorvik: %s is busy: another program holds it; close that program and try again\n",
                       p.subject);
        else
          std::fprintf(out, "dorvik: %s %s\n", p.subject, p.text);
        break;
      case DORVIK_PROBLEM_NOT_RECORDER: std::fprintf(out, "dorvik: %s %s\n", p.subject, p.text); break;
      default:
        if (p.deviceId != 0)
          std::fprintf(out, "dorvik: warning: \"%s\" (recorder %d): %s\n", p.subject, p.deviceId, p.text);
        else
          std::fprintf(out, "dorvik: \"%s\": %s\n", p.subject, p.text);
        break;
    }
  }
}

std::string ResultText(int32_t result) {
  switch (result) {
    case DORVIK_OK: return "ok";
    case DORVIK_E_REFUSED: return "the drive refused a command";
    case DORVIK_E_FREE_SPACE: return "the free room on the disc could not be read (is the disc closed?)";
    case DORVIK_E_BLANK_FAILED: return "the drive could not blank the disc";
    case DORVIK_E_NOT_ERASABLE: return "this drive or disc cannot be erased";
    case DORVIK_E_NO_DEVICE: return "no recorder with that id (`dorvik devices` lists them)";
    case DORVIK_E_RAM_FORMAT: return "the drive refused the DVD-RAM format parameters";
    case DORVIK_E_NOT_READY: return "no disc in the drive, or the drive is not ready";
    case DORVIK_E_TOO_BIG: return "the data does not fit on the disc";
    case DORVIK_E_TRACK_NOT_READY: return "the drive was not ready to begin writing";
    case DORVIK_E_TRACK_PREPARE: return "the drive refused to prepare the disc for writing";
    case DORVIK_E_MEDIUM_UNSUPPORTED: return "this kind of disc cannot be written";
    default: return "failed (result " + std::to_string(result) + ")";
  }
}

}  // namespace dorvik::cli
