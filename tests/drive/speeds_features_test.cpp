// SET CD SPEED bytes, the write-speed probe, the feature walk and the READ
// CD forms.
#include <gtest/gtest.h>

#include "drive_answers.h"

namespace dorvik {
namespace {

using namespace test;

// Page 0x2A with the speed fields the library reads.
Bytes CapabilitiesPage(uint16_t maxRead, uint16_t currentRead, uint16_t selectedWrite) {
  Bytes page(32, 0);
  page[0] = 0x2A;
  page[1] = 30;
  PutBe16(page.data() + 8, maxRead);
  PutBe16(page.data() + 14, currentRead);
  PutBe16(page.data() + 28, selectedWrite);
  return page;
}

// A drive that selects a requested write speed when it is at most top, and
// otherwise keeps showing what it had.
struct SpeedDrive : RecorderOn<FakeTransport> {
  uint16_t selected = 0;
  SpeedDrive(uint16_t profile, uint16_t top, uint16_t initial) : selected(initial) {
    t.SetDefault(0x46, Data(Configuration(profile, {profile})));
    t.responder = [this, top](const RecordedCommand& c) -> std::optional<ScriptedAnswer> {
      if (c.opcode() == 0xBB) {
        const uint16_t w = Be16(c.cdb.data() + 4);
        if (w > top) return Refused();
        selected = w;
        return ScriptedAnswer{};
      }
      if (c.opcode() == 0x5A) return Data(ModeSenseAnswer(CapabilitiesPage(7040, 5632, selected)));
      return std::nullopt;
    };
  }
};

TEST(SetCdSpeed, ReadAndWriteForms) {
  RecorderOn<FakeTransport> d;
  EXPECT_EQ(d.r->SetReadSpeed(0x1234), 0);
  EXPECT_EQ(d.r->SetWriteSpeed(0xABCD), 0);
  ASSERT_EQ(d.t.commands.size(), 2u);
  EXPECT_EQ(d.t.commands[0].cdb, (Bytes{0xBB, 0, 0x12, 0x34, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.t.commands[1].cdb, (Bytes{0xBB, 0, 0, 0, 0xAB, 0xCD, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(d.t.commands[0].direction, DirNone);
  EXPECT_EQ(d.t.commands[1].timeoutMs, 1000u);
}

TEST(SpeedProbe, CdRecorderAcceptingEverySpeed) {
  SpeedDrive d(0x09, 0xFFFF, 1764);
  SpeedReport s;
  ASSERT_EQ(d.r->ReportSpeeds(&s), 0);
  EXPECT_EQ(s.currentRead, 5632);
  EXPECT_EQ(s.currentWrite, 1764);
  EXPECT_EQ(s.maxRead, 7040);
  EXPECT_EQ(s.maxWrite, 8448);
  EXPECT_EQ(s.minWrite, 352);
  std::vector<uint16_t> tried;
  for (const auto& c : d.t.CommandsWith(0xBB)) tried.push_back(Be16(c.cdb.data() + 4));
  EXPECT_EQ(tried, (std::vector<uint16_t>{8448, 7040, 5632, 3520, 2816, 2112, 1408, 704, 352}));
  EXPECT_EQ(d.selected, 352);  // left at 2x
  // Each try is followed by a fresh page read.
  ASSERT_EQ(d.t.commands.size(), 1u + 1u + 18u);
  for (size_t i = 2; i < d.t.commands.size(); i += 2) {
    EXPECT_EQ(d.t.commands[i].opcode(), 0xBB);
    EXPECT_EQ(d.t.commands[i + 1].cdb, (Bytes{0x5A, 0, 0x2A, 0, 0, 0, 0, 0x04, 0x00, 0}));
  }
}

TEST(SpeedProbe, DvdMediumUsesTheDvdUnit) {
  // Selected speed 0 until the drive accepts one: 16x and below.
  SpeedDrive d(0x1A, 22160, 0);
  SpeedReport s;
  ASSERT_EQ(d.r->ReportSpeeds(&s), 0);
  EXPECT_EQ(s.maxWrite, 22160);
  EXPECT_EQ(s.minWrite, 2770);
  auto tries = d.t.CommandsWith(0xBB);
  // 48x of DVD does not fit 16 bits and is not tried.
  ASSERT_EQ(tries.size(), 8u);
  EXPECT_EQ(Be16(tries[0].cdb.data() + 4), 55400);
  EXPECT_EQ(Be16(tries.back().cdb.data() + 4), 2770);

  // A drive that shows a selected speed for every request.
  SpeedDrive any(0x11, 0xFFFF, 2770);
  ASSERT_EQ(any.r->ReportSpeeds(&s), 0);
  EXPECT_EQ(s.maxWrite, 55400);
  EXPECT_EQ(s.minWrite, 2770);
}

TEST(SpeedProbe, NoSelectedSpeedEverGivesZeroAndTenThousand) {
  SpeedDrive d(0x0A, 0, 0);
  SpeedReport s;
  ASSERT_EQ(d.r->ReportSpeeds(&s), 0);
  EXPECT_EQ(s.maxWrite, 0);
  EXPECT_EQ(s.minWrite, 10000);
}

TEST(SpeedProbe, PageThatCannotBeReadEndsItWithoutTouchingLastSense) {
  RecorderOn<FakeTransport> d;
  auto refused = Refused();
  refused.sense.senseKey = 3;
  d.t.Queue(0x5A, refused);
  SpeedReport s;
  EXPECT_EQ(d.r->ReportSpeeds(&s), 1);
  EXPECT_EQ(d.r->LastSense().senseKey, 0);
  EXPECT_TRUE(d.t.CommandsWith(0xBB).empty());

  Bytes wrong = CapabilitiesPage(1, 1, 1);
  wrong[0] = 0x05;
  d.t.Queue(0x5A, Data(ModeSenseAnswer(wrong)));
  EXPECT_EQ(d.r->ReportSpeeds(&s), 1);

  // Block descriptors pushing the page past the answer.
  Bytes beyond = ModeSenseAnswer(CapabilitiesPage(1, 1, 1));
  PutBe16(beyond.data() + 6, 0x0400);
  d.t.Queue(0x5A, Data(beyond));
  EXPECT_EQ(d.r->ReportSpeeds(&s), 1);
}

TEST(HasFeature, FindsListedFeaturesOnly) {
  const Bytes c = Configuration(0x09, {0x09, 0x0A}, {0x0001, 0x002E});
  EXPECT_TRUE(HasFeature(c.data(), static_cast<uint32_t>(c.size()), 0x0000));
  EXPECT_TRUE(HasFeature(c.data(), static_cast<uint32_t>(c.size()), 0x002E));
  EXPECT_FALSE(HasFeature(c.data(), static_cast<uint32_t>(c.size()), 0x002D));
  EXPECT_FALSE(HasFeature(c.data(), 0, 0x0000));

  Bytes empty = c;
  PutBe32(empty.data(), 0);
  EXPECT_FALSE(HasFeature(empty.data(), static_cast<uint32_t>(empty.size()), 0x0000));
  PutBe32(empty.data(), 0x80000000u);  // negative
  EXPECT_FALSE(HasFeature(empty.data(), static_cast<uint32_t>(empty.size()), 0x0000));
}

// Heap buffers of exactly the given length, so ASan sees any overread.
TEST(HasFeature, LengthsRunningPastTheBufferAreNotFollowed) {
  for (uint32_t length : {1u, 7u, 8u, 9u, 11u, 12u, 40u, 300u}) {
    SCOPED_TRACE(length);
    std::vector<uint8_t> b(length, 0xFF);
    if (length >= 4) PutBe32(b.data(), 0x7FFFFFFF);  // claims far more than there is
    EXPECT_FALSE(HasFeature(b.data(), length, 0x002D));
  }
  // Descriptors that step exactly to the end, then claim another.
  Bytes b = Configuration(0x09, {0x09});
  b.resize(16);
  PutBe32(b.data(), 0x1000);
  b[11] = 4;
  EXPECT_FALSE(HasFeature(b.data(), static_cast<uint32_t>(b.size()), 0x002D));
}

TEST(ReadCd, RawAndUserFormsAndTheReadTenFallback) {
  RecorderOn<FakeTransport> d;
  uint8_t buf[2352 * 2];
  d.r->ReadRawSectors(buf, sizeof buf, 2, 0x010203);
  d.t.Queue(0xBE, Refused());
  d.r->ReadUserSectors(buf, 2048, 1, 16);
  ASSERT_EQ(d.t.commands.size(), 3u);
  EXPECT_EQ(d.t.commands[0].cdb, (Bytes{0xBE, 0, 0, 0x01, 0x02, 0x03, 0, 0, 2, 0xF8, 0, 0}));
  EXPECT_EQ(d.t.commands[0].timeoutMs, 60000u);
  EXPECT_EQ(d.t.commands[1].cdb, (Bytes{0xBE, 0, 0, 0, 0, 16, 0, 0, 1, 0x10, 0, 0}));
  EXPECT_EQ(d.t.commands[2].cdb, (Bytes{0x28, 0, 0, 0, 0, 16, 0, 0, 1, 0}));

  // Every field in its place.
  d.t.commands.clear();
  d.r->ReadCd(buf, 2352, 0x0A0B0C, 1, 5, 7, 2, 1, 0, 1, 1, 6);
  EXPECT_EQ(d.t.commands[0].cdb, (Bytes{0xBE, 0x15, 0, 0, 0, 7, 0x0A, 0x0B, 0x0C, 0xAC, 0x06, 0}));
}

}  // namespace
}  // namespace dorvik
