#pragma once
// The layout file: the collection flattened for one write job. A 448-byte
// header (session area offset, layout kind, volume label, one session with
// one data track), then the byte length of the entry list and the list.
// All numbers little-endian.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dorvik {

inline constexpr size_t kLayoutHeaderSize = 448;
inline constexpr size_t kLayoutLabelField = 251;
inline constexpr size_t kLayoutLabelLimit = 14;  // label bytes kept
inline constexpr uint8_t kLayoutEntryFolder = 1;
inline constexpr uint8_t kLayoutEntryFile = 2;
inline constexpr uint8_t kLayoutTrackData = 2;

struct LayoutHeader {
  uint32_t sessionAreaOffset = 0;  // 256
  uint8_t kind = 0;                // 2
  std::string label;               // text before the first NUL of the label field
  uint8_t firstSession = 0, lastSession = 0;
  // The session record at 320 and the track record at 384.
  uint8_t sessionNumber = 0, closingTrack = 0, firstTrack = 0, lastTrack = 0;
  uint8_t trackNumber = 0, trackType = 0;
  uint32_t entryListLength = 0;  // 0 when the file ends after the header
};

struct LayoutEntry {
  uint8_t kind = 0;       // kLayoutEntryFolder or kLayoutEntryFile
  std::string source;     // empty for a folder
  std::string discPath;   // "\A\" for a folder, "\A\x.mp3" for a file
  bool operator==(const LayoutEntry&) const = default;
};

// The 448 header bytes for a label (its first 14 bytes at most).
std::vector<uint8_t> EncodeLayoutHeader(const std::string& label);
// One entry: kind, 16-bit source length, source, 16-bit path length, path.
// Empty when a text is too long for its 16-bit length.
std::vector<uint8_t> EncodeLayoutEntry(const LayoutEntry& entry);

// Flattens the workspace into the layout file. False when either path is
// empty, the workspace is missing, or the layout file cannot be written.
bool WriteLayoutFile(const std::string& workspace, const std::string& layoutPath, const std::string& label);

// nullopt when the file is shorter than the header or cannot be read. A file
// that ends after the header reads as an empty entry list.
std::optional<LayoutHeader> ReadLayoutHeader(const std::string& path);
// The entry list; nullopt when the header cannot be read or the list is
// damaged (an entry running past the list's length).
std::optional<std::vector<LayoutEntry>> ReadLayoutEntries(const std::string& path);

}  // namespace dorvik
