#pragma once
// The media the software recorder can hold and what each one is like: its
// MMC profile, how it is written, how big a typical disc is, how fast a
// drive spins it.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dorvik::emulator {

enum class MediumKind : uint8_t {
  CdRom,
  CdR,
  CdRw,
  DvdRom,
  DvdR,
  DvdRam,
  DvdRwRestricted,
  DvdRwSequential,
  DvdPlusRw,
  DvdPlusR,
};

// How blocks may be placed on the medium.
enum class Recording : uint8_t {
  Pressed,     // read-only
  Sequential,  // only at the next writable address of the open track
  Random,      // anywhere in the formatted area
};

struct MediumTraits {
  MediumKind kind;
  const char* name;        // as DORVIK_VIRTUAL_DRIVES spells it
  uint16_t profile;        // MMC profile number
  bool cd;                 // CD family (TOC, ATIP, READ CD, MSF addresses)
  bool erasable;           // BLANK or rewrite possible
  Recording recording;
  uint32_t capacity;       // default user blocks of a 80 min CD / 4.7 GB DVD
  uint32_t speedUnit;      // kB/s of 1x
  std::vector<uint16_t> writeSpeeds;  // supported multiples of 1x, fastest first
  uint16_t maxReadSpeed;   // multiple of 1x
  bool canTestWrite;       // the medium can be written in simulation
};

const MediumTraits& TraitsOf(MediumKind kind);
std::optional<MediumKind> MediumByName(const std::string& name);

inline constexpr uint32_t kCdCapacity = 359849;       // 80 minutes
inline constexpr uint32_t kDvdCapacity = 2295104;     // single layer 4.7 GB
inline constexpr uint32_t kDvdRamCapacity = 2236704;  // 4.7 GB DVD-RAM after spare areas

}  // namespace dorvik::emulator
