#include "platform/clock.h"

#include <ctime>

namespace dorvik::platform {

LocalTime ToLocal(std::time_t t) {
  std::tm tm{};
  LocalTime out;
  if (std::time_t fixed; SourceDateEpoch(&fixed)) {
    if (gmtime_s(&tm, &t) != 0) return out;
  } else {
    if (localtime_s(&tm, &t) != 0) return out;
    // The local calendar fields read back as UTC give the zone's offset,
    // daylight saving included.
    std::tm copy = tm;
    const long long asUtc = static_cast<long long>(_mkgmtime(&copy));
    if (asUtc != -1) out.utcOffsetMinutes = static_cast<int>((asUtc - static_cast<long long>(t)) / 60);
  }
  out.year = tm.tm_year + 1900;
  out.month = tm.tm_mon + 1;
  out.day = tm.tm_mday;
  out.hour = tm.tm_hour;
  out.minute = tm.tm_min;
  out.second = tm.tm_sec;
  return out;
}

}  // namespace dorvik::platform
