#pragma once
// Big-endian fields of CDBs and MMC answers.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace dorvik::emulator {

inline uint16_t Get16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t Get24(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[2];
}
inline uint32_t Get32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}
inline void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
inline void Put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}
inline void Append16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

// Copies an answer cut to the allocation length and the host's buffer;
// returns the bytes transferred.
inline uint32_t CopyAnswer(const std::vector<uint8_t>& answer, uint32_t allocation, uint8_t* data, uint32_t length) {
  if (!data) return 0;
  const uint32_t n = std::min({static_cast<uint32_t>(answer.size()), allocation, length});
  if (n) std::memcpy(data, answer.data(), n);
  return n;
}

}  // namespace dorvik::emulator
