#pragma once
// Field writers for ISO 9660 structures: little-endian, big-endian and the
// both-endian form (the value little-endian, then again big-endian).
#include <cstdint>

#include "platform/byte_order.h"

namespace dorvik::iso {

using platform::GetLe32;
using platform::PutLe16;
using platform::PutLe32;

inline void PutMsb16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
inline void PutMsb32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
inline void PutBoth16(uint8_t* p, uint16_t v) {
  PutLe16(p, v);
  PutMsb16(p + 2, v);
}
inline void PutBoth32(uint8_t* p, uint32_t v) {
  PutLe32(p, v);
  PutMsb32(p + 4, v);
}
inline uint32_t GetMsb32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}

inline constexpr uint32_t kSectorSize = 2048;

inline uint32_t SectorsFor(uint64_t bytes) { return static_cast<uint32_t>((bytes + kSectorSize - 1) / kSectorSize); }

}  // namespace dorvik::iso
