#include "drive/image_file_device.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "drive/drive.h"
#include "platform/large_file.h"

namespace dorvik {

namespace {

constexpr uint32_t kRawWithSubchannel = 2448;

using platform::LargeFile;

uint8_t Bcd(uint32_t v) { return static_cast<uint8_t>(((v / 10) % 10) << 4 | (v % 10)); }

// Reads the whole sector at the given index, or nothing when the file ends
// before it. Throws FileError when the file cannot be opened.
std::vector<uint8_t> ReadSectorAt(LargeFile& file, uint32_t sectorSize, uint64_t index) {
  std::vector<uint8_t> sector(sectorSize, 0);
  const uint64_t at = uint64_t{sectorSize} * index;
  if (at >= file.Length()) return {};
  file.Seek(static_cast<int64_t>(at));
  sector.resize(file.Read(sector.data(), sector.size()));
  return sector;
}

// Sectors in the file; a partial last sector counts as one.
uint64_t BlockCount(const LargeFile& file, uint32_t sectorSize) {
  return (file.Length() + sectorSize - 1) / sectorSize;
}

// A block count as hour, minute, second, frame, counted from 00:02:00 the
// way a disc's addresses are, so MsfToLba reads it back. Counts past
// MsfToLba's signed 32-bit range are held at its top.
struct Msf {
  uint8_t hour = 0, minute = 0, second = 0, frame = 0;
};
Msf EndMsf(uint64_t blocks) {
  const uint64_t t = std::min<uint64_t>(blocks, INT32_MAX) + 150;
  Msf msf;
  msf.hour = static_cast<uint8_t>(t / 405000);
  msf.minute = static_cast<uint8_t>(t % 405000 / 4500);
  msf.second = static_cast<uint8_t>(t % 4500 / 75);
  msf.frame = static_cast<uint8_t>(t % 75);
  return msf;
}

// Copies an answer into the caller's buffer without passing its length.
void Answer(uint8_t* buffer, uint32_t length, const uint8_t* answer, size_t answerLength) {
  std::memcpy(buffer, answer, std::min<size_t>(length, answerLength));
}

}  // namespace

ImageFileDevice::ImageFileDevice(std::string path) : path_(std::move(path)) {}

bool ImageFileDevice::Open() {
  static constexpr std::pair<uint32_t, uint32_t> kLayouts[] = {
      {kUserSectorLength, 0}, {kRawSectorLength, 24}, {kRawSectorLength, 16}, {kRawWithSubchannel, 16},
      {kRawWithSubchannel, 24}};
  for (auto [size, offset] : kLayouts) {
    if (Detect(size, offset)) {
      sectorSize_ = size;
      dataOffset_ = offset;
      return true;
    }
  }
  sectorSize_ = kUserSectorLength;
  dataOffset_ = 0;
  return false;
}

bool ImageFileDevice::Detect(uint32_t size, uint32_t offset) {
  if (size > kRawWithSubchannel || offset >= kRawWithSubchannel || size == 0) return false;
  try {
    LargeFile file(path_, LargeFile::Mode::Read);
    const std::vector<uint8_t> descriptor = ReadSectorAt(file, size, 16);
    if (descriptor.empty()) return false;
    if (descriptor.size() > offset && HoldsIso9660Signature(descriptor.data() + offset, descriptor.size() - offset))
      return true;
    for (uint32_t anchor : {256u, 512u}) {
      const std::vector<uint8_t> sector = ReadSectorAt(file, size, anchor);
      if (sector.empty()) return false;
      if (sector.size() >= offset + 16 && IsUdfAnchor(sector.data() + offset, anchor)) return true;
    }
  } catch (const platform::FileError&) {
  }
  return false;
}

int ImageFileDevice::ReadTrackInformation(uint8_t* buffer, uint8_t addressType, uint32_t number) {
  if ((addressType == 1 || addressType == 2) && number > 1) return 1;
  if (buffer == nullptr) return 1;
  try {
    LargeFile file(path_, LargeFile::Mode::Read);
    const uint64_t blocks = BlockCount(file, sectorSize_);
    const std::vector<uint8_t> sector = ReadSectorAt(file, sectorSize_, 16);
    if (addressType == 0 && number > blocks) return 1;
    buffer[2] = 1;
    buffer[3] = 1;
    buffer[5] = 4;
    const bool raw = sectorSize_ == kRawSectorLength || sectorSize_ == kRawWithSubchannel;
    buffer[6] = raw && sector.size() > 15 && sector[15] == 2 ? 2 : 1;
    PutBe32(buffer + 8, 0);
    PutBe32(buffer + 24, static_cast<uint32_t>(std::min<uint64_t>(blocks, UINT32_MAX)));
    return 0;
  } catch (const platform::FileError&) {
    return 1;
  }
}

int ImageFileDevice::ReadDiscInformation(uint8_t* buffer) {
  if (buffer == nullptr) return 1;
  try {
    const uint64_t blocks = BlockCount(LargeFile(path_, LargeFile::Mode::Read), sectorSize_);
    PutBe16(buffer, 0x0022);
    buffer[2] = 0x0E;
    buffer[3] = buffer[4] = buffer[5] = buffer[6] = 1;
    buffer[8] = 0;
    const Msf msf = EndMsf(blocks);
    buffer[21] = Bcd(msf.hour);
    buffer[22] = Bcd(msf.minute);
    buffer[23] = Bcd(msf.second);
    return 0;
  } catch (const platform::FileError&) {
    return 1;
  }
}

int ImageFileDevice::ReadToc(uint8_t* buffer, uint32_t length, uint8_t format, uint8_t) {
  if (buffer == nullptr) return 1;
  std::memset(buffer, 0, length);
  uint64_t blocks = 0;
  try {
    blocks = BlockCount(LargeFile(path_, LargeFile::Mode::Read), sectorSize_);
  } catch (const platform::FileError&) {
    return 1;
  }
  const Msf end = EndMsf(blocks);
  if (format == 0) {
    const uint8_t toc[12] = {0x00, 0x0A, 0x01, 0x01, 0x00, 0x14, 0x01, 0x00, end.hour, end.minute, end.second, end.frame};
    Answer(buffer, length, toc, sizeof toc);
  } else if (format == 1) {
    const uint8_t toc[8] = {0x00, 0x0A, 0x01, 0x01, 0x00, 0x14, 0x01, 0x00};
    Answer(buffer, length, toc, sizeof toc);
  } else if (format == 2) {
    uint8_t track[kTrackInformationLength] = {};
    const bool mode2 = ReadTrackInformation(track, 1, 1) == 0 && (track[6] & 0x0F) == 2;
    const uint8_t toc[48] = {
        0x00, 0x2E, 0x01, 0x01,
        0x01, 0x14, 0x00, 0xA0, 0x00, 0x00, 0x00, 0x00, 0x01, static_cast<uint8_t>(mode2 ? 0x20 : 0x00), 0x00,
        0x01, 0x14, 0x00, 0xA1, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00,
        0x01, 0x14, 0x00, 0xA2, 0x00, 0x00, 0x00, end.hour, end.minute, end.second, end.frame,
        0x01, 0x14, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x00};
    Answer(buffer, length, toc, sizeof toc);
  }
  return 0;
}

int ImageFileDevice::ReadCd(uint8_t* buffer, uint32_t length, uint32_t blocks, uint8_t, uint8_t, uint32_t lba,
                            uint8_t, uint8_t, uint8_t, uint8_t headerCodes, uint8_t sync, uint8_t) {
  if (buffer == nullptr) return 1;
  try {
    LargeFile file(path_, LargeFile::Mode::Read);
    const uint64_t fileLength = file.Length();
    const uint64_t first = uint64_t{sectorSize_} * lba;
    if (first > fileLength) return 1;
    file.Seek(static_cast<int64_t>(first));
    if (blocks == 0) return 0;
    const bool whole = headerCodes == 3 || sync != 0;
    if (whole && sectorSize_ == kUserSectorLength) return 1;  // no headers to give
    // Never past the caller's buffer: each block gets its share of length,
    // and a whole raw sector or a sector of a user-data image is never read
    // past its own end. From a 2448-byte image the sub-channel bytes fall
    // away when 2352 are asked for.
    const uint32_t perBlock = length / blocks;
    const bool oneSectorAtMost = sectorSize_ == kUserSectorLength || (whole && sectorSize_ == kRawSectorLength);
    const uint32_t each = oneSectorAtMost ? std::min(perBlock, sectorSize_) : perBlock;
    const uint32_t skip = whole ? 0 : dataOffset_;
    for (uint32_t i = 0; i < blocks; ++i) {
      const uint64_t at = (uint64_t{lba} + i) * sectorSize_ + skip;
      if (at > fileLength) break;
      file.Seek(static_cast<int64_t>(at));
      file.Read(buffer + uint64_t{i} * each, each);
    }
    return 0;
  } catch (const platform::FileError&) {
    return 1;
  }
}

int ImageFileDevice::ReadRawSectors(uint8_t* buffer, uint32_t length, uint32_t blocks, uint32_t lba) {
  return ReadCd(buffer, length, blocks, 0, 0, lba, 0, 1, 1, 3, 1, 0);
}

int ImageFileDevice::ReadUserSectors(uint8_t* buffer, uint32_t length, uint32_t blocks, uint32_t lba) {
  return ReadCd(buffer, length, blocks, 0, 0, lba, 0, 0, 1, 0, 0, 0);
}

int ImageFileDevice::Read10(uint8_t* buffer, uint32_t length, uint32_t blocks, uint32_t lba) {
  return ReadUserSectors(buffer, length, blocks, lba);
}

}  // namespace dorvik
