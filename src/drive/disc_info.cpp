// The raw disc queries and what the library derives from them: blank,
// writable, next writable address and free space.
#include <algorithm>
#include <cstring>
#include <vector>

#include "drive/drive.h"
#include "platform/files.h"

namespace dorvik {

namespace {

// Answer fields the library reads.
uint8_t DiscStatus(const uint8_t* info) { return info[2] & 3; }
bool NwaValid(const uint8_t* track) { return (track[7] & 1) != 0; }
uint32_t TrackSize(const uint8_t* track) { return Be32(track + 24); }

constexpr uint8_t kDiscEmpty = 0;
constexpr uint8_t kDiscComplete = 2;

}  // namespace

int32_t MsfToLba(uint8_t h, uint8_t m, uint8_t s, uint8_t f) {
  if (m == 0xFF && s == 0xFF && f == 0xFF) return 0xFFFFFF;
  if (h > 0) return ((h * 90 + m) * 60 + s - 2) * 75 + f;
  if (m == 0 && s == 0 && f == 0) return 0;
  // Minutes 90 and up stand for the lead-in area, before LBA 0.
  if (m < 90) return (m * 60 + s) * 75 + f - 150;
  return (m * 60 + s) * 75 + f - 450150;
}

int Drive::ReadTrackInformation(uint8_t* buffer, uint8_t addressType, uint32_t number) {
  std::memset(buffer, 0, kTrackInformationLength);
  if (imageMode_) return imageDevice_ ? imageDevice_->ReadTrackInformation(buffer, addressType, number) : 1;
  uint8_t cdb[10] = {0x52, static_cast<uint8_t>(addressType & 3), 0, 0, 0, 0, 0, 0, 0, 0};
  PutBe32(cdb + 2, number);
  PutBe16(cdb + 7, kTrackInformationLength);
  return Send(cdb, 10, buffer, kTrackInformationLength, DirIn, kQuickTimeoutMs);
}

int Drive::ReadToc(uint8_t* buffer, uint32_t length, uint8_t format, uint8_t number) {
  // The allocation length field is 16 bits; never ask for more than fits.
  const uint16_t n = static_cast<uint16_t>(std::min<uint32_t>(length, 0xFFFF));
  // A short answer must not leave stale bytes behind for the parsers. An
  // allocation length of 0 is a valid question and may come with no buffer.
  if (n > 0) std::memset(buffer, 0, n);
  if (imageMode_) return imageDevice_ ? imageDevice_->ReadToc(buffer, n, format, number) : 1;
  uint8_t cdb[10] = {0x43, 0, static_cast<uint8_t>(format & 0x0F), 0, 0, 0, number, 0, 0, 0};
  PutBe16(cdb + 7, n);
  // ATAPI drives of the older command set take the format from the top
  // bits of the last byte and ignore byte 2; others ignore those bits.
  if ((format & 0x0F) <= 2) cdb[9] = static_cast<uint8_t>((format & 0x0F) << 6);
  // Full-TOC addresses are MSF whatever the MSF bit says, and the parsers
  // read them so; QEMU's drives honour the bit and otherwise put a 32-bit
  // LBA where the lead-out's time belongs.
  if ((format & 0x0F) == 2) cdb[1] = 0x02;
  const int r = Send(cdb, 10, buffer, n, DirIn, kLongTimeoutMs);
  if (r == 0 && n >= 4) KeepDeclared(buffer, n, std::max<uint32_t>(4, 2u + Be16(buffer)));
  return r;
}

int Drive::Read10(uint8_t* buffer, uint32_t length, uint32_t blocks, uint32_t lba) {
  if (imageMode_) return imageDevice_ ? imageDevice_->Read10(buffer, length, blocks, lba) : 1;
  uint8_t cdb[10] = {0x28, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  PutBe32(cdb + 2, lba);
  PutBe16(cdb + 7, static_cast<uint16_t>(blocks));
  return Send(cdb, 10, buffer, length, DirIn, kLongTimeoutMs);
}

int Drive::ReadCd(uint8_t* buffer, uint32_t length, uint32_t blocks, uint8_t relAdr, uint8_t sectorType,
                  uint32_t lba, uint8_t errorField, uint8_t edc, uint8_t userData, uint8_t headerCodes,
                  uint8_t sync, uint8_t subChannel) {
  if (imageMode_)
    return imageDevice_ ? imageDevice_->ReadCd(buffer, length, blocks, relAdr, sectorType, lba, errorField, edc,
                                               userData, headerCodes, sync, subChannel)
                        : 1;
  uint8_t cdb[12] = {};
  cdb[0] = 0xBE;
  cdb[1] = static_cast<uint8_t>((relAdr & 1) | ((sectorType & 7) << 2));
  PutBe32(cdb + 2, lba);
  cdb[6] = static_cast<uint8_t>(blocks >> 16);
  cdb[7] = static_cast<uint8_t>(blocks >> 8);
  cdb[8] = static_cast<uint8_t>(blocks);
  cdb[9] = static_cast<uint8_t>(((errorField & 3) << 1) | ((edc & 1) << 3) | ((userData & 1) << 4) |
                                ((headerCodes & 3) << 5) | ((sync & 1) << 7));
  cdb[10] = static_cast<uint8_t>(subChannel & 7);
  return Send(cdb, 12, buffer, length, DirIn, kLongTimeoutMs);
}

int Drive::ReadRawSectors(uint8_t* buffer, uint32_t length, uint32_t blocks, uint32_t lba) {
  if (imageMode_) return imageDevice_ ? imageDevice_->ReadRawSectors(buffer, length, blocks, lba) : 1;
  return ReadCd(buffer, length, blocks, 0, 0, lba, 0, 1, 1, 3, 1, 0);
}

int Drive::ReadUserSectors(uint8_t* buffer, uint32_t length, uint32_t blocks, uint32_t lba) {
  if (imageMode_) return imageDevice_ ? imageDevice_->ReadUserSectors(buffer, length, blocks, lba) : 1;
  // DVD drives and some CD drives refuse READ CD; READ(10) gives the same
  // user data on a data track.
  if (ReadCd(buffer, length, blocks, 0, 0, lba, 0, 0, 1, 0, 0, 0) == 0) return 0;
  return Read10(buffer, length, blocks, lba);
}

int Drive::IsBlank() {
  if (id_ == 0) return 1;
  const uint32_t profile = CurrentProfile();
  if (profile != kProfileDvdPlusRw && profile != kProfileDvdRam) {
    uint8_t info[kDiscInformationLength];
    if (ReadDiscInformation(info) != 0) return 0;
    return DiscStatus(info) == kDiscEmpty ? 1 : 0;
  }
  // These media always read as formatted: look for data where a file
  // system would put its descriptors instead.
  std::vector<uint8_t> block(kUserSectorLength);
  for (uint32_t lba : {16u, 256u, 512u}) {
    std::fill(block.begin(), block.end(), 0);
    ReadUserSectors(block.data(), kUserSectorLength, 1, lba);  // a failed read counts as blank
    for (uint8_t b : block)
      if (b != 0) return 0;
  }
  return 1;
}

int Drive::IsWritable() {
  switch (CurrentProfile()) {
    case kProfileNone:
    case kProfileCdRom:
    case kProfileDvdRom:
    case kProfileDdCdRom:
    case kProfileDdCdR:
    case kProfileDdCdRw:
      return 0;
    case kProfileCdR:
    case kProfileDvdR:
    case kProfileDvdPlusR:
      return IsBlank();
    default:
      return 1;
  }
}

int Recorder::NextWritableAddress(int32_t* out) {
  if (imageMode_) {
    *out = 0;
    return 0;
  }
  uint8_t info[kDiscInformationLength];
  if (int r = ReadDiscInformation(info); r != 0) return r;
  const uint8_t lastTrack = info[6];
  uint8_t track[kTrackInformationLength];
  // Beyond the first track, 0xFF names the incomplete track being written.
  if (int r = ReadTrackInformation(track, 1, lastTrack <= 1 ? lastTrack : 0xFF); r != 0) return r;
  *out = NwaValid(track) ? static_cast<int32_t>(Be32(track + 12)) : -150;
  return 0;
}

bool Recorder::FreeBlocks(uint32_t* out) {
  if (imageMode_) {
    // The image file's disk is the target.
    const std::string folder = platform::FolderOf(imagePath_);
    if (folder.empty()) return false;
    const auto bytes = platform::FreeDiskBytes(folder);
    if (!bytes) return false;
    const uint64_t blocks = *bytes / kUserSectorLength;
    *out = blocks > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(blocks);
    return true;
  }
  uint8_t info[kDiscInformationLength];
  if (ReadDiscInformation(info) != 0) return false;
  uint8_t track[kTrackInformationLength] = {};

  if (DiscStatus(info) == kDiscEmpty) {
    if (TrackInfoFromToc(track, 1, 1) != 0 && ReadTrackInformation(track, 1, 1) != 0) {
      *out = 0;
      return true;
    }
    *out = TrackSize(track);
    return *out != 0;
  }
  const uint32_t profile = CurrentProfile();
  if (profile != kProfileCdR && profile != kProfileCdRw) {
    if (ReadTrackInformation(track, 1, 1) != 0 && TrackInfoFromToc(track, 1, 1) != 0) {
      *out = 0;
      return true;
    }
    *out = TrackSize(track);
    return *out != 0;
  }
  // An appendable CD: the room between the next writable address and the
  // last possible start of the lead-out.
  if (DiscStatus(info) == kDiscComplete) return false;
  const int32_t leadOut = MsfToLba(info[20], info[21], info[22], info[23]);
  if (ReadTrackInformation(track, 1, info[6]) != 0) return false;
  const int32_t nwa = NwaValid(track) ? static_cast<int32_t>(Be32(track + 12)) : -150;
  if (nwa > leadOut) return false;
  *out = static_cast<uint32_t>(static_cast<int64_t>(leadOut) - nwa);
  return true;
}

}  // namespace dorvik
