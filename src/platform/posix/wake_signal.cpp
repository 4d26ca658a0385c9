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
  // Pairs with the fence in Wait: either this load sees the waiter, or the
  // waiter's look at its condition sees what the caller changed before.
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (waiters_.load(std::memory_order_seq_cst) == 0) return;
  { std::lock_guard lock(state_->mutex); }  // a waiter between its look and its wait holds the mutex
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
  waiters_.fetch_add(1, std::memory_order_seq_cst);
  std::atomic_thread_fence(std::memory_order_seq_cst);
  bool result = done(context);
  while (!result) {
    if (state_->changed.wait_until(lock, deadline) == std::cv_status::timeout) {
      result = done(context);
      break;
    }
    result = done(context);
  }
  waiters_.fetch_sub(1, std::memory_order_seq_cst);
  return result;
}

}  // namespace dorvik::platform
