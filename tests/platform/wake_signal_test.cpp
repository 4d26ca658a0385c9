// The fixed wait that ends early: never longer than the scaled sleep, over
// as soon as what it waits for has happened.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include <time.h>

#include "platform/sleep.h"
#include "platform/wake_signal.h"

namespace dorvik::platform {
namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Run at full scale so the sleep is long enough to tell apart from an early end.
struct FullScale {
  FullScale() { ::setenv("DORVIK_TIME_SCALE", "1", 1); }
  ~FullScale() { ::setenv("DORVIK_TIME_SCALE", "0.001", 1); }
};

TEST(WakeSignal, EndsAsSoonAsTheConditionHoldsNotAtTheEndOfTheInterval) {
  FullScale scale;
  WakeSignal signal;
  std::atomic<bool> done{false};
  std::thread other([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    done = true;
    signal.Notify();
  });
  const auto start = Clock::now();
  EXPECT_TRUE(signal.WaitFor(60000, [&] { return done.load(); }));
  other.join();
  EXPECT_LT(MsSince(start), 10000.0);
}

TEST(WakeSignal, LastsTheScaledSleepWhenNothingHappensAndReturnsAtOnceWhenAlreadyDone) {
  FullScale scale;
  WakeSignal signal;
  std::atomic<int> notified{0};
  // Notifications that change nothing do not end the wait.
  std::thread other([&] {
    for (int i = 0; i < 5; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      ++notified;
      signal.Notify();
    }
  });
  auto start = Clock::now();
  EXPECT_FALSE(signal.WaitFor(60, [] { return false; }));
  other.join();
  EXPECT_GE(MsSince(start), 60.0);
  start = Clock::now();
  EXPECT_TRUE(signal.WaitFor(60000, [] { return true; }));
  EXPECT_LT(MsSince(start), 1000.0);
}

TEST(WakeSignal, AZeroTimeScaleWaitsNotAtAll) {
  ::setenv("DORVIK_TIME_SCALE", "0", 1);
  WakeSignal signal;
  const auto start = Clock::now();
  EXPECT_FALSE(signal.WaitFor(60000, [] { return false; }));
  ::setenv("DORVIK_TIME_SCALE", "0.001", 1);
  EXPECT_LT(MsSince(start), 1000.0);
}

// Processor time the calling thread has used, in milliseconds.
double ThreadCpuMs() {
  timespec t{};
  ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

struct ZeroScale {
  ZeroScale() { ::setenv("DORVIK_TIME_SCALE", "0", 1); }
  ~ZeroScale() { ::setenv("DORVIK_TIME_SCALE", "0.001", 1); }
};

// At scale 0 a step has no length; a thread waiting for an event must sleep
// until it is told, not spin, or it takes a processor from the one it waits for.
TEST(WakeSignal, WaitUntilAtZeroScaleSleepsUntilNotified) {
  ZeroScale scale;
  WakeSignal signal;
  std::atomic<bool> done{false};
  double cpuMs = 0, wallMs = 0;
  std::thread waiter([&] {
    const double cpuStart = ThreadCpuMs();
    const auto start = Clock::now();
    signal.WaitUntil(50, [&] { return done.load(); });
    wallMs = MsSince(start);
    cpuMs = ThreadCpuMs() - cpuStart;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  // Notifications that change nothing wake it, and it sleeps again.
  for (int i = 0; i < 3; ++i) signal.Notify();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  done = true;
  signal.Notify();
  waiter.join();
  EXPECT_GE(wallMs, 250.0);
  EXPECT_LT(cpuMs, 0.25 * wallMs) << "the waiting thread spun";
}

TEST(WakeSignal, WaitUntilSeesAChangeNobodyAnnouncedAfterAStep) {
  for (const char* scale : {"0", "0.001"}) {
    ::setenv("DORVIK_TIME_SCALE", scale, 1);
    WakeSignal signal;
    std::atomic<bool> done{false};
    std::thread other([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      done = true;  // no Notify
    });
    const auto start = Clock::now();
    signal.WaitUntil(10, [&] { return done.load(); });
    other.join();
    EXPECT_LT(MsSince(start), 5000.0) << "scale " << scale;
  }
  ::setenv("DORVIK_TIME_SCALE", "0.001", 1);
}

}  // namespace
}  // namespace dorvik::platform
