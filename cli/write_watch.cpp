#include "write_watch.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "dorvik.h"
#include "progress.h"

namespace dorvik::cli {
namespace {

// Set by the signal handler, read by the watching thread.
volatile sig_atomic_t interrupts = 0;

void OnInterrupt(int) { interrupts = interrupts + 1; }

// Ctrl-C goes to the watching thread only: the job's thread, and every
// thread the library starts from it, inherit a mask that blocks it.
class InterruptScope {
 public:
  InterruptScope() {
    interrupts = 0;
    struct sigaction action {};
    action.sa_handler = &OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previous_);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    ::pthread_sigmask(SIG_BLOCK, &set, &mask_);
  }
  // Lets the watching thread take Ctrl-C again, once the job's thread exists.
  void Unblock() { ::pthread_sigmask(SIG_SETMASK, &mask_, nullptr); }
  ~InterruptScope() {
    Unblock();
    ::sigaction(SIGINT, &previous_, nullptr);
  }

 private:
  struct sigaction previous_ {};
  sigset_t mask_{};
};

// The library names the file it reads, or "Processing..." while the track
// is prepared (and through an image write, which reads no files).
std::string FileShown(const char* raw, int32_t percent) {
  std::string name(raw, strnlen(raw, 260));
  if (name == "Processing...") return percent == 0 ? "preparing the disc" : "";
  return name;
}

constexpr auto kPoll = std::chrono::milliseconds(100);

}  // namespace

WriteOutcome WatchWrite(const char* command, const std::function<int32_t()>& job, uint64_t trackBytes,
                        uint32_t unitKbs) {
  WriteOutcome outcome;
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  const auto start = std::chrono::steady_clock::now();

  InterruptScope scope;
  std::thread worker([&] {
    const int32_t result = job();
    std::lock_guard lock(mutex);
    outcome.result = result;
    done = true;
    ended.notify_all();
  });
  scope.Unblock();

  Progress progress(stdout, trackBytes, unitKbs);
  sig_atomic_t seen = 0;
  std::unique_lock lock(mutex);
  while (!done) {
    // Wakes when the job ends, else every tenth of a second to redraw.
    ended.wait_for(lock, kPoll, [&] { return done; });
    if (done) break;
    lock.unlock();
    const int32_t percent = Vuz_WriteGetProgress();
    if (percent > outcome.lastPercent) outcome.lastPercent = percent;
    char name[261] = {};
    Vuz_WriteGetCurrBurnFileName(name);
    progress.Update(trackBytes * static_cast<uint64_t>(outcome.lastPercent > 100 ? 100 : outcome.lastPercent) / 100,
                    FileShown(name, outcome.lastPercent));
    if (interrupts != seen) {
      const bool first = seen == 0;
      seen = interrupts;
      progress.Interrupt();
      if (first) {
        outcome.interrupted = true;
        std::fprintf(stderr, "dorvik %s: interrupted: stopping the write; the track is closed so the disc stays readable\n",
                     command);
        Vuz_StopWrite();
      } else {
        std::fprintf(stderr, "dorvik %s: still finishing the track; waiting so the disc's state can be reported\n",
                     command);
      }
    }
    lock.lock();
  }
  lock.unlock();
  worker.join();
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (outcome.result == DORVIK_OK && !outcome.interrupted) {
    progress.Update(trackBytes, {});
    progress.Finish(true);
  } else {
    progress.Interrupt();
  }
  return outcome;
}

std::string StoppedReport(const WriteOutcome& outcome, uint64_t trackBytes) {
  const int32_t percent = outcome.lastPercent > 100 ? 100 : outcome.lastPercent;
  const uint64_t written = trackBytes * static_cast<uint64_t>(percent) / 100;
  return "stopped at " + std::to_string(percent) + "% (" + Megabytes(written) + " of " + Megabytes(trackBytes) +
         " written); the track was closed short, so the disc holds only part of it";
}

}  // namespace dorvik::cli
