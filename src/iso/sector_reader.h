#pragma once
// How the previous-session walk reads a disc: whole raw sectors where the
// reader can give them, 2048 bytes of user data otherwise. A drive, a disc
// image or bytes in memory stand behind it alike.
#include <cstdint>

namespace dorvik::iso {

inline constexpr uint32_t kRawSectorSize = 2352;
inline constexpr uint32_t kUserDataSize = 2048;

class SectorReader {
 public:
  virtual ~SectorReader() = default;
  // The whole sector at lba (sync, header, sub-header, data, error codes)
  // into 2352 bytes. False when it could not be read.
  virtual bool ReadRaw(uint32_t lba, uint8_t* sector) = 0;
  // The sector's 2048 bytes of user data. False when it could not be read.
  virtual bool ReadUser(uint32_t lba, uint8_t* sector) = 0;
};

}  // namespace dorvik::iso
