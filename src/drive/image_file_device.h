#pragma once
// A disc image file seen as a finished single-session disc with one data
// track. It answers a Drive's read commands in image mode with the layouts
// those commands have on a real drive.
//
// Images of 2048-byte user-data sectors and raw images of 2352-byte sectors
// (Mode 1 or Mode 2 Form 1), or 2448 bytes with sub-channel data, are told
// apart by the ISO 9660 or UDF structures found in them.
#include <cstdint>
#include <string>

#include "drive/image_device.h"

namespace dorvik {

class ImageFileDevice : public ImageDevice {
 public:
  explicit ImageFileDevice(std::string path);
  ~ImageFileDevice() override = default;

  int ReadTrackInformation(uint8_t* buffer, uint8_t addressType, uint32_t number) override;
  int ReadDiscInformation(uint8_t* buffer) override;
  int ReadToc(uint8_t* buffer, uint32_t length, uint8_t format, uint8_t number) override;
  int ReadCd(uint8_t* buffer, uint32_t length, uint32_t blocks, uint8_t relAdr, uint8_t sectorType, uint32_t lba,
             uint8_t errorField, uint8_t edc, uint8_t userData, uint8_t headerCodes, uint8_t sync,
             uint8_t subChannel) override;
  int ReadRawSectors(uint8_t* buffer, uint32_t length, uint32_t blocks, uint32_t lba) override;
  int ReadUserSectors(uint8_t* buffer, uint32_t length, uint32_t blocks, uint32_t lba) override;
  int Read10(uint8_t* buffer, uint32_t length, uint32_t blocks, uint32_t lba) override;
  // Finds the sector layout; false when the file holds none of them.
  bool Open() override;

  // Whether the file, read as sectors of size bytes with user data at
  // offset, holds an ISO 9660 volume descriptor or a UDF anchor.
  bool Detect(uint32_t size, uint32_t offset);

  uint32_t SectorSize() const { return sectorSize_; }
  uint32_t DataOffset() const { return dataOffset_; }

 private:
  std::string path_;
  uint32_t sectorSize_ = 2048;
  uint32_t dataOffset_ = 0;
};

}  // namespace dorvik
