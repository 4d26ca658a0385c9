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
// SOURCE_DATE_EPOCH when it is set to a time (decimal seconds, not
// negative); anything else counts as not set.
bool SourceDateEpoch(std::time_t* epoch);
// A file's modification time as an image records it. With SOURCE_DATE_EPOCH
// set, a later time is taken as SOURCE_DATE_EPOCH (the reproducible-builds
// clamp): files a fresh checkout touched, or that were written just now
// (the playlist), then leave no trace of when the image was made.
std::time_t ClampToSourceDate(std::time_t modified);
// Local time of an instant; with SOURCE_DATE_EPOCH set, UTC, so the result
// does not depend on the machine's zone either.
LocalTime ToLocal(std::time_t t);

}  // namespace dorvik::platform
