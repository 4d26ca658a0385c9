#pragma once
// A drive as the previous-session walk reads it: whole sectors by READ CD,
// user data by READ CD and, where the drive refuses that, READ(10).
#include "drive/drive.h"
#include "iso/sector_reader.h"

namespace dorvik {

class DriveSectorReader final : public iso::SectorReader {
 public:
  explicit DriveSectorReader(Drive& drive) : drive_(drive) {}
  bool ReadRaw(uint32_t lba, uint8_t* sector) override {
    return drive_.ReadRawSectors(sector, iso::kRawSectorSize, 1, lba) == 0;
  }
  bool ReadUser(uint32_t lba, uint8_t* sector) override {
    return drive_.ReadUserSectors(sector, iso::kUserDataSize, 1, lba) == 0;
  }

 private:
  Drive& drive_;
};

}  // namespace dorvik
