#pragma once
// One ISO 9660 directory record, and the rule that keeps records from
// crossing a sector boundary.
#include <array>
#include <cstdint>
#include <string>

#include "iso/directory_buffer.h"

namespace dorvik::iso {

inline constexpr uint8_t kDirectoryFlag = 0x02;
inline constexpr size_t kDotRecordLength = 34;

struct DirectoryRecord {
  uint32_t extent = 0;
  uint32_t dataLength = 0;
  std::array<uint8_t, 7> date{};
  uint8_t flags = 0;
  std::string identifier;  // raw bytes; "\0" for ".", "\1" for ".."
};

// The record's bytes: length 33 + identifier, made even by a padding byte.
std::string EncodeRecord(const DirectoryRecord& record);

// Appends a record, first padding the current sector with zeros when the
// record would not fit in what is left of it.
void AppendRecord(DirectoryBuffer& buffer, const std::string& encoded);

// Rewrites the extent and data length of an encoded record in place.
void PatchExtentAndLength(uint8_t* record, uint32_t extent, uint32_t dataLength);

}  // namespace dorvik::iso
