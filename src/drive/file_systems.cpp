// Which file systems a session starting at a given LBA carries.
#include <algorithm>
#include <cstring>
#include <vector>

#include "drive/drive.h"

namespace dorvik {

bool HoldsIso9660Signature(const uint8_t* block, size_t length) {
  static const uint8_t kSignature[6] = {0x01, 'C', 'D', '0', '0', '1'};
  // A text search: it ends at the block's first zero byte.
  const uint8_t* textEnd = std::find(block, block + length, 0);
  return std::search(block, textEnd, kSignature, kSignature + 6) != textEnd;
}

bool IsUdfAnchor(const uint8_t* block, uint32_t lba) {
  // An anchor volume descriptor pointer names its own location.
  const uint16_t tag = static_cast<uint16_t>(block[0] | (block[1] << 8));
  const uint32_t location = static_cast<uint32_t>(block[12]) | (static_cast<uint32_t>(block[13]) << 8) |
                            (static_cast<uint32_t>(block[14]) << 16) | (static_cast<uint32_t>(block[15]) << 24);
  return tag == 2 && location == lba;
}

bool Drive::HasIso9660(uint32_t start) {
  std::vector<uint8_t> block(kUserSectorLength);
  for (uint32_t i = 16; i <= 19; ++i) {
    std::fill(block.begin(), block.end(), 0);
    Read10(block.data(), kUserSectorLength, 1, start + i);
    if (HoldsIso9660Signature(block.data(), block.size())) return true;
  }
  return false;
}

bool Drive::HasUdf(uint32_t start) {
  std::vector<uint8_t> block(kUserSectorLength, 0);
  uint32_t lba = start + 256;
  if (Read10(block.data(), kUserSectorLength, 1, lba) != 0) {
    lba = start + 512;
    std::fill(block.begin(), block.end(), 0);
    if (Read10(block.data(), kUserSectorLength, 1, lba) != 0) return false;
  }
  return IsUdfAnchor(block.data(), lba);
}

int Drive::FileSystemKind(uint32_t start) {
  return (HasIso9660(start) ? kIso9660 : 0) | (HasUdf(start) ? kUdf : 0);
}

}  // namespace dorvik
