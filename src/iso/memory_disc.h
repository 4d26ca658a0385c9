#pragma once
// A disc held in memory, for walking a session without a drive: 2048-byte
// sectors from sector 0. Raw reads build the sector a drive would return
// (sync, header, Mode 2 sub-header when asked), error codes left zero.
#include <cstdint>
#include <vector>

#include "iso/sector_reader.h"

namespace dorvik::iso {

class MemoryDisc : public SectorReader {
 public:
  struct Options {
    bool rawReads = true;  // false: raw reads fail, as on drives without READ CD
    uint8_t mode = 1;      // 1: Mode 1 sectors; 2: Mode 2 form 1
  };
  explicit MemoryDisc(std::vector<uint8_t> image) : MemoryDisc(std::move(image), Options{}) {}
  MemoryDisc(std::vector<uint8_t> image, Options options);

  bool ReadRaw(uint32_t lba, uint8_t* sector) override;
  bool ReadUser(uint32_t lba, uint8_t* sector) override;

  uint32_t Sectors() const { return static_cast<uint32_t>(image_.size() / kUserDataSize); }
  uint64_t Reads() const { return reads_; }

 private:
  bool Copy(uint32_t lba, uint8_t* sector) const;

  std::vector<uint8_t> image_;
  Options options_;
  uint64_t reads_ = 0;
};

}  // namespace dorvik::iso
