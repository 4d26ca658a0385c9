// The wait for an event, the same on every system: steps of the scaled
// wait, or at scale 0 sleeps that only a Notify (or the unscaled step) ends.
#include "platform/wake_signal.h"

#include "platform/sleep.h"

namespace dorvik::platform {

void WakeSignal::Until(uint32_t milliseconds, bool (*done)(void*), void* context) {
  while (!done(context)) {
    if (ScaledMicroseconds(milliseconds) > 0) Wait(milliseconds, done, context);
    else SleepUntilNotified(milliseconds, done, context);
  }
}

}  // namespace dorvik::platform
