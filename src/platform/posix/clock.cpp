#include "platform/clock.h"

#include <ctime>

namespace dorvik::platform {

LocalTime ToLocal(std::time_t t) {
  std::tm tm{};
  LocalTime out;
  if (std::time_t fixed; SourceDateEpoch(&fixed)) {
    gmtime_r(&t, &tm);
  } else {
    localtime_r(&t, &tm);
    out.utcOffsetMinutes = static_cast<int>(tm.tm_gmtoff / 60);
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
