// Relocate's second half: once the metadata sizes are known, file extents
// move from their provisional place (counted from the start address) to
// their place after the path tables, and the Joliet tree, counted from 0
// while it was written, moves behind the primary directories.
#include <algorithm>
#include <functional>
#include <vector>

#include "iso/directory_record.h"
#include "iso/image_composer.h"
#include "iso/iso_fields.h"

namespace dorvik::iso {

namespace {

constexpr size_t kChunk = 20480;  // whole sectors

// Visits every record of a directory file. Records never cross a sector
// (the sector rule), and a zero length byte is the padding that ends a
// sector's records, so each sector can be walked alone.
void ForEachDirectoryRecord(const std::string& path, const std::function<void(uint8_t*)>& visit) {
  if (path.empty()) return;
  platform::LargeFile file(path, platform::LargeFile::Mode::ReadWrite);
  std::vector<uint8_t> chunk(kChunk);
  const uint64_t length = file.Length();
  for (uint64_t at = 0; at < length; at += kChunk) {
    file.Seek(static_cast<int64_t>(at));
    const size_t n = file.Read(chunk.data(), chunk.size());
    for (size_t sector = 0; sector < n; sector += kSectorSize) {
      const size_t end = std::min(n, sector + kSectorSize);
      for (size_t offset = sector; offset < end;) {
        const uint8_t recordLength = chunk[offset];
        if (recordLength < kDotRecordLength || offset + recordLength > end) break;
        visit(&chunk[offset]);
        offset += recordLength;
      }
    }
    file.Seek(static_cast<int64_t>(at));
    file.Write(chunk.data(), n);
  }
}

// Adds delta to the extent of every record of a path table file.
void ShiftPathTable(const std::string& path, uint32_t delta, bool bigEndian) {
  if (path.empty()) return;
  platform::LargeFile file(path, platform::LargeFile::Mode::ReadWrite);
  std::vector<uint8_t> chunk(kChunk);
  const uint64_t length = file.Length();
  uint64_t at = 0;
  while (at < length) {
    file.Seek(static_cast<int64_t>(at));
    const size_t n = file.Read(chunk.data(), chunk.size());
    size_t offset = 0;
    while (offset + 8 <= n) {
      const size_t recordLength = 8 + chunk[offset] + (chunk[offset] % 2);
      if (offset + recordLength > n) break;  // finished in the next chunk
      uint8_t* extent = &chunk[offset + 2];
      if (bigEndian) PutMsb32(extent, GetMsb32(extent) + delta);
      else PutLe32(extent, GetLe32(extent) + delta);
      offset += recordLength;
    }
    if (offset == 0) break;  // a damaged tail: nothing more to walk
    file.Seek(static_cast<int64_t>(at));
    file.Write(chunk.data(), offset);
    at += offset;
  }
}

}  // namespace

bool ImageComposer::RelocateExtents(uint32_t jolietBase) {
  const uint32_t start = startAddress_;
  const uint32_t fileShift = firstFileSector_ - start;
  // Files of earlier sessions lie below the start address and stay put.
  auto moveFile = [&](uint8_t* record) {
    const uint32_t extent = GetLe32(record + 2);
    if (extent >= start) PutBoth32(record + 2, extent + fileShift);
  };
  ForEachDirectoryRecord(temp_[kPrimaryDirectories], [&](uint8_t* record) {
    if (record[25] == 0) moveFile(record);
  });
  ForEachDirectoryRecord(temp_[kJolietDirectories], [&](uint8_t* record) {
    if (record[25] & kDirectoryFlag) PutBoth32(record + 2, GetLe32(record + 2) + jolietBase);
    else if (record[25] == 0) moveFile(record);
  });
  ShiftPathTable(temp_[kJolietL], jolietBase, false);
  ShiftPathTable(temp_[kJolietM], jolietBase, true);
  return true;
}

}  // namespace dorvik::iso
