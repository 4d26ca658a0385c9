#pragma once
// A CD-ROM Mode 1 sector as it sits on the disc (ECMA-130): 12 sync bytes,
// the BCD address header, 2048 bytes of user data, the EDC, 8 zero bytes
// and the P and Q parity of the cross-interleaved Reed-Solomon product code.
#include <cstdint>

namespace dorvik::emulator {

inline constexpr uint32_t kRawSectorSize = 2352;
inline constexpr uint32_t kUserDataSize = 2048;

struct Msf {
  uint8_t minute = 0, second = 0, frame = 0;
};

// The absolute time of an LBA (LBA 0 is 00:02:00); LBAs past 99:59:74 wrap
// the way a drive counts them.
Msf LbaToMsf(int64_t lba);
uint8_t ToBcd(uint8_t value);

// Fills out[0..2351] for the user data at lba.
void EncodeMode1Sector(uint32_t lba, const uint8_t* userData, uint8_t* out);
// CRC-32 of the EDC field over length bytes.
uint32_t ComputeEdc(const uint8_t* data, uint32_t length);

}  // namespace dorvik::emulator
