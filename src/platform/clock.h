#pragma once
#include <cstdint>
#include <ctime>

namespace dorvik::platform {

// Calendar time broken down in local time, with the offset from UTC.
struct LocalTime {
  int year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
  int utcOffsetMinutes = 0;
};

// "Now", or SOURCE_DATE_EPOCH when that is set, so identical inputs give
// byte-identical images (the reproducible-builds convention).
std::time_t Now();
// Local time of an instant; with SOURCE_DATE_EPOCH set, UTC, so the result
// does not depend on the machine's zone either.
LocalTime ToLocal(std::time_t t);

}  // namespace dorvik::platform
