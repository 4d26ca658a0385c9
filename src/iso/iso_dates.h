#pragma once
// The two date forms of ISO 9660: the 7-byte binary form of directory
// records and the 17-byte digit form of volume descriptors.
#include <cstdint>
#include <ctime>

#include "platform/clock.h"

namespace dorvik::iso {

// Years since 1900, month, day, hour, minute, second, then offsetByte.
void PutRecordDate(uint8_t* out, const platform::LocalTime& time, uint8_t offsetByte);
// "YYYYMMDDHHMMSS00" in ASCII digits, then offsetByte.
void PutDescriptorDate(uint8_t* out, const platform::LocalTime& time, uint8_t offsetByte);
// Sixteen '0' digits and a zero offset: "not specified".
void PutUnsetDescriptorDate(uint8_t* out);
// The offset byte that tells the time's zone: its distance from UTC in
// quarter hours, as a signed byte.
uint8_t UtcOffsetByte(const platform::LocalTime& time);

}  // namespace dorvik::iso
