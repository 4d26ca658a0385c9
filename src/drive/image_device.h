#pragma once
// Answers a Drive's read commands from a disc image instead of a drive.
// Each operation has the buffer layout and 0/1 result of the Drive command
// it stands in for.
#include <cstdint>

namespace dorvik {

class ImageDevice {
 public:
  virtual int ReadTrackInformation(uint8_t* buffer, uint8_t addressType, uint32_t number) = 0;
  virtual int ReadTrackInformationAgain(uint8_t* buffer, uint8_t addressType, uint32_t number) {
    return ReadTrackInformation(buffer, addressType, number);
  }
  virtual int ReadDiscInformation(uint8_t* buffer) = 0;
  virtual int ReadToc(uint8_t* buffer, uint32_t length, uint8_t format, uint8_t number) = 0;
  virtual int ReadCd(uint8_t* buffer, uint32_t length, uint32_t blocks, uint8_t relAdr, uint8_t sectorType,
                     uint32_t lba, uint8_t errorField, uint8_t edc, uint8_t userData, uint8_t headerCodes,
                     uint8_t sync, uint8_t subChannel) = 0;
  virtual int ReadRawSectors(uint8_t* buffer, uint32_t length, uint32_t blocks, uint32_t lba) = 0;
  virtual int ReadUserSectors(uint8_t* buffer, uint32_t length, uint32_t blocks, uint32_t lba) = 0;
  virtual int Read10(uint8_t* buffer, uint32_t length, uint32_t blocks, uint32_t lba) = 0;
  virtual bool Open() = 0;
  virtual ~ImageDevice() = default;
};

}  // namespace dorvik
