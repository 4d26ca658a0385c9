#pragma once
// A file larger than one directory record can describe is written as
// several sections: consecutive records of the same name, each but the last
// flagged as continued, whose extents follow one another on the disc. Every
// section but the last holds the largest whole number of sectors a 32-bit
// data length can count.
#include <cstdint>

#include "iso/iso_fields.h"

namespace dorvik::iso {

inline constexpr uint8_t kMultiExtentFlag = 0x80;
inline constexpr uint64_t kSectionBytes = 0xFFFFF800;  // 2^32 - 2048
inline constexpr uint32_t kSectionSectors = static_cast<uint32_t>(kSectionBytes / kSectorSize);

// Sections of a file of this length: 1 for an empty file.
inline uint32_t SectionCount(uint64_t length) {
  return length == 0 ? 1 : static_cast<uint32_t>((length + kSectionBytes - 1) / kSectionBytes);
}

// Data length of section index of a file of this length.
inline uint32_t SectionLength(uint64_t length, uint32_t index) {
  const uint64_t before = uint64_t{index} * kSectionBytes;
  return static_cast<uint32_t>(length - before < kSectionBytes ? length - before : kSectionBytes);
}

}  // namespace dorvik::iso
