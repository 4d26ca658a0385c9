// The reproducible-builds clock, the same on every platform: only the
// environment variable is read, as build tools everywhere set it.
#include <cstdlib>

#include "platform/clock.h"

namespace dorvik::platform {

bool SourceDateEpoch(std::time_t* epoch) {
  const char* s = std::getenv("SOURCE_DATE_EPOCH");
  if (!s || !*s) return false;
  char* end = nullptr;
  const long long v = std::strtoll(s, &end, 10);
  if (*end != '\0' || v < 0) return false;
  *epoch = static_cast<std::time_t>(v);
  return true;
}

std::time_t Now() {
  std::time_t t;
  return SourceDateEpoch(&t) ? t : std::time(nullptr);
}

std::time_t ClampToSourceDate(std::time_t modified) {
  std::time_t epoch;
  if (!SourceDateEpoch(&epoch)) return modified;
  return modified > epoch ? epoch : modified;
}

}  // namespace dorvik::platform
