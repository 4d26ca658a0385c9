#pragma once
// Microseconds of the steady clock: the recorder's busy periods and its
// emulated write buffer are measured on it.
#include <chrono>
#include <cstdint>

namespace dorvik::emulator {

inline uint64_t SteadyMicroseconds() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace dorvik::emulator
