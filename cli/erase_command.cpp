// dorvik erase: says what it will erase, then erases with a spinner while
// the drive works (the drive reports no progress the library passes on).
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "commands.h"
#include "dorvik.h"
#include "options.h"
#include "progress.h"
#include "recorder.h"

namespace dorvik::cli {

const char kEraseUsage[] =
    "usage: dorvik erase ID\n"
    "\n"
    "Erases the rewritable disc (CD-RW, DVD-RW, DVD+RW, DVD-RAM) in recorder ID:\n"
    "everything on it is lost. A CD-RW or DVD-RW is blanked; a DVD+RW or DVD-RAM\n"
    "is formatted and overwritten with zeros. Says what it is about to erase and\n"
    "shows a spinner and the time taken while the drive works.\n";

namespace {

bool Erasable(int32_t profile) {
  return profile == DORVIK_PROFILE_CD_RW || profile == DORVIK_PROFILE_DVD_RW_OVERWRITE ||
         profile == DORVIK_PROFILE_DVD_RW_SEQUENTIAL || profile == DORVIK_PROFILE_DVD_PLUS_RW ||
         profile == DORVIK_PROFILE_DVD_RAM;
}

// Runs the erase on a thread of its own and spins until it ends; the spin
// waits end as soon as the erase does.
int32_t EraseWithSpinner() {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  int32_t result = DORVIK_E_REFUSED;
  std::thread worker([&] {
    const int32_t r = Vuz_EraseDisc();
    std::lock_guard lock(mutex);
    result = r;
    done = true;
    ended.notify_all();
  });
  const bool terminal = ::isatty(::fileno(stdout)) == 1;
  const auto start = std::chrono::steady_clock::now();
  const char frames[] = "|/-\\";
  {
    std::unique_lock lock(mutex);
    for (unsigned frame = 0; !ended.wait_for(lock, std::chrono::milliseconds(100), [&] { return done; }); ++frame) {
      if (!terminal) continue;
      const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      std::printf("\r%c erasing  %s\x1b[K", frames[frame % 4], Duration(s).c_str());
      std::fflush(stdout);
    }
  }
  worker.join();
  const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (terminal) std::printf("\r\x1b[K");
  if (result == DORVIK_OK) std::printf("erased in %s\n", Duration(s).c_str());
  return result;
}

}  // namespace

int RunErase(const std::vector<std::string>& args) {
  Arguments a;
  if (!a.Parse(args, {})) return UsageError("erase", a.Error(), kEraseUsage);
  if (a.Positional().size() != 1) return UsageError("erase", "one recorder id is needed", kEraseUsage);
  const auto id = ParseDeviceId("erase", a.Positional()[0]);
  if (!id) return kExitUsage;
  if (!SelectRecorder("erase", *id)) return kExitFailed;
  const RecorderView r = DescribeSelected(*id);
  if (r.kind == DORVIK_DEVICE_INERT) {
    PrintInertEntry(stderr, "erase");
    return kExitFailed;
  }
  const DiscState disc = ReadDiscState();
  if (disc.result != DORVIK_OK) {
    std::fprintf(stderr, "dorvik erase: no disc in %s (or the drive is not ready)\n", RecorderPhrase(r).c_str());
    return kExitFailed;
  }
  if (!Erasable(disc.profile)) {
    std::fprintf(stderr, "dorvik erase: the %s in %s cannot be erased: only CD-RW, DVD-RW, DVD+RW and DVD-RAM can\n",
                 ProfileName(disc.profile), RecorderPhrase(r).c_str());
    return kExitFailed;
  }
  std::printf("erasing the %s in %s: everything on it will be lost\n", MediumPhrase(disc).c_str(),
              RecorderPhrase(r).c_str());
  std::fflush(stdout);
  const int32_t result = EraseWithSpinner();
  if (result != DORVIK_OK) {
    std::fprintf(stderr, "dorvik erase: %s\n", ResultText(result).c_str());
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace dorvik::cli
