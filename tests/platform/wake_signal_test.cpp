// The fixed wait that ends early: never longer than the scaled sleep, over
// as soon as what it waits for has happened.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

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

}  // namespace
}  // namespace dorvik::platform
