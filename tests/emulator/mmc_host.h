#pragma once
// The host side of the software recorder's tests: CDBs built by hand, sent
// straight to a VirtualRecorder, answers kept for the test to look at.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "emulator/virtual_recorder.h"
#include "platform/sleep.h"
#include "support/library_fixture.h"

namespace dorvik::emulator::test {

using dorvik::test::TempFolder;
using Bytes = std::vector<uint8_t>;

struct Answer {
  uint8_t status = 0;
  Bytes data, sense;
  bool Good() const { return status == 0; }
  std::string Sense() const {  // "05/24/00"; "timeout" when the transport gave up
    char text[16] = "00/00/00";
    if (status == kTransportFailure) return "timeout";
    if (!Good()) std::snprintf(text, sizeof text, "%02X/%02X/%02X", sense[2] & 0x0F, sense[12], sense[13]);
    return text;
  }
  Bytes Slice(size_t at, size_t n) const {
    return {data.begin() + std::min(at, data.size()), data.begin() + std::min(at + n, data.size())};
  }
  uint16_t U16(size_t at) const { return static_cast<uint16_t>(data.at(at) << 8 | data.at(at + 1)); }
  uint32_t U32(size_t at) const { return static_cast<uint32_t>(U16(at)) << 16 | U16(at + 2); }
};

inline uint32_t MsfToLba(const uint8_t* msf) { return (msf[0] * 60u + msf[1]) * 75u + msf[2] - 150u; }

// A 10-byte CDB: opcode, byte 1, a 32-bit field in bytes 2-5, byte 6, a 16-bit field in bytes 7-8.
inline Bytes Cdb10(uint8_t op, uint8_t b1, uint32_t at2, uint8_t b6, uint16_t at7) {
  return {op, b1, static_cast<uint8_t>(at2 >> 24), static_cast<uint8_t>(at2 >> 16), static_cast<uint8_t>(at2 >> 8),
          static_cast<uint8_t>(at2), b6, static_cast<uint8_t>(at7 >> 8), static_cast<uint8_t>(at7), 0};
}

class MmcHost {
 public:
  explicit MmcHost(ScsiDevice* device) : device_(device) {}

  // timeoutMs 0: the host sets no limit.
  Answer Send(Bytes cdb, Direction direction, Bytes data = {}, uint32_t timeoutMs = 0) {
    DeviceReply reply;
    EXPECT_TRUE(device_->Send(cdb.data(), static_cast<uint8_t>(cdb.size()), data.empty() ? nullptr : data.data(),
                              static_cast<uint32_t>(data.size()), direction, timeoutMs, reply));
    Answer a{reply.status, direction == DirIn ? std::move(data) : Bytes{}, {}};
    if (reply.status) a.sense.assign(reply.sense, reply.sense + kSenseBufferLength);
    return a;
  }
  Answer In(Bytes cdb, uint32_t length) { return Send(cdb, DirIn, Bytes(length)); }
  Answer None(Bytes cdb) { return Send(cdb, DirNone); }

  Answer TestUnitReady() { return None({0x00, 0, 0, 0, 0, 0}); }
  Answer ModeSense(uint8_t page) { return In(Cdb10(0x5A, 0, page << 24, 0, 1024), 1024); }
  // Page 5 with bytes 2 (write type, flags), 3 (multisession, track mode), 4 (block type).
  Answer WriteParameters(uint8_t byte2, uint8_t byte3, uint8_t byte4 = 0x08) {
    Bytes list = {0, 0, 0, 0, 0, 0, 0, 0, 0x05, 0x32, byte2, byte3, byte4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 150};
    list.resize(8 + 52);
    return Send(Cdb10(0x55, 0x10, 0, 0, 60), DirOut, list);
  }
  uint16_t Profile() { return In(Cdb10(0x46, 0, 0, 0, 8), 8).U16(6); }
  Answer DiscInformation() { return In(Cdb10(0x51, 0, 0, 0, 34), 34); }
  Answer TrackInformation(uint8_t type, uint32_t number) { return In(Cdb10(0x52, type, number, 0, 48), 48); }
  Answer Toc(uint8_t format, bool msf = false) { return In(Cdb10(0x43, msf ? 2 : 0, format << 24, 0, 2048), 2048); }
  Answer Read10(uint32_t lba, uint16_t blocks) { return In(Cdb10(0x28, 0, lba, 0, blocks), blocks * 2048u); }
  Answer ReadCd(uint32_t lba, uint8_t blocks, uint8_t flags, uint8_t sectorType = 0, uint32_t length = 0) {
    Bytes cdb = Cdb10(0xBE, static_cast<uint8_t>(sectorType << 2), lba, 0, blocks);
    cdb.insert(cdb.begin() + 9, {flags, 0});
    return In(cdb, length ? length : blocks * 2352u);
  }
  Answer Write10(uint32_t lba, Bytes data) {
    Bytes cdb = Cdb10(0x2A, 0, lba, 0, static_cast<uint16_t>(data.size() / 2048));
    return Send(cdb, DirOut, std::move(data));
  }
  Answer Reserve(uint32_t blocks) { return None(Cdb10(0x53, 0, blocks >> 24, blocks >> 16, blocks)); }
  Answer Synchronize(bool immed = false) { return None(Cdb10(0x35, immed ? 2 : 0, 0, 0, 0)); }
  Answer Close(uint8_t function, uint16_t track = 0, bool immed = false, uint32_t timeoutMs = 0) {
    return Send(Cdb10(0x5B, immed, function << 24 | track, 0, 0), DirNone, {}, timeoutMs);
  }
  Answer Blank(uint8_t type, bool immed = false) {
    return None({0xA1, static_cast<uint8_t>(type | (immed ? 0x10 : 0)), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  }
  Answer Format(uint8_t type, bool immed = false) {
    return Send({0x04, 0x11, 0, 0, 0, 0}, DirOut,
                {0, static_cast<uint8_t>(immed ? 0x82 : 0x80), 0, 8, 0xFF, 0xFF, 0xFF, 0xFF,
                 static_cast<uint8_t>(type << 2), 0, 0, 1});
  }
  void WaitReady() {
    for (int i = 0; i < 5000 && !TestUnitReady().Good(); ++i) platform::Sleep(1);
    EXPECT_TRUE(TestUnitReady().Good());
  }

 private:
  ScsiDevice* device_;
};

// Blocks whose bytes are derived from their address and a seed.
inline Bytes Pattern(uint32_t firstLba, uint32_t blocks, uint8_t seed) {
  Bytes out(blocks * 2048u);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<uint8_t>((firstLba + i / 2048) * 7 + i * 13 + seed);
  return out;
}

// Writes a pattern at start in commands of 16 blocks, up to the first refusal.
inline ::testing::AssertionResult WriteBlocks(MmcHost& host, uint32_t start, uint32_t blocks, uint8_t seed) {
  for (uint32_t at = start; at < start + blocks; at += 16)
    if (auto a = host.Write10(at, Pattern(at, std::min(16u, start + blocks - at), seed)); !a.Good())
      return ::testing::AssertionFailure() << "write at " << at << ": " << a.Sense();
  return ::testing::AssertionSuccess();
}

// Adds the faults of a DORVIK_VIRTUAL_FAULTS script to the recorder.
inline ::testing::AssertionResult AddFaults(VirtualRecorder& recorder, const std::string& script) {
  std::string error;
  auto faults = ParseFaultScript(script, &error);
  if (!faults) return ::testing::AssertionFailure() << error;
  for (const Fault& f : *faults) recorder.AddFault(f);
  return ::testing::AssertionSuccess();
}

inline std::unique_ptr<VirtualRecorder> NewRecorder(const std::string& path, const std::string& medium,
                                                    RecorderOptions options = {}) {
  std::string error;
  auto r = VirtualRecorder::Open(path, medium, options, &error);
  EXPECT_TRUE(r) << error;
  return r;
}

}  // namespace dorvik::emulator::test
