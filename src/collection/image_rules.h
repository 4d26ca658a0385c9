#pragma once
// What an image layout can carry of the collection. The composer leaves out
// what its rules refuse and tells the host about each such file; the
// playlist, written before the image is composed, lists only what the same
// rules accept, so it never names a file that the disc does not hold.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "collection/catalogue.h"

namespace dorvik {

struct ImageRules {
  // False: a name Joliet cannot hold in UCS-2 (a character beyond it, bytes
  // that are not UTF-8) keeps a file off the disc, and a folder keeps only
  // its primary records. A layout that writes a substitute name sets it.
  bool anyName = false;
  // The largest source the layout can describe.
  uint64_t largestFile = (uint64_t{1} << 32) - 1;
};

// The classic layout's rules: UCS-2 names, files below 4 GiB.
inline constexpr ImageRules kClassicRules{};

enum class LeftOutReason { Unreadable, NotRegularFile, TooLarge, NameNotJoliet };

// True when the layout writes this name in both trees.
bool NameFits(const std::string& name, const ImageRules& rules);

struct SourceFacts {
  uint64_t length = 0;
  std::time_t modified = 0;  // UTC seconds
};

// Opens a new file's source as the image reads it (without waiting, regular
// files only) and fills facts; the reason when the file cannot go on the disc.
std::optional<LeftOutReason> InspectSource(const std::string& source, const ImageRules& rules, SourceFacts& facts);

// Why a catalogue record's file would be left off the disc; nullopt when it
// goes on. A previous-session entry is judged by its name alone.
std::optional<LeftOutReason> CheckRecord(const CatalogueRecord& record, const ImageRules& rules);

}  // namespace dorvik
