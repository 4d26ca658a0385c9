// Erasing: BLANK and FORMAT UNIT bytes, the overwrite pass, and the erase's
// command order on each medium.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "dorvik.h"
#include "drive_answers.h"

namespace dorvik {
namespace {

using namespace test;
using Ops = std::vector<uint8_t>;
using FailRule = std::function<bool(const Bytes& cdb)>;

// Keeps only the command blocks, so thousands of 64 KiB writes cost no
// memory; fails decides which commands fail.
struct Eraser : ScsiTransport {
  std::vector<Bytes> commands;
  Bytes config;
  FailRule fails;
  std::unique_ptr<Recorder> r;
  Eraser(uint16_t profile, const std::vector<uint16_t>& profiles, FailRule f = {})
      : config(Configuration(profile, profiles)), fails(std::move(f)), r(std::make_unique<Recorder>(4, this)) {
    commands.clear();
  }
  bool CheckAdapter(DeviceId, uint32_t) override { return true; }
  bool CheckDevice(uint32_t, uint32_t) override { return true; }
  int32_t BusCount(DeviceId) override { return 1; }
  int LockVolume(DeviceId, uint32_t) override { return 0; }
  int Execute(const uint8_t* cdb, uint8_t cdbLength, DeviceId, void* data, uint32_t length, uint32_t, uint32_t,
              SenseResult*) override {
    const Bytes& c = commands.emplace_back(cdb, cdb + cdbLength);
    const Bytes a = c[0] == 0x46 ? config : c[0] == 0x5A ? ModeSenseAnswer(Bytes{0x05, 0x32}) : Bytes{};
    if (!a.empty()) std::memcpy(data, a.data(), std::min<size_t>(a.size(), length));
    return fails && fails(c) ? 1 : 0;
  }
  size_t Count(uint8_t opcode) const {
    return std::count_if(commands.begin(), commands.end(), [&](auto& c) { return c[0] == opcode; });
  }
  Ops Folded() const {  // opcodes in order, runs of one opcode folded
    Ops out;
    for (const auto& c : commands)
      if (out.empty() || out.back() != c[0]) out.push_back(c[0]);
    return out;
  }
};

TEST(EraseCommands, BlankAndFormatUnitBytes) {
  FakeRecorder d;
  EXPECT_EQ(d.r->Blank(1), 0);
  EXPECT_EQ(d.r->FormatPlusRw(), 0);
  ASSERT_EQ(d.t.commands.size(), 2u);
  EXPECT_EQ(d.t.commands[0].cdb, (Bytes{0xA1, 0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.t.commands[1].cdb, (Bytes{0x04, 0x11, 0, 0, 0, 0}));
  EXPECT_EQ(d.t.commands[1].direction, DirOut);
  EXPECT_EQ(d.t.commands[1].dataOut, (Bytes{0x00, 0x82, 0x00, 0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0x98, 0, 0, 0x01}));
}

TEST(EraseByOverwrite, Writes5001BlocksOf32ZerosThenFlushesAndCloses) {
  Eraser e(0x1A, {0x1A});
  ASSERT_EQ(e.r->EraseByOverwrite(), 0);
  EXPECT_EQ(e.Count(0x2A), 5001u);
  EXPECT_EQ(e.commands[0], (Bytes{0x2A, 0, 0, 0, 0, 0, 0, 0, 32, 0}));
  EXPECT_EQ(Be32(e.commands[1].data() + 2), 32u);
  EXPECT_EQ(Be32(e.commands[5000].data() + 2), 160000u);
  EXPECT_EQ(e.Folded(), (Ops{0x2A, 0x35, 0x00, 0x5B, 0x00}));
  const Bytes close = {0x5B, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_NE(std::find(e.commands.begin(), e.commands.end(), close), e.commands.end());

  // The data is 64 KiB of zeros, sent without a time limit.
  FakeRecorder one;
  one.t.SetDefault(0x2A, Refused());
  one.r->EraseByOverwrite();
  ASSERT_FALSE(one.t.commands.empty());
  EXPECT_EQ(one.t.commands[0].dataOut, Bytes(65536, 0));
  EXPECT_EQ(one.t.commands[0].timeoutMs, 0xFFFFFFFFu);
}

TEST(EraseByOverwrite, StopsAtTheFifthFailureConsecutiveOrNot) {
  Eraser e(0x1A, {0x1A}, [](const Bytes& c) {  // fails at 0, 64, 128, 192, 256
    return c[0] == 0x2A && Be32(c.data() + 2) % 64 == 0 && Be32(c.data() + 2) <= 256;
  });
  EXPECT_EQ(e.r->EraseByOverwrite(), 0);
  EXPECT_EQ(e.Count(0x2A), 9u);
  EXPECT_EQ(e.Folded(), (Ops{0x2A, 0x35, 0x00, 0x5B, 0x00}));
}

TEST(EraseMedium, CommandOrderOnEachMedium) {
  struct Case {
    const char* name;
    uint16_t profile;
    std::vector<uint16_t> profiles;
    FailRule fails;
    int32_t result;
    Ops folded;
  };
  const std::vector<uint16_t> all = {0x09, 0x0A, 0x11, 0x12, 0x13, 0x14, 0x1A, 0x1B};
  auto failsOpcode = [](uint8_t op) -> FailRule { return [op](const Bytes& c) { return c[0] == op; }; };
  const Case cases[] = {
      // Every third readiness poll finds the drive ready: the waits really wait.
      {"DVD+RW", 0x1A, all, [n = 0](const Bytes& c) mutable { return c[0] == 0 && n++ % 3 != 0; }, DORVIK_OK,
       {0x46, 0x00, 0x46, 0x04, 0x00, 0x2A, 0x35, 0x00, 0x5B, 0x00}},
      {"DVD-RAM", 0x12, all, {}, DORVIK_OK, {0x46, 0x00, 0x46, 0x5A, 0x55, 0x2A, 0x35, 0x00, 0x5B, 0x00}},
      {"DVD-RAM, MODE SELECT refused", 0x12, all, failsOpcode(0x55), DORVIK_E_RAM_FORMAT, {0x46, 0, 0x46, 0x5A, 0x55}},
      {"CD-RW", 0x0A, all, {}, DORVIK_OK, {0x46, 0x00, 0x46, 0xA1, 0x00}},
      {"DVD-RW restricted", 0x13, all, {}, DORVIK_OK, {0x46, 0x00, 0x46, 0xA1, 0x00}},
      {"CD-RW, BLANK refused", 0x0A, all, failsOpcode(0xA1), DORVIK_E_BLANK_FAILED, {0x46, 0x00, 0x46, 0xA1}},
      {"CD-RW not ready", 0x0A, all, failsOpcode(0x00), DORVIK_E_NOT_READY, {0x46, 0x00}},
      {"CD-R", 0x09, all, {}, DORVIK_E_NOT_ERASABLE, {0x46, 0x00, 0x46}},  // queries only
      {"CD-ROM medium", 0x08, all, {}, DORVIK_E_NOT_ERASABLE, {0x46, 0x00, 0x46}},
      // Drives that only read are refused before the readiness test.
      {"CD-ROM drive", 0x0A, {0x08}, {}, DORVIK_E_NOT_ERASABLE, {0x46}},
      {"DVD-ROM drive", 0x0A, {0x10, 0x08}, {}, DORVIK_E_NOT_ERASABLE, {0x46}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Eraser e(c.profile, c.profiles, c.fails);
    EXPECT_EQ(e.r->EraseMedium(), c.result);
    EXPECT_EQ(e.Folded(), c.folded);
    EXPECT_EQ(e.Count(0x2A), c.folded.size() == 10 ? 5001u : 0u);
  }
}

TEST(EraseMedium, DriveThatNeverBecomesReadyAfterBlankingIsNotReady) {
  Eraser e(0x0A, {0x0A}, [blanked = false](const Bytes& c) mutable {
    blanked = blanked || c[0] == 0xA1;
    return blanked && c[0] == 0x00;
  });
  e.r->SetReadyWaitLimit(10000);
  EXPECT_EQ(e.r->EraseMedium(), DORVIK_E_NOT_READY);
  EXPECT_EQ(e.Count(0x00), 1u + 51u);  // the start, then 10 s of 200 ms polls
}

}  // namespace
}  // namespace dorvik
