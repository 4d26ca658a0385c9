// The image handed out one sector per call: the system area as zeros, the
// metadata from the head file, then each new file's data straight from its
// source, and zeros up to the track's padded length.
#include <algorithm>
#include <cstring>

#include "iso/image_composer.h"
#include "iso/iso_fields.h"

namespace dorvik::iso {

namespace {
constexpr uint32_t kSystemAreaSectors = 16;
}

bool ImageComposer::NextDataFile() {
  currentSource_.clear();
  fileOffset_ = 0;
  fileSectorsLeft_ = 0;
  currentReported_ = false;
  currentFile_.Close();
  currentOpened_ = false;
  try {
    platform::LargeFile list(temp_[kDataList], platform::LargeFile::Mode::Read);
    if (listOffset_ >= list.Length()) return false;
    list.Seek(static_cast<int64_t>(listOffset_));
    uint8_t record[kDataListRecordSize];
    if (list.Read(record, sizeof record) != sizeof record) return false;
    listOffset_ += sizeof record;
    currentSource_.assign(reinterpret_cast<const char*>(record), strnlen(reinterpret_cast<const char*>(record), kDataListPathField));
    fileSectorsLeft_ = GetLe32(record + kDataListPathField);
  } catch (const platform::FileError&) {
    return false;
  }
  return !currentSource_.empty() && fileSectorsLeft_ > 0;
}

void ImageComposer::ReadNextSector(uint8_t* buffer, uint32_t length) {
  const uint32_t c = ++sectorCounter_;
  if (c <= kSystemAreaSectors || buffer == nullptr) return;
  const uint32_t wanted = std::min(length, kSectorSize);
  if (c <= kSystemAreaSectors + headSectors_) {
    try {
      platform::LargeFile head(temp_[kHead], platform::LargeFile::Mode::Read);
      head.Seek(int64_t{c - kSystemAreaSectors - 1} * kSectorSize);
      head.Read(buffer, wanted);
    } catch (const platform::FileError&) {
      // an unreadable head leaves the metadata sectors zero
    }
    return;
  }
  if (c > totalSectors_) return;
  if (fileSectorsLeft_ == 0 && !NextDataFile()) return;
  ReadFileSectors(buffer, wanted, 1);
}

void ImageComposer::ReadNextSectors(uint8_t* buffer, uint32_t count) {
  for (uint32_t i = 0; i < count;) {
    uint8_t* sector = buffer + size_t{i} * kSectorSize;
    const uint32_t next = sectorCounter_ + 1;
    const bool fileData = next > kSystemAreaSectors + headSectors_ && next <= totalSectors_;
    if (fileData && (fileSectorsLeft_ > 0 || NextDataFile())) {
      const uint32_t run = std::min({count - i, fileSectorsLeft_, totalSectors_ - sectorCounter_});
      sectorCounter_ += run;
      ReadFileSectors(sector, size_t{run} * kSectorSize, run);
      i += run;
    } else {
      ReadNextSector(sector, kSectorSize);
      ++i;
    }
  }
}

// Every file takes exactly the sectors Compose gave it: what cannot be read
// (a vanished or shrunk file, or one replaced by a pipe or a device, which
// is never waited for) stays zero, what grew is cut, so the files after it
// stay on their extents. The file is opened at its first sector and stays
// open until its last.
void ImageComposer::ReadFileSectors(uint8_t* buffer, size_t bytes, uint32_t sectors) {
  try {
    if (!currentOpened_) {
      currentOpened_ = true;
      currentFile_.Open(currentSource_, platform::LargeFile::Mode::ReadRegular);
    }
    if (currentFile_.IsOpen()) currentFile_.ReadAt(fileOffset_, buffer, bytes);
  } catch (const platform::FileError&) {
    currentFile_.Close();
    if (!currentReported_) {
      currentReported_ = true;
      if (notifyUnreadable_) notifyUnreadable_(currentSource_.c_str());
    }
  }
  fileOffset_ += uint64_t{sectors} * kSectorSize;
  fileSectorsLeft_ -= sectors;
  if (fileSectorsLeft_ == 0) currentFile_.Close();
}

}  // namespace dorvik::iso
