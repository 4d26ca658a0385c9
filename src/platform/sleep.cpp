#include "platform/sleep.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace dorvik::platform {

double TimeScale() {
  const char* s = std::getenv("DORVIK_TIME_SCALE");
  if (!s || !*s) return 1.0;
  char* end = nullptr;
  double v = std::strtod(s, &end);
  if (*end != '\0' || !(v >= 0.0) || v > 1000.0) return 1.0;
  return v;
}

uint64_t ScaledMicroseconds(uint32_t milliseconds) {
  return static_cast<uint64_t>(static_cast<double>(milliseconds) * 1000.0 * TimeScale());
}

void Sleep(uint32_t milliseconds) {
  std::this_thread::sleep_for(std::chrono::microseconds(ScaledMicroseconds(milliseconds)));
}

uint64_t MonotonicMilliseconds() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace dorvik::platform
