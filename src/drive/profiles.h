#pragma once
#include <cstdint>

namespace dorvik {

// MMC profile numbers the library compares.
enum Profile : uint32_t {
  kProfileNone = 0x0000,
  kProfileCdRom = 0x0008,
  kProfileCdR = 0x0009,
  kProfileCdRw = 0x000A,
  kProfileDvdRom = 0x0010,
  kProfileDvdR = 0x0011,
  kProfileDvdRam = 0x0012,
  kProfileDvdRwRestricted = 0x0013,
  kProfileDvdRwSequential = 0x0014,
  kProfileDvdPlusRw = 0x001A,
  kProfileDvdPlusR = 0x001B,
  kProfileDdCdRom = 0x0020,
  kProfileDdCdR = 0x0021,
  kProfileDdCdRw = 0x0022,
};

// Command timeouts, in milliseconds.
inline constexpr uint32_t kQuickTimeoutMs = 1000;
inline constexpr uint32_t kLongTimeoutMs = 60000;
inline constexpr uint32_t kCloseTimeoutMs = 120000;
inline constexpr uint32_t kSynchronizeTimeoutMs = 3600000;

}  // namespace dorvik
