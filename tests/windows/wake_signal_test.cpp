// The Win32 half of the wait that ends early: over at the Notify that makes
// its condition true, never longer than the scaled sleep, down to waits
// shorter than the system's millisecond.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/wake_signal.h"

namespace dorvik::platform {
namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Sets DORVIK_TIME_SCALE for one test and gives the suite's value back.
struct TimeScale {
  explicit TimeScale(const char* scale) { _putenv_s("DORVIK_TIME_SCALE", scale); }
  ~TimeScale() { _putenv_s("DORVIK_TIME_SCALE", "0.001"); }
};

TEST(Win32WakeSignal, NoWakeupIsLostBetweenTheLookAndTheWait) {
  TimeScale scale("1");
  WakeSignal signal;
  std::atomic<int> turn{0};
  // Each round the waiter would sleep a minute if one Notify went unheard.
  std::thread other([&] {
    for (int i = 1; i <= 200; ++i) {
      if (i % 2) std::this_thread::yield();
      turn = i;
      signal.Notify();
      while (turn.load() == i) std::this_thread::yield();
    }
  });
  const auto start = Clock::now();
  for (int i = 1; i <= 200; ++i) {
    ASSERT_TRUE(signal.WaitFor(60000, [&] { return turn.load() == i; })) << i;
    turn = -i;
  }
  other.join();
  EXPECT_LT(MsSince(start), 30000.0);
}

TEST(Win32WakeSignal, LastsItsScaledLengthWhenNothingHappens) {
  {
    TimeScale scale("1");
    WakeSignal signal;
    std::thread other([&] {  // notifications that change nothing do not end it
      for (int i = 0; i < 5; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        signal.Notify();
      }
    });
    const auto start = Clock::now();
    EXPECT_FALSE(signal.WaitFor(60, [] { return false; }));
    other.join();
    EXPECT_GE(MsSince(start), 60.0);
  }
  {
    // 60 µs: less than the system's wait can be asked for.
    TimeScale scale("0.001");
    WakeSignal signal;
    const auto start = Clock::now();
    EXPECT_FALSE(signal.WaitFor(60, [] { return false; }));
    EXPECT_GE(MsSince(start), 0.06);
  }
  {
    TimeScale scale("0");
    WakeSignal signal;
    const auto start = Clock::now();
    EXPECT_FALSE(signal.WaitFor(60000, [] { return false; }));
    EXPECT_TRUE(signal.WaitFor(60000, [] { return true; }));
    EXPECT_LT(MsSince(start), 1000.0);
  }
}

// At scale 0 a wait for an event sleeps on the signal until it is told.
TEST(Win32WakeSignal, WaitUntilAtZeroScaleEndsAtTheNotify) {
  TimeScale scale("0");
  WakeSignal signal;
  std::atomic<bool> done{false};
  std::thread other([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    done = true;
    signal.Notify();
  });
  const auto start = Clock::now();
  signal.WaitUntil(50, [&] { return done.load(); });
  other.join();
  EXPECT_TRUE(done.load());
  EXPECT_LT(MsSince(start), 10000.0);
}

}  // namespace
}  // namespace dorvik::platform
