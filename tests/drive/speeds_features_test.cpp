// SET CD SPEED bytes, the write-speed probe, the feature walk and the READ
// CD forms.
#include <gtest/gtest.h>

#include <array>

#include "drive_answers.h"

namespace dorvik {
namespace {

using namespace test;

// Page 0x2A showing a selected write speed.
Bytes CapabilitiesPage(uint16_t selectedWrite) {
  Bytes page(32, 0);
  page[0] = 0x2A;
  page[1] = 30;
  PutBe16(page.data() + 28, selectedWrite);
  return page;
}

// The drive refuses speeds above top and shows nothing selected until it
// accepts one; when nothing is ever selected the range is 0 to 10000.
TEST(SpeedProbe, RangeIsWhatTheDriveSelects) {
  for (auto [profile, top, maxWrite, minWrite] : {std::array<uint16_t, 4>{0x1A, 22160, 22160, 2770},
                                                  std::array<uint16_t, 4>{0x0A, 0, 0, 10000}}) {
    SCOPED_TRACE(profile);
    FakeRecorder d;
    d.t.SetDefault(0x46, Data(Configuration(profile, {profile})));
    uint16_t selected = 0;
    d.t.responder = [&](const RecordedCommand& c) -> std::optional<ScriptedAnswer> {
      if (c.opcode() == 0xBB && Be16(c.cdb.data() + 4) > top) return Refused();
      if (c.opcode() == 0xBB) selected = Be16(c.cdb.data() + 4);
      if (c.opcode() == 0x5A) return Data(ModeSenseAnswer(CapabilitiesPage(selected)));
      return std::nullopt;
    };
    SpeedReport s;
    ASSERT_EQ(d.r->ReportSpeeds(&s), 0);
    EXPECT_EQ(s.maxWrite, maxWrite);
    EXPECT_EQ(s.minWrite, minWrite);
  }
}

// QEMU's ATAPI drive answers a 22-byte page 0x2A that ends before the
// write-speed fields; through /dev/sg the rest of the buffer holds bytes of
// an earlier command. Only what the mode data length covers is the page.
TEST(SpeedProbe, BytesPastTheDeclaredPageAreNotTheDrives) {
  FakeRecorder d;
  d.t.SetDefault(0x46, Data(Configuration(0x08, {0x08, 0x10})));
  Bytes page = {0x2A, 0x14, 0x3B, 0x00, 0x71, 0x60, 0x29, 0x00, 0x02, 0xC0, 0x00, 0x02,
                0x02, 0x00, 0x02, 0xC0, 0, 0, 0, 0, 0, 0};
  Bytes answer = ModeSenseAnswer(page);
  answer.resize(1024, 0x2C);  // stale: would read as a selected write speed
  d.t.SetDefault(0x5A, Data(answer));
  SpeedReport s;
  ASSERT_EQ(d.r->ReportSpeeds(&s), 0);
  EXPECT_EQ(s.maxRead, 0x02C0);
  EXPECT_EQ(s.currentWrite, 0);
  EXPECT_EQ(s.maxWrite, 0);
  EXPECT_EQ(s.minWrite, 10000);
  uint8_t capabilities[kCapabilitiesLength];
  ASSERT_EQ(d.r->ReadModePage(capabilities, kCapabilitiesLength, 4, &d.r->LastSense(), 0x2A), 0);
  EXPECT_EQ(Bytes(capabilities + 22, capabilities + 26), Bytes(4, 0));
}

TEST(SpeedProbe, UnreadablePageEndsItWithoutTouchingLastSense) {
  FakeRecorder d;
  auto notReady = Refused();
  notReady.sense.senseKey = 3;
  Bytes wrongPage = CapabilitiesPage(1);
  wrongPage[0] = 0x05;
  Bytes beyond = ModeSenseAnswer(CapabilitiesPage(1));
  PutBe16(beyond.data() + 6, 0x0400);  // block descriptors push the page past the answer
  for (const ScriptedAnswer& a : {notReady, Data(ModeSenseAnswer(wrongPage)), Data(beyond)}) {
    d.t.Queue(0x5A, a);
    SpeedReport s;
    EXPECT_EQ(d.r->ReportSpeeds(&s), 1);
  }
  EXPECT_EQ(d.r->LastSense().senseKey, 0);
  EXPECT_TRUE(d.t.CommandsWith(0xBB).empty());
}

// Heap buffers of exactly the given length, so ASan sees any overread.
TEST(HasFeature, FindsListedFeaturesAndNeverFollowsLengthsPastTheBuffer) {
  const Bytes c = Configuration(0x09, {0x09, 0x0A}, {0x0001, 0x002E});
  EXPECT_TRUE(HasFeature(c.data(), static_cast<uint32_t>(c.size()), 0x0000));
  EXPECT_TRUE(HasFeature(c.data(), static_cast<uint32_t>(c.size()), 0x002E));
  EXPECT_FALSE(HasFeature(c.data(), static_cast<uint32_t>(c.size()), 0x002D));
  Bytes stepsToTheEnd = Configuration(0x09, {0x09});  // then claims another descriptor
  stepsToTheEnd.resize(16);
  PutBe32(stepsToTheEnd.data(), 0x1000);
  stepsToTheEnd[11] = 4;
  std::vector<Bytes> bad = {stepsToTheEnd, c, c};
  PutBe32(bad[1].data(), 0);            // empty
  PutBe32(bad[2].data(), 0x80000000u);  // negative
  for (uint32_t length : {0u, 1u, 7u, 8u, 9u, 11u, 12u, 40u, 300u}) {
    bad.emplace_back(length, 0xFF);
    if (length >= 4) PutBe32(bad.back().data(), 0x7FFFFFFF);  // claims far more than there is
  }
  for (const Bytes& b : bad) EXPECT_FALSE(HasFeature(b.data(), static_cast<uint32_t>(b.size()), 0x002E)) << b.size();
}

TEST(CommandBytes, SetCdSpeedAndReadCdFormsWithTheReadTenFallback) {
  FakeRecorder d;
  EXPECT_EQ(d.r->SetReadSpeed(0x1234), 0);
  EXPECT_EQ(d.r->SetWriteSpeed(0xABCD), 0);
  uint8_t buf[2352 * 2];
  d.r->ReadRawSectors(buf, sizeof buf, 2, 0x010203);
  d.t.Queue(0xBE, Refused());
  d.r->ReadUserSectors(buf, 2048, 1, 16);
  d.r->ReadCd(buf, 2352, 0x0A0B0C, 1, 5, 7, 2, 1, 0, 1, 1, 6);  // every field in its place
  const std::vector<Bytes> expected = {
      {0xBB, 0, 0x12, 0x34, 0, 0, 0, 0, 0, 0, 0, 0},   {0xBB, 0, 0, 0, 0xAB, 0xCD, 0, 0, 0, 0, 0, 0},
      {0xBE, 0, 0, 0x01, 0x02, 0x03, 0, 0, 2, 0xF8, 0, 0}, {0xBE, 0, 0, 0, 0, 16, 0, 0, 1, 0x10, 0, 0},
      {0x28, 0, 0, 0, 0, 16, 0, 0, 1, 0},              {0xBE, 0x15, 0, 0, 0, 7, 0x0A, 0x0B, 0x0C, 0xAC, 0x06, 0}};
  ASSERT_EQ(d.t.commands.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(d.t.commands[i].cdb, expected[i]) << i;
  EXPECT_EQ(d.t.commands[0].direction, DirNone);
  EXPECT_EQ(d.t.commands[2].timeoutMs, 60000u);
}

}  // namespace
}  // namespace dorvik
