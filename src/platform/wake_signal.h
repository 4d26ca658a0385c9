#pragma once
// A fixed wait that ends early when what it waits for has happened.
//
// Waiting threads poll at fixed intervals (the writer's start delay, the
// ring's 50 ms, the job's 5000 ms); each such wait goes through WaitFor,
// which lasts exactly as long as Sleep would (scaled by DORVIK_TIME_SCALE)
// unless the condition holds first. Whoever changes what a waiter looks at
// calls Notify, so a finished track or a stop request is seen at once
// instead of at the end of the interval. A wait is never longer than Sleep.
#include <cstdint>
#include <memory>
#include <type_traits>

namespace dorvik::platform {

class WakeSignal {
 public:
  WakeSignal();
  ~WakeSignal();
  WakeSignal(const WakeSignal&) = delete;
  WakeSignal& operator=(const WakeSignal&) = delete;

  // Makes every waiter look at its condition again. Call it after changing
  // what the condition reads.
  void Notify();

  // Waits the scaled length of milliseconds, or less: returns as soon as
  // done() holds, looked at before waiting and after every Notify. The
  // result is done() at the end. done must read atomics (or take its own
  // locks): it runs while other threads change what it reads.
  template <typename Done>
  bool WaitFor(uint32_t milliseconds, Done&& done) {
    return Wait(milliseconds, [](void* d) { return (*static_cast<std::remove_reference_t<Done>*>(d))(); },
                static_cast<void*>(&done));
  }

 private:
  bool Wait(uint32_t milliseconds, bool (*done)(void*), void* context);

  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace dorvik::platform
