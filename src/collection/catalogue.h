#pragma once
// The catalogue "file.ls" that every workspace folder may hold: fixed
// 520-byte records, no header, in the order they were added. Each record is
// two 260-byte fields, source then name, each NUL-terminated text with the
// rest of the field zero.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace dorvik::platform {
class Folder;
}

namespace dorvik {

inline constexpr size_t kCatalogueFieldSize = 260;
inline constexpr size_t kCatalogueTextLimit = kCatalogueFieldSize - 1;  // 259 bytes of text
inline constexpr size_t kCatalogueRecordSize = 2 * kCatalogueFieldSize;
inline constexpr const char* kCatalogueFileName = "file.ls";

struct CatalogueRecord {
  std::string source;  // host path, previous-session descriptor or playlist file
  std::string name;    // the file's name in its disc folder
  bool operator==(const CatalogueRecord&) const = default;
};

// True for "file.ls" in any letter case: the walks accept every spelling.
bool IsCatalogueName(const std::string& name);

// True when the text fits a field with its NUL. Longer texts are never cut
// into a field: the entry is skipped instead.
inline bool FitsCatalogueField(const std::string& text) {
  return text.size() <= kCatalogueTextLimit && text.find('\0') == std::string::npos;
}

// The 520 bytes of a record; nullopt when either text does not fit.
std::optional<std::vector<uint8_t>> EncodeCatalogueRecord(const CatalogueRecord& record);

// Visits every whole record of a catalogue file, in file order, reading a
// few records at a time so a folder of any size needs only a fixed buffer.
// A trailing partial record is ignored; a file that cannot be read (or is
// not a regular file) gives no records, and a read that fails part-way ends
// the visit there.
void ForEachCatalogueRecord(const std::string& path, const std::function<void(CatalogueRecord&)>& visit);
// The same for the catalogue name (in whatever case) directly inside a
// workspace folder, never reached through a link.
void ForEachCatalogueRecord(const platform::Folder& folder, const std::string& name,
                            const std::function<void(CatalogueRecord&)>& visit);
// The records of a catalogue file, collected.
std::vector<CatalogueRecord> ReadCatalogue(const std::string& path);

// Appends one record, creating the catalogue when missing. False when the
// record does not fit or the file cannot be written. The folder form writes
// the folder's own "file.ls", never through a link.
bool AppendCatalogueRecord(const std::string& path, const CatalogueRecord& record);
bool AppendCatalogueRecord(const platform::Folder& folder, const CatalogueRecord& record);

// True when any 260-byte field of the folder's catalogue, source or name,
// read from the start, holds exactly text: the duplicate test of an addition.
bool CatalogueHoldsText(const platform::Folder& folder, const std::string& text);

// Index of the first record of the folder's catalogue whose name field is
// exactly name (byte-wise, case-sensitive), if any.
std::optional<size_t> FindCatalogueName(const platform::Folder& folder, const std::string& name);

}  // namespace dorvik
