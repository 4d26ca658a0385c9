// The reproducible-builds clamp, the same on every platform: only the
// environment variable is read, as build tools everywhere set it.
#include <cstdlib>

#include "platform/clock.h"

namespace dorvik::platform {

std::time_t ClampToSourceDate(std::time_t modified) {
  const char* s = std::getenv("SOURCE_DATE_EPOCH");
  if (!s || !*s) return modified;
  char* end = nullptr;
  const long long epoch = std::strtoll(s, &end, 10);
  // A setting that is no time is ignored, as Now() ignores it.
  if (*end != '\0' || epoch < 0) return modified;
  return modified > static_cast<std::time_t>(epoch) ? static_cast<std::time_t>(epoch) : modified;
}

}  // namespace dorvik::platform
