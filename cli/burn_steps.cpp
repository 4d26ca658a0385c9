#include "burn_steps.h"

#include <cstdio>
#include <string>
#include <vector>

#include "dorvik.h"
#include "options.h"
#include "progress.h"

namespace dorvik::cli {

bool ReadBurnSettings(const char* command, const Arguments& args, const char* usage, BurnSettings& out) {
  out.testWrite = args.Has("--test");
  out.leaveOpen = args.Has("--open");
  out.eject = !args.Has("--no-eject");
  out.verify = args.Has("--verify");
  if (const auto speed = args.Value("--speed")) {
    const auto factor = ParseNumber(*speed, 1, 99);
    if (!factor) {
      UsageError(command, "--speed needs a factor from 1 to 99 (as in 16 for 16x)", usage);
      return false;
    }
    out.speedFactor = static_cast<uint32_t>(*factor);
  }
  return true;
}

bool OpenTarget(const char* command, int id, TargetDisc& out) {
  if (!SelectRecorder(command, id)) return false;
  out.recorder = DescribeSelected(id);
  if (out.recorder.kind == DORVIK_DEVICE_INERT) {
    PrintInertEntry(stderr, command);
    return false;
  }
  out.disc = ReadDiscState();
  if (out.disc.result == DORVIK_E_BUSY) {
    std::fprintf(stderr, "dorvik %s: %s is busy: another write is running on it\n", command,
                 RecorderPhrase(out.recorder).c_str());
    return false;
  }
  if (out.disc.result != DORVIK_OK || out.disc.profile == DORVIK_PROFILE_NONE) {
    std::fprintf(stderr, "dorvik %s: no disc in %s (or the drive is not ready); put one in and close the tray\n",
                 command, RecorderPhrase(out.recorder).c_str());
    return false;
  }
  if (const std::string why = WhyNotWritable(out.disc); !why.empty()) {
    std::fprintf(stderr, "dorvik %s: cannot write to %s: %s\n", command, RecorderPhrase(out.recorder).c_str(),
                 why.c_str());
    return false;
  }
  return true;
}

bool TestWriteHonoured(const char* command, const TargetDisc& target, const BurnSettings& settings) {
  if (!settings.testWrite) return true;
  switch (target.disc.profile) {
    case DORVIK_PROFILE_DVD_PLUS_R:
    case DORVIK_PROFILE_DVD_PLUS_RW:
    case DORVIK_PROFILE_DVD_RAM:
    case DORVIK_PROFILE_DVD_RW_OVERWRITE:
      std::fprintf(stderr,
                   "dorvik %s: --test cannot be used on the %s in %s: drives write such discs for real whatever "
                   "they are asked, so nothing was written; a simulated write works on CD-R, CD-RW, DVD-R and "
                   "sequential DVD-RW\n",
                   command, MediumPhrase(target.disc).c_str(), RecorderPhrase(target.recorder).c_str());
      return false;
    default: return true;
  }
}

void ApplySpeed(const char* command, const TargetDisc& target, const BurnSettings& settings) {
  if (settings.speedFactor == 0) return;
  const uint32_t kbs = settings.speedFactor * SpeedUnit(target.disc.profile);
  if (Vuz_SetCdSpeeds(0xFFFF, static_cast<uint16_t>(kbs > 0xFFFE ? 0xFFFE : kbs)) != DORVIK_OK)
    std::fprintf(stderr, "dorvik %s: warning: the drive did not take the speed %ux; it writes as fast as it chooses\n",
                 command, settings.speedFactor);
}

std::string WriteFailureText(int32_t result, const TargetDisc& target) {
  const std::string where = RecorderPhrase(target.recorder);
  switch (result) {
    case 0: return "the write could not begin: the image file is not one this library knows, or the track could not be prepared";
    case DORVIK_E_FREE_SPACE:
      return "the free room on the disc in " + where + " could not be read: the disc is closed or not writable";
    case DORVIK_E_BUSY: return where + " is busy: another write is running on it";
    case DORVIK_E_NO_DEVICE: return "no recorder is selected (`dorvik devices` lists them)";
    default: return ResultText(result);
  }
}

std::string OverflowText(const std::string& label, bool playlist, const TargetDisc& target) {
  uint32_t sectors = 0;
  if (Vuz_ComposeImage(label.c_str(), playlist ? 1 : 0, 0, &sectors) != DORVIK_OK)
    return "the data does not fit on the " + MediumPhrase(target.disc);
  Vuz_ComposeEnd();
  const uint64_t needed = uint64_t{sectors} * 2048;
  const uint64_t room = target.disc.freeBytes;
  std::string text = "the data does not fit on the " + MediumPhrase(target.disc) + ": it needs " + Megabytes(needed) +
                     ", the disc has " + Megabytes(room) + " free";
  if (needed > room) text += " (" + Megabytes(needed - room) + " over)";
  return text + "; leave some sources out or use a larger disc";
}

namespace {

struct FileSpan {
  std::string path;
  uint32_t extent;
  uint64_t size;
};

// The file of the newest session that holds sector lba, if any.
std::string FileAt(uint32_t lba) {
  std::vector<FileSpan> files;
  int32_t track = 0;
  Vuz_ListDiscFiles(
      [](void* context, const DorvikDiscEntry* e) -> int32_t {
        if (!e->isFolder) static_cast<std::vector<FileSpan>*>(context)->push_back({e->path, e->extent, uint64_t(e->size)});
        return 1;
      },
      &files, &track);
  for (const FileSpan& f : files) {
    const uint64_t sectors = (f.size + 2047) / 2048;
    if (lba >= f.extent && lba < f.extent + sectors) {
      std::string p = f.path;
      for (char& c : p)
        if (c == '\\') c = '/';
      return p;
    }
  }
  return {};
}

}  // namespace

bool VerifyWritten(const char* command, const TargetDisc& target, bool ejectAfter) {
  std::printf("verifying: reading the track back from %s\n", RecorderPhrase(target.recorder).c_str());
  std::fflush(stdout);
  DorvikVerifyReport report{};
  const int32_t result = Vuz_VerifyWrittenTrack(&report);
  bool good = false;
  if (result != DORVIK_OK) {
    std::fprintf(stderr, "dorvik %s: cannot verify: %s\n", command,
                 result == 0 ? "the library holds no digest of the track (nothing was recorded)" : ResultText(result).c_str());
  } else if (report.differing == 0) {
    std::printf("verified: all %u sectors read back as written\n", report.sectors);
    good = true;
  } else {
    const std::string file = FileAt(report.firstDiffering);
    std::fprintf(stderr, "dorvik %s: verify failed: %u of %u sectors differ from what was written; the first is sector %u, %s\n",
                 command, report.differing, report.sectors, report.firstDiffering,
                 file.empty() ? "in the file system's own records" : ("in " + file).c_str());
  }
  if (ejectAfter) Vuz_Unload();
  return good;
}

}  // namespace dorvik::cli
