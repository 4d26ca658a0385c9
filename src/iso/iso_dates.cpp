#include "iso/iso_dates.h"

#include <algorithm>
#include <cstdio>

namespace dorvik::iso {

namespace {
uint8_t Byte(int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); }
}  // namespace

void PutRecordDate(uint8_t* out, const platform::LocalTime& t, uint8_t offsetByte) {
  out[0] = Byte(t.year - 1900);
  out[1] = Byte(t.month);
  out[2] = Byte(t.day);
  out[3] = Byte(t.hour);
  out[4] = Byte(t.minute);
  out[5] = Byte(t.second);
  out[6] = offsetByte;
}

void PutDescriptorDate(uint8_t* out, const platform::LocalTime& t, uint8_t offsetByte) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "%04d%02d%02d%02d%02d%02d00", std::clamp(t.year, 0, 9999),
                std::clamp(t.month, 0, 99), std::clamp(t.day, 0, 99), std::clamp(t.hour, 0, 99),
                std::clamp(t.minute, 0, 99), std::clamp(t.second, 0, 99));
  std::copy(digits, digits + 16, out);
  out[16] = offsetByte;
}

void PutUnsetDescriptorDate(uint8_t* out) {
  std::fill(out, out + 16, static_cast<uint8_t>('0'));
  out[16] = 0;
}

uint8_t UtcOffsetByte(const platform::LocalTime& time) {
  const int quarters = std::clamp(time.utcOffsetMinutes / 15, -48, 52);
  return static_cast<uint8_t>(static_cast<int8_t>(quarters));
}

}  // namespace dorvik::iso
