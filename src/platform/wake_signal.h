#pragma once
// A fixed wait that ends early when what it waits for has happened.
//
// Waiting threads poll at fixed intervals (the writer's start delay, the
// ring's 50 ms, the job's 5000 ms); each such wait goes through WaitFor,
// which lasts exactly as long as Sleep would (scaled by DORVIK_TIME_SCALE)
// unless the condition holds first. Whoever changes what a waiter looks at
// calls Notify, so a finished track or a stop request is seen at once
// instead of at the end of the interval. A wait is never longer than Sleep.
//
// A thread that polls until something happens (room in the ring, the end
// of the track) uses WaitUntil: the same steps, but at DORVIK_TIME_SCALE=0,
// where a step has no length, the thread sleeps on the signal until a
// Notify instead of spinning through empty steps. It wakes at the same
// moment (the change that ends the wait is notified) without taking a
// processor from the threads that do the work.
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
    return Wait(milliseconds, &Call<Done>, static_cast<void*>(&done));
  }

  // Waits in steps of milliseconds, each as WaitFor, until done() holds.
  // Every change to what done() reads must be followed by Notify; at
  // DORVIK_TIME_SCALE=0 a step that saw no Notify still ends after the
  // unscaled milliseconds, so a change nobody announced costs time but
  // cannot hang the thread.
  template <typename Done>
  void WaitUntil(uint32_t milliseconds, Done&& done) {
    Until(milliseconds, &Call<Done>, static_cast<void*>(&done));
  }

 private:
  template <typename Done>
  static bool Call(void* d) {
    return (*static_cast<std::remove_reference_t<Done>*>(d))();
  }
  bool Wait(uint32_t milliseconds, bool (*done)(void*), void* context);
  void Until(uint32_t milliseconds, bool (*done)(void*), void* context);
  // Unless done() holds, sleeps until a Notify or the unscaled milliseconds
  // have passed (each system's half).
  void SleepUntilNotified(uint32_t milliseconds, bool (*done)(void*), void* context);

  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace dorvik::platform
