#pragma once
// The text that stands in a catalogue record's source field for a file or
// folder already on the disc's previous session:
//   folder  "<2><" name ">"
//   file    "<1><" name "><" date "><" size "><" extent ">"
// The date is the old directory record's 7 recording-date bytes taken as
// text, so it ends at the first zero byte. size and extent are decimal,
// signed. A source whose first character is '<' is a descriptor.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace dorvik {

enum class SessionEntryKind : uint8_t { File = 1, Folder = 2 };

struct SessionDescriptor {
  SessionEntryKind kind = SessionEntryKind::Folder;
  std::string name;
  std::vector<uint8_t> date;  // 0 to 7 bytes; missing trailing bytes count as 0
  int32_t size = 0;           // old data length in bytes
  int32_t extent = 0;         // old extent, absolute sector address on the disc
};

inline bool IsSessionDescriptor(const std::string& source) {
  return !source.empty() && source[0] == '<';
}

// A '>' cannot stand inside a name field; it is replaced by '_' so the old
// entry keeps a readable name instead of being cut short when parsed.
std::string MakeFolderDescriptor(const std::string& name);
// date: the 7 bytes at offsets 18..24 of the old directory record.
std::string MakeFileDescriptor(const std::string& name, const uint8_t date[7], int32_t size, int32_t extent);

// Never fails: a malformed text yields the fields found before the damage
// (an empty name when there is no name at all). Callers treat an empty name
// as "nothing to add".
SessionDescriptor ParseSessionDescriptor(const std::string& text);

// The 7 date bytes with the missing ones filled with 0.
std::array<uint8_t, 7> FullDate(const SessionDescriptor& descriptor);

}  // namespace dorvik
