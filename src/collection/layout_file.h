#pragma once
// The layout file: the collection flattened for one write job. A 448-byte
// header (session area offset, layout kind, volume label, one session with
// one data track), then the byte length of the entry list and the list.
// All numbers little-endian.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace dorvik::platform {
class Folder;
}

namespace dorvik {

inline constexpr size_t kLayoutHeaderSize = 448;
inline constexpr size_t kLayoutLabelLimit = 14;  // label bytes kept
inline constexpr uint8_t kLayoutEntryFolder = 1;
inline constexpr uint8_t kLayoutEntryFile = 2;
inline constexpr uint8_t kLayoutTrackData = 2;

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

// Flattens the workspace into the layout file. False when the layout path
// is empty, the workspace is not open, or the layout file cannot be written.
// The layout file is started empty in place (LargeFile::Mode::Rewrite): a
// reserved name in the shared temporary directory is never unlinked and
// made anew, and a link or another user's file there is refused.
bool WriteLayoutFile(const platform::Folder& workspace, const std::string& layoutPath, const std::string& label);

}  // namespace dorvik
