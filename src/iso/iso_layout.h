#pragma once
// The two ways an image can be laid out.
//
// Classic: the layout this library has always written, byte for byte.
// Interchange: the same volume built so that every reader opens it: parents
// before children and every directory before any file data, unique 8.3
// primary names of d-characters, exact path tables, Joliet names for every
// file, and files of 4 GiB or more as several extents.
#include <cstdint>
#include <optional>
#include <string_view>

#include "collection/image_rules.h"

namespace dorvik::iso {

enum class IsoLayout { Classic, Interchange };

// New file data in the interchange layout may fill half the 32-bit sector
// space (the start address has the other half, so no extent wraps): no file
// can be larger than that.
inline constexpr uint64_t kInterchangeDataSectors = UINT32_MAX / 2;
inline constexpr uint64_t kInterchangeLargestFile = kInterchangeDataSectors * 2048;

// "classic" or "interchange", in any letter case; nullopt for anything else.
std::optional<IsoLayout> ParseIsoLayout(std::string_view text);
std::string_view IsoLayoutName(IsoLayout layout);

// What a layout can carry of the collection: the classic layout only
// names UCS-2 can hold and files below 4 GiB; the interchange layout every
// name and files up to what its data area can address.
ImageRules RulesOf(IsoLayout layout);

// The layout images are composed in: the host's choice for this process
// when it made one (ChooseIsoLayout), else the setting (DORVIK_ISO_LAYOUT on
// POSIX, the IsoLayout value on Windows): classic when it is missing, empty
// or not understood.
IsoLayout ConfiguredIsoLayout();
// The host's choice, for every image composed from now on in this process;
// nullopt goes back to the setting. Any thread.
void ChooseIsoLayout(std::optional<IsoLayout> layout);

}  // namespace dorvik::iso
