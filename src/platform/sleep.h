#pragma once
#include <cstdint>

namespace dorvik::platform {

// The library's one fixed wait. The nominal value is what real drives need;
// DORVIK_TIME_SCALE multiplies it so tests can run a whole burn quickly.
void Sleep(uint32_t milliseconds);
// The scaled duration Sleep would wait, in microseconds.
uint64_t ScaledMicroseconds(uint32_t milliseconds);
double TimeScale();
// Monotonic milliseconds, for measuring elapsed time.
uint64_t MonotonicMilliseconds();

}  // namespace dorvik::platform
