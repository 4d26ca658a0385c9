#include "platform/wake_signal.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/sleep.h"

namespace dorvik::platform {

struct WakeSignal::State {
  std::mutex mutex;
  std::condition_variable changed;
};

WakeSignal::WakeSignal() : state_(std::make_unique<State>()) {}
WakeSignal::~WakeSignal() = default;

void WakeSignal::Notify() {
  // Taking the mutex orders this call after the change it announces and
  // after any waiter's look at its condition: a waiter between its look and
  // its wait holds the mutex, so it either saw the change or is woken.
  { std::lock_guard lock(state_->mutex); }
  state_->changed.notify_all();
}

bool WakeSignal::Wait(uint32_t milliseconds, bool (*done)(void*), void* context) {
  if (done(context)) return true;
  const uint64_t us = ScaledMicroseconds(milliseconds);
  if (us == 0) {
    // A wait scaled to nothing still lets the thread it waits for run.
    std::this_thread::yield();
    return done(context);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::microseconds(us);
  std::unique_lock lock(state_->mutex);
  bool result = done(context);
  while (!result) {
    if (state_->changed.wait_until(lock, deadline) == std::cv_status::timeout) {
      result = done(context);
      break;
    }
    result = done(context);
  }
  return result;
}

void WakeSignal::SleepUntilNotified(uint32_t milliseconds, bool (*done)(void*), void* context) {
  std::unique_lock lock(state_->mutex);
  if (!done(context)) state_->changed.wait_for(lock, std::chrono::milliseconds(milliseconds));
}

}  // namespace dorvik::platform
