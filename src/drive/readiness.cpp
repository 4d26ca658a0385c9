#include <algorithm>

#include "drive/drive.h"
#include "platform/sleep.h"

namespace dorvik {

bool Drive::WaitUntilReady(uint32_t periodMs, uint32_t limitMs) {
  // Nominal time is counted rather than measured, so the bound means the
  // same number of polls whatever the time scale.
  const uint64_t step = std::max<uint32_t>(periodMs, 1);
  uint64_t waited = 0;
  while (IsReady() != 0) {
    // No medium (02/3A/xx): nothing the drive does will bring one, so the
    // wait is over rather than run to its bound.
    if (lastSense_.senseKey == 2 && lastSense_.asc == 0x3A) return false;
    if (waited >= limitMs) return false;
    platform::Sleep(periodMs);
    waited += step;
  }
  return true;
}

}  // namespace dorvik
