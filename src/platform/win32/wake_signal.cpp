#include "platform/wake_signal.h"

#include <windows.h>

#include <chrono>

#include "platform/sleep.h"

namespace dorvik::platform {

// The system's own lock and condition variable: no thread library between
// the wait and the scheduler, and nothing to destroy.
struct WakeSignal::State {
  SRWLOCK lock = SRWLOCK_INIT;
  CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
};

WakeSignal::WakeSignal() : state_(std::make_unique<State>()) {}
WakeSignal::~WakeSignal() = default;

void WakeSignal::Notify() {
  // Taking the lock orders this call after the change it announces and
  // after any waiter's look at its condition: a waiter between its look and
  // its wait holds the lock, so it either saw the change or is woken.
  AcquireSRWLockExclusive(&state_->lock);
  ReleaseSRWLockExclusive(&state_->lock);
  WakeAllConditionVariable(&state_->changed);
}

bool WakeSignal::Wait(uint32_t milliseconds, bool (*done)(void*), void* context) {
  if (done(context)) return true;
  const uint64_t us = ScaledMicroseconds(milliseconds);
  if (us == 0) {
    // A wait scaled to nothing still lets the thread it waits for run.
    SwitchToThread();
    return done(context);
  }
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::microseconds(us);
  AcquireSRWLockExclusive(&state_->lock);
  bool result = done(context);
  while (!result) {
    const auto now = Clock::now();
    if (now >= deadline) break;
    // The system waits in whole milliseconds; rounding the rest down keeps
    // the wait within its length, and the last fraction is spent yielding.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
    if (left > 0) {
      SleepConditionVariableSRW(&state_->changed, &state_->lock, static_cast<DWORD>(left), 0);
    } else {
      ReleaseSRWLockExclusive(&state_->lock);
      SwitchToThread();
      AcquireSRWLockExclusive(&state_->lock);
    }
    result = done(context);
  }
  ReleaseSRWLockExclusive(&state_->lock);
  return result;
}

void WakeSignal::SleepUntilNotified(uint32_t milliseconds, bool (*done)(void*), void* context) {
  AcquireSRWLockExclusive(&state_->lock);
  if (!done(context)) SleepConditionVariableSRW(&state_->changed, &state_->lock, milliseconds, 0);
  ReleaseSRWLockExclusive(&state_->lock);
}

}  // namespace dorvik::platform
