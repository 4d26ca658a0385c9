#pragma once
#include <cstdint>

namespace dorvik {

// MMC write types (write parameters page, byte 2 bits 0..3).
enum WriteType : uint8_t {
  kWritePacket = 0,
  kWriteTrackAtOnce = 1,
  kWriteSessionAtOnce = 2,
  kWriteRaw = 3,
};

// The write type's companions on the write parameters page, in the order
// callers fill them.
struct WriteSettings {
  uint8_t trackMode = 0;           // byte 3 bits 0..3
  uint8_t linkSize = 0;            // byte 5
  uint8_t testWrite = 0;           // byte 2 bit 4
  uint8_t bufferUnderrunFree = 0;  // byte 2 bit 6 (BUFE)
  uint8_t multiSession = 0;        // non-zero: byte 3 bits 6..7 = 11b
  uint8_t linkSizeValid = 0;       // byte 2 bit 5 (LS_V)
  uint8_t dataBlockType = 0;       // byte 4 bits 0..3
  uint8_t sessionFormat = 0;       // byte 8
};

}  // namespace dorvik
