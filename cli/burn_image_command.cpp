// dorvik burn-image: an ISO or raw disc image file written to a disc
// through Vuz_WriteImageToCD, watched while it runs.
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "burn_steps.h"
#include "commands.h"
#include "dorvik.h"
#include "options.h"
#include "progress.h"
#include "recorder.h"
#include "write_watch.h"

namespace dorvik::cli {

const char kBurnImageUsage[] =
    "usage: dorvik burn-image ID FILE [--test] [--no-eject] [--speed N] [--verify]\n"
    "\n"
    "Writes the disc image FILE to the disc in recorder ID: 2048-byte sectors (an\n"
    "ISO 9660 or UDF image, as `dorvik image` or mkisofs make) or raw 2352- or\n"
    "2448-byte sectors, whose user data is written. Shows the progress, the rate\n"
    "and the time left; Ctrl-C stops the write and exits with status 130.\n"
    "\n"
    "  --test       ask the drive to simulate the write (CD-R, CD-RW, DVD-R and\n"
    "               sequential DVD-RW; refused on other media, whose drives\n"
    "               would write for real)\n"
    "  --no-eject   leave the tray closed at the end\n"
    "  --speed N    write at N times the medium's 1x speed\n"
    "  --verify     read the written track back and compare it with what was\n"
    "               sent\n";

int RunBurnImage(const std::vector<std::string>& args) {
  Arguments a;
  if (!a.Parse(args, {{"--test", false}, {"--no-eject", false}, {"--speed", true}, {"--verify", false}}))
    return UsageError("burn-image", a.Error(), kBurnImageUsage);
  if (a.Positional().size() != 2) return UsageError("burn-image", "a recorder id and one image file are needed", kBurnImageUsage);
  BurnSettings settings;
  if (!ReadBurnSettings("burn-image", a, kBurnImageUsage, settings)) return kExitUsage;
  const auto id = ParseDeviceId("burn-image", a.Positional()[0]);
  if (!id) return kExitUsage;
  const std::string file = a.Positional()[1];

  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) {
    std::fprintf(stderr, "dorvik burn-image: cannot open %s: %s\n", file.c_str(), std::strerror(errno));
    return kExitFailed;
  }
  if (!S_ISREG(st.st_mode) || st.st_size < 2048 * 17) {
    std::fprintf(stderr, "dorvik burn-image: %s is not a disc image (%s)\n", file.c_str(),
                 S_ISREG(st.st_mode) ? "too small to hold a file system" : "not a regular file");
    return kExitFailed;
  }

  TargetDisc target;
  if (!OpenTarget("burn-image", *id, target) || !TestWriteHonoured("burn-image", target, settings)) return kExitFailed;
  ApplySpeed("burn-image", target, settings);
  // A raw image's sectors carry 2048 bytes of user data each, which is what lands on the disc.
  uint64_t trackBytes = static_cast<uint64_t>(st.st_size);
  if (trackBytes % 2048 != 0 && trackBytes % 2352 == 0) trackBytes = trackBytes / 2352 * 2048;
  else if (trackBytes % 2048 != 0 && trackBytes % 2448 == 0) trackBytes = trackBytes / 2448 * 2048;
  if (target.disc.freeBytes != 0 && trackBytes > target.disc.freeBytes) {
    std::fprintf(stderr, "dorvik burn-image: %s does not fit on the %s: it needs %s, the disc has %s free (%s over)\n",
                 file.c_str(), MediumPhrase(target.disc).c_str(), Megabytes(trackBytes).c_str(),
                 Megabytes(target.disc.freeBytes).c_str(), Megabytes(trackBytes - target.disc.freeBytes).c_str());
    return kExitFailed;
  }

  std::printf("burning %s (%s) to the %s in %s%s\n", file.c_str(), Megabytes(trackBytes).c_str(),
              MediumPhrase(target.disc).c_str(), RecorderPhrase(target.recorder).c_str(),
              settings.testWrite ? " (simulated)" : "");
  std::fflush(stdout);
  // An image write opens the tray at its end (it has no tray choice of its
  // own); --no-eject and --verify close it again afterwards.
  const bool verifying = settings.verify && !settings.testWrite;
  if (settings.verify && settings.testWrite)
    std::printf("no verify: a simulated write records nothing to read back\n");
  const WriteOutcome outcome = WatchWrite(
      "burn-image", [&] { return Vuz_WriteImageToCD(file.c_str(), settings.testWrite ? 1 : 0); }, trackBytes,
      SpeedUnit(target.disc.profile));
  if (outcome.result != DORVIK_OK) {
    if (outcome.result == 0)
      std::fprintf(stderr, "dorvik burn-image: %s is not an image this library can write (not ISO 9660, UDF or raw sectors)\n",
                   file.c_str());
    else
      std::fprintf(stderr, "dorvik burn-image: %s\n", WriteFailureText(outcome.result, target).c_str());
    return outcome.interrupted ? kExitInterrupted : kExitFailed;
  }
  if (outcome.interrupted) {
    std::fprintf(stderr, "dorvik burn-image: %s\n", StoppedReport(outcome, trackBytes).c_str());
    return kExitInterrupted;
  }
  std::printf("burned in %s: %s\n", Duration(outcome.seconds).c_str(),
              settings.testWrite ? "simulated, nothing was recorded" : "done");
  if (!settings.eject || verifying) Vuz_Load();
  if (verifying && !VerifyWritten("burn-image", target, settings.eject)) return kExitFailed;
  return kExitOk;
}

}  // namespace dorvik::cli
