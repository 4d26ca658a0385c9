#pragma once
// The host side of the software recorder's tests: CDBs built by hand, sent
// straight to a VirtualRecorder, answers kept for the test to look at.
#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "emulator/virtual_recorder.h"

namespace dorvik::emulator::test {

struct Answer {
  uint8_t status = 0;
  uint8_t key = 0, asc = 0, ascq = 0;
  std::vector<uint8_t> data;
  std::vector<uint8_t> sense;
  bool Good() const { return status == 0; }
  std::string Sense() const;  // "05/24/00"
};

inline uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t Be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

class MmcHost {
 public:
  explicit MmcHost(ScsiDevice* device) : device_(device) {}

  Answer In(std::vector<uint8_t> cdb, uint32_t length);
  Answer Out(std::vector<uint8_t> cdb, const std::vector<uint8_t>& data);
  Answer None(std::vector<uint8_t> cdb);

  Answer TestUnitReady() { return None({0x00, 0, 0, 0, 0, 0}); }
  Answer Inquiry() { return In({0x12, 0, 0, 0, 96, 0}, 96); }
  Answer StartStop(uint8_t byte4) { return None({0x1B, 0, 0, 0, byte4, 0}); }
  Answer Prevent(uint8_t value) { return None({0x1E, 0, 0, 0, value, 0}); }
  Answer ModeSense(uint8_t page, uint16_t length = 1024);
  // Sends page 5 with the given bytes 2, 3, 4 and 8 (write type and flags,
  // multisession and track mode, data block type, session format).
  Answer WriteParameters(uint8_t byte2, uint8_t byte3, uint8_t byte4 = 0x08, uint8_t sessionFormat = 0);
  Answer GetConfiguration(uint8_t rt = 0, uint16_t start = 0, uint16_t length = 2048);
  Answer DiscInformation() { return In({0x51, 0, 0, 0, 0, 0, 0, 0, 34, 0}, 34); }
  Answer TrackInformation(uint8_t addressType, uint32_t number);
  Answer Toc(uint8_t format, uint8_t number = 0, bool msf = false, uint16_t length = 2048);
  Answer Read10(uint32_t lba, uint16_t blocks);
  Answer ReadCd(uint32_t lba, uint32_t blocks, uint8_t flags, uint8_t sectorType = 0, uint32_t length = 0);
  Answer Write10(uint32_t lba, const std::vector<uint8_t>& data);
  Answer Reserve(uint32_t blocks);
  Answer Synchronize(bool immediate = false) { return None({0x35, static_cast<uint8_t>(immediate ? 2 : 0), 0, 0, 0, 0, 0, 0, 0, 0}); }
  Answer Close(uint8_t function, uint16_t track = 0, bool immediate = false);
  Answer Blank(uint8_t type, bool immediate = false);
  Answer FormatPlusRw(bool immediate = false) { return Format(0x26, immediate); }
  Answer Format(uint8_t formatType, bool immediate = false);
  Answer SetSpeed(uint16_t read, uint16_t write);

 private:
  Answer Run(std::vector<uint8_t> cdb, void* data, uint32_t length, Direction direction);
  ScsiDevice* device_;
};

// Blocks whose bytes are derived from their address and a seed.
std::vector<uint8_t> Pattern(uint32_t firstLba, uint32_t blocks, uint8_t seed);

// A recorder over a new disc file with the given medium in a temp folder.
std::unique_ptr<VirtualRecorder> NewRecorder(const std::string& path, const std::string& medium,
                                             RecorderOptions options = {});

}  // namespace dorvik::emulator::test
