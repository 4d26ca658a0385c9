#include "iso/memory_disc.h"

#include <algorithm>
#include <cstring>

namespace dorvik::iso {
namespace {

uint8_t Bcd(uint32_t v) { return static_cast<uint8_t>((v / 10) << 4 | (v % 10)); }

}  // namespace

MemoryDisc::MemoryDisc(std::vector<uint8_t> image, Options options) : image_(std::move(image)), options_(options) {
  image_.resize(image_.size() / kUserDataSize * kUserDataSize);
}

bool MemoryDisc::ReadUser(uint32_t lba, uint8_t* sector) {
  ++reads_;
  return Copy(lba, sector);
}

bool MemoryDisc::Copy(uint32_t lba, uint8_t* sector) const {
  if (lba >= Sectors()) return false;
  std::memcpy(sector, image_.data() + uint64_t{lba} * kUserDataSize, kUserDataSize);
  return true;
}

bool MemoryDisc::ReadRaw(uint32_t lba, uint8_t* sector) {
  ++reads_;
  if (!options_.rawReads) return false;
  std::memset(sector, 0, kRawSectorSize);
  sector[0] = 0x00;
  std::fill(sector + 1, sector + 11, 0xFF);
  const uint32_t address = lba + 150;
  sector[12] = Bcd(address / 75 / 60);
  sector[13] = Bcd(address / 75 % 60);
  sector[14] = Bcd(address % 75);
  sector[15] = options_.mode;
  uint8_t* data = sector + 16;
  if (options_.mode == 2) {
    const uint8_t subHeader[4] = {0, 0, 0x08, 0};  // form 1, data
    std::memcpy(sector + 16, subHeader, 4);
    std::memcpy(sector + 20, subHeader, 4);
    data = sector + 24;
  }
  return Copy(lba, data);
}

}  // namespace dorvik::iso
