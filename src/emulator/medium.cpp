#include "emulator/medium.h"

namespace dorvik::emulator {

namespace {

constexpr uint32_t kCdUnit = 176;
constexpr uint32_t kDvdUnit = 1385;

const std::vector<MediumTraits>& Table() {
  static const std::vector<MediumTraits> table = {
      {MediumKind::CdRom, "cd-rom", 0x0008, true, false, Recording::Pressed, kCdCapacity, kCdUnit, {}, 48, false},
      {MediumKind::CdR, "cd-r", 0x0009, true, false, Recording::Sequential, kCdCapacity, kCdUnit,
       {48, 40, 32, 24, 16, 8, 4}, 48, true},
      {MediumKind::CdRw, "cd-rw", 0x000A, true, true, Recording::Sequential, kCdCapacity, kCdUnit,
       {24, 16, 10, 4}, 40, true},
      {MediumKind::DvdRom, "dvd-rom", 0x0010, false, false, Recording::Pressed, kDvdCapacity, kDvdUnit, {}, 16,
       false},
      {MediumKind::DvdR, "dvd-r", 0x0011, false, false, Recording::Sequential, kDvdCapacity, kDvdUnit,
       {16, 8, 4, 2}, 16, true},
      {MediumKind::DvdRam, "dvd-ram", 0x0012, false, true, Recording::Random, kDvdRamCapacity, kDvdUnit,
       {5, 3, 2}, 5, false},
      {MediumKind::DvdRwRestricted, "dvd-rw", 0x0013, false, true, Recording::Random, kDvdCapacity, kDvdUnit,
       {6, 4, 2}, 8, false},
      {MediumKind::DvdRwSequential, "dvd-rw-seq", 0x0014, false, true, Recording::Sequential, kDvdCapacity,
       kDvdUnit, {6, 4, 2}, 8, true},
      {MediumKind::DvdPlusRw, "dvd+rw", 0x001A, false, true, Recording::Random, kDvdCapacity, kDvdUnit,
       {8, 4, 2}, 8, false},
      {MediumKind::DvdPlusR, "dvd+r", 0x001B, false, false, Recording::Sequential, kDvdCapacity, kDvdUnit,
       {16, 8, 4, 2}, 16, false},
  };
  return table;
}

}  // namespace

const MediumTraits& TraitsOf(MediumKind kind) {
  for (const auto& t : Table())
    if (t.kind == kind) return t;
  return Table().front();
}

std::optional<MediumKind> MediumByName(const std::string& name) {
  for (const auto& t : Table())
    if (name == t.name) return t.kind;
  return std::nullopt;
}

}  // namespace dorvik::emulator
