#include "emulator/cd_sector.h"

#include <array>
#include <cstring>

namespace dorvik::emulator {

namespace {

struct Tables {
  std::array<uint32_t, 256> edc{};
  std::array<uint8_t, 256> forward{};   // multiply by alpha in GF(2^8), x^8+x^4+x^3+x^2+1
  std::array<uint8_t, 256> backward{};  // divide by (1 + alpha)
  Tables() {
    for (uint32_t i = 0; i < 256; ++i) {
      // The EDC polynomial (x^16+x^15+x^2+1)(x^16+x^2+x+1), taken bit-reversed
      // because the bits are sent least significant first.
      uint32_t v = i;
      for (int b = 0; b < 8; ++b) v = (v >> 1) ^ ((v & 1) ? 0xD8018001u : 0u);
      edc[i] = v;
      const uint32_t f = (i << 1) ^ ((i & 0x80) ? 0x11Du : 0u);
      forward[i] = static_cast<uint8_t>(f);
      backward[i ^ f] = static_cast<uint8_t>(i);
    }
  }
};

const Tables& T() {
  static const Tables tables;
  return tables;
}

// One of the two parity sets: majorCount vectors of minorCount bytes over
// the bytes from the header on, walked with the ECMA-130 strides; each
// vector gets two parity bytes, at dest[major] and dest[major + majorCount].
void ComputeParity(const uint8_t* src, uint32_t majorCount, uint32_t minorCount, uint32_t majorMult,
                   uint32_t minorInc, uint8_t* dest) {
  const auto& t = T();
  const uint32_t size = majorCount * minorCount;
  for (uint32_t major = 0; major < majorCount; ++major) {
    uint32_t index = (major >> 1) * majorMult + (major & 1);
    uint8_t a = 0, b = 0;
    for (uint32_t minor = 0; minor < minorCount; ++minor) {
      const uint8_t v = src[index];
      index += minorInc;
      if (index >= size) index -= size;
      a ^= v;
      b ^= v;
      a = t.forward[a];
    }
    a = t.backward[t.forward[a] ^ b];
    dest[major] = a;
    dest[major + majorCount] = static_cast<uint8_t>(a ^ b);
  }
}

}  // namespace

uint8_t ToBcd(uint8_t value) { return static_cast<uint8_t>(((value / 10) << 4) | (value % 10)); }

Msf LbaToMsf(int64_t lba) {
  int64_t frames = lba + 150;
  if (frames < 0) frames += 450000;  // lead-in addresses count down from 99:59:74
  frames %= 450000;
  Msf m;
  m.minute = static_cast<uint8_t>(frames / (60 * 75));
  m.second = static_cast<uint8_t>((frames / 75) % 60);
  m.frame = static_cast<uint8_t>(frames % 75);
  return m;
}

uint32_t ComputeEdc(const uint8_t* data, uint32_t length) {
  const auto& t = T();
  uint32_t crc = 0;
  for (uint32_t i = 0; i < length; ++i) crc = (crc >> 8) ^ t.edc[(crc ^ data[i]) & 0xFF];
  return crc;
}

void EncodeMode1Sector(uint32_t lba, const uint8_t* userData, uint8_t* out) {
  std::memset(out, 0, kRawSectorSize);
  std::memset(out + 1, 0xFF, 10);
  const Msf msf = LbaToMsf(lba);
  out[12] = ToBcd(msf.minute);
  out[13] = ToBcd(msf.second);
  out[14] = ToBcd(msf.frame);
  out[15] = 0x01;
  std::memcpy(out + 16, userData, kUserDataSize);
  const uint32_t edc = ComputeEdc(out, 2064);
  out[2064] = static_cast<uint8_t>(edc);
  out[2065] = static_cast<uint8_t>(edc >> 8);
  out[2066] = static_cast<uint8_t>(edc >> 16);
  out[2067] = static_cast<uint8_t>(edc >> 24);
  // Bytes 2068..2075 stay zero. P covers header..zero area, Q also covers P.
  ComputeParity(out + 12, 86, 24, 2, 86, out + 2076);
  ComputeParity(out + 12, 52, 43, 86, 88, out + 2248);
}

}  // namespace dorvik::emulator
