#pragma once
// The three volume descriptors at sectors 16, 17 and 18 of an image, and
// the path table record.
#include <cstdint>
#include <string>

#include "platform/clock.h"

namespace dorvik::iso {

inline constexpr char kApplicationIdentifier[] = "KILNOR";

// What the descriptors say about one tree (primary or Joliet).
struct VolumeFields {
  std::string label;  // at most 13 bytes are used
  uint32_t totalSectors = 0;  // the volume: disc sector 0 to the image's end
  uint32_t rootExtent = 0;
  uint32_t rootSectors = 0;
  uint32_t pathTableSize = 0;  // bytes: whole sectors (classic) or exact (interchange)
  uint32_t lTable = 0;
  uint32_t mTable = 0;
  platform::LocalTime now;
  // The interchange layout's descriptors: identifiers padded with spaces
  // (the volume identifier in d-characters), dates with their true zone,
  // and a Joliet descriptor as complete as the primary one.
  bool interchange = false;
};

// Each fills a 2048-byte sector, zeroing it first.
void BuildPrimaryDescriptor(uint8_t* sector, const VolumeFields& fields);
void BuildJolietDescriptor(uint8_t* sector, const VolumeFields& fields);
void BuildTerminator(uint8_t* sector);

// A path table record: little-endian numbers for an L table, big-endian
// for an M table. identifier holds the raw bytes ("\0" for the root).
std::string EncodePathTableRecord(const std::string& identifier, uint32_t extent, uint16_t parent, bool bigEndian);

}  // namespace dorvik::iso
