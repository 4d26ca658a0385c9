// Disc and track information: address arithmetic, track records made from
// the TOC, and free space on a drive without track information.
#include <gtest/gtest.h>

#include <cstring>

#include "drive_answers.h"

namespace dorvik {
namespace {

using namespace test;

// One full-TOC descriptor whose PMIN/PSEC/PFRAME hold lba as absolute MSF.
Bytes Point(uint8_t session, uint8_t adrControl, uint8_t point, int32_t lba) {
  const int32_t a = lba + 150;
  return {session, adrControl, 0, point, 0, 0, 0, 0, static_cast<uint8_t>(a / 4500),
          static_cast<uint8_t>(a / 75 % 60), static_cast<uint8_t>(a % 75)};
}
// Points A0/A1 name the session's first and last track in PMIN.
Bytes TrackNumber(uint8_t session, uint8_t point, uint8_t track) {
  return Point(session, 0x14, point, track * 4500 - 150);
}

Bytes FullToc(const std::vector<Bytes>& descriptors) {
  Bytes out = {0, 0, 1, descriptors.back()[0]};
  for (const auto& d : descriptors) out.insert(out.end(), d.begin(), d.end());
  PutBe16(out.data(), static_cast<uint16_t>(out.size() - 2));
  return out;
}

Bytes FormattedToc(uint8_t first, uint8_t last, const std::vector<std::pair<uint8_t, uint32_t>>& tracks) {
  Bytes out = {0, 0, first, last};
  for (auto [number, lba] : tracks) {
    out.insert(out.end(), {0, 0x10, number, 0, 0, 0, 0, 0});
    PutBe32(out.data() + out.size() - 4, lba);
  }
  PutBe16(out.data(), static_cast<uint16_t>(out.size() - 2));
  return out;
}

uint32_t Start(const uint8_t* r) { return Be32(r + 8); }
uint32_t Size(const uint8_t* r) { return Be32(r + 24); }

TEST(MsfToLba, CornerValues) {
  EXPECT_EQ(MsfToLba(0, 0, 2, 0), 0);
  EXPECT_EQ(MsfToLba(0, 0, 0, 0), 0);  // not -150
  EXPECT_EQ(MsfToLba(0, 0, 0, 1), -149);
  EXPECT_EQ(MsfToLba(0, 79, 59, 74), 359849);
  EXPECT_EQ(MsfToLba(0, 89, 59, 74), 404849);
  EXPECT_EQ(MsfToLba(0, 90, 0, 0), -45150);  // lead-in
  EXPECT_EQ(MsfToLba(0, 99, 59, 74), -151);
  EXPECT_EQ(MsfToLba(0, 0xFF, 0xFF, 0xFF), 0xFFFFFF);
  EXPECT_EQ(MsfToLba(7, 0xFF, 0xFF, 0xFF), 0xFFFFFF);
  EXPECT_EQ(MsfToLba(1, 0, 2, 0), 405000);  // the hour byte counts 90 minutes
}

// Two sessions: data track 1 at 0 (lead-out 20000), track 2 at 31500 (lead-out 40000).
TEST(TrackInfoFromToc, MultiSessionFullTocByNumberAndAddress) {
  FakeRecorder d;
  d.t.SetDefault(0x43, Data(FullToc({TrackNumber(1, 0xA0, 1), TrackNumber(1, 0xA1, 1), Point(1, 0x14, 0xA2, 20000),
                                     Point(1, 0x14, 1, 0), Point(1, 0x54, 0xB0, 31350), TrackNumber(2, 0xA0, 2),
                                     TrackNumber(2, 0xA1, 2), Point(2, 0x14, 0xA2, 40000), Point(2, 0x14, 2, 31500)})));
  d.t.Queue(0xBE, Refused());  // track 1's raw read fails: mode 1
  Bytes mode2(2352, 0);        // track 2's header says mode 2
  std::memset(mode2.data() + 1, 0xFF, 10);
  mode2[15] = 2;
  d.t.Queue(0xBE, Data(mode2));
  uint8_t r[36];
  ASSERT_EQ(d.r->TrackInfoFromToc(r, 1, 1), 0);
  EXPECT_EQ(Bytes(r + 2, r + 7), (Bytes{1, 1, 0, 4, 1}));  // track, session, -, control, data mode
  EXPECT_EQ(Start(r), 0u);
  EXPECT_EQ(Size(r), 20000u);  // up to its session's lead-out, not to track 2
  EXPECT_EQ(d.t.CommandsWith(0x43).size(), 2u);
  EXPECT_EQ(d.t.commands[0].cdb, (Bytes{0x43, 0x02, 0x02, 0, 0, 0, 0, 0x08, 0x00, 0x80}));
  EXPECT_EQ(d.t.commands[0].timeoutMs, 60000u);

  ASSERT_EQ(d.r->TrackInfoFromToc(r, 1, 2), 0);
  EXPECT_EQ(Bytes(r + 2, r + 7), (Bytes{2, 2, 0, 4, 2}));
  EXPECT_EQ(Start(r), 31500u);
  EXPECT_EQ(Size(r), 8500u);
  // One whole raw sector at start + 16: sync, headers, user data, EDC.
  EXPECT_EQ(d.t.CommandsWith(0xBE)[1].cdb, (Bytes{0xBE, 0, 0, 0, 0x7B, 0x1C, 0, 0, 1, 0xF8, 0, 0}));

  ASSERT_EQ(d.r->TrackInfoFromToc(r, 0, 25000), 0);
  EXPECT_EQ(r[2], 1);  // the gap between the sessions belongs to track 1
  ASSERT_EQ(d.r->TrackInfoFromToc(r, 0, 1000000), 0);
  EXPECT_EQ(r[2], 2);  // the last track takes every later address
}

TEST(TrackInfoFromToc, FormattedTocWhenTheFullTocIsRefused) {
  FakeRecorder d;
  d.t.Queue(0x43, Refused());
  d.t.SetDefault(0x43, Data(FormattedToc(1, 2, {{1, 0}, {2, 5000}, {0xAA, 12000}})));
  uint8_t r[36];
  ASSERT_EQ(d.r->TrackInfoFromToc(r, 1, 2), 0);
  EXPECT_EQ(Bytes(r + 2, r + 4), (Bytes{2, 1}));  // the formatted TOC knows no sessions
  EXPECT_EQ(Start(r), 5000u);
  EXPECT_EQ(Size(r), 7000u);  // up to the lead-out
  EXPECT_EQ(d.t.CommandsWith(0x43)[1].cdb[2], 0x00);
  d.t.Queue(0x43, Refused());
  ASSERT_EQ(d.r->TrackInfoFromToc(r, 0, 4999), 0);
  EXPECT_EQ(r[2], 1);
  EXPECT_EQ(Size(r), 5000u);  // a track runs to the next one
}

// Bad answers are refused or left unmatched without reading past the
// 2048-byte answer (run under ASan); the record is only touched on a match.
TEST(TrackInfoFromToc, RefusedShortAndOverlongTocs) {
  std::vector<Bytes> points;  // 64 KiB claimed of A0/A1 points naming tracks 1..99, but no track
  for (int i = 0; i < 200; ++i) points.push_back(i % 2 ? TrackNumber(1, 0xA1, 99) : TrackNumber(1, 0xA0, 1));
  Bytes overlongFull = FullToc(points);
  PutBe16(overlongFull.data(), 0xFFFF);
  Bytes overlongFormatted(2048, 0xFF);  // claims 64 KiB of descriptors that never match
  PutBe16(overlongFormatted.data(), 0xFFFF);
  overlongFormatted[2] = 1;
  struct Case {
    const char* name;
    bool fullRefused;
    ScriptedAnswer toc;
    uint32_t track;
    int result;
  };
  const Case cases[] = {
      {"refused", true, Refused(), 1, 1},
      {"zero-length full TOC", false, Data({}), 1, 0},
      {"formatted TOC shorter than its header", true, Data(Bytes(3, 0)), 1, 0},
      {"first track above the last", true, Data(FormattedToc(3, 2, {})), 1, 1},
      {"track beyond the last", true, Data(FormattedToc(1, 1, {{1, 0}, {0xAA, 3000}})), 7, 1},
      {"overlong full TOC", false, Data(overlongFull), 50, 0},
      {"overlong formatted TOC", true, Data(overlongFormatted), 5, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeRecorder d;
    if (c.fullRefused) d.t.Queue(0x43, Refused());
    d.t.SetDefault(0x43, c.toc);
    uint8_t r[36];
    std::memset(r, 0xEE, sizeof r);
    EXPECT_EQ(d.r->TrackInfoFromToc(r, 1, c.track), c.result);
    EXPECT_EQ(r[2], 0xEE);
    d.r->TrackInfoFromToc(r, 0, 12345);
  }
}

// QEMU's two CD-ROMs, measured: ATAPI takes the TOC format from the top bits
// of the last CDB byte and ignores byte 2; scsi-cd does the reverse. Both
// refuse READ TRACK INFORMATION, so a pressed disc's size comes from the
// full TOC, which either must deliver.
TEST(FreeBlocks, PressedCdIsMeasuredFromTheFullTocWhereverTheDriveReadsItsFormat) {
  const Bytes full = FullToc({TrackNumber(1, 0xA0, 1), TrackNumber(1, 0xA1, 1), Point(1, 0x14, 0xA2, 608),
                              Point(1, 0x14, 1, 0)});
  const Bytes formatted = FormattedToc(1, 1, {{1, 0}, {0xAA, 608}});
  for (bool formatInLastByte : {true, false}) {
    SCOPED_TRACE(formatInLastByte ? "ATAPI" : "scsi-cd");
    FakeRecorder d;
    d.t.SetDefault(0x46, Data(Configuration(0x08, {0x10, 0x08})));
    Bytes complete(34, 0);
    PutBe16(complete.data(), 32);
    complete[2] = 0x0E;
    complete[6] = 1;
    d.t.SetDefault(0x51, Data(complete));
    d.t.SetDefault(0x52, Refused());
    d.t.SetDefault(0xBE, Refused());
    // Like QEMU, the drive gives the full TOC's lead-out as a 32-bit LBA
    // unless the MSF bit asks for time.
    Bytes lbaForm = full;
    PutBe32(lbaForm.data() + 4 + 2 * 11 + 7, 608);
    d.t.responder = [&](const RecordedCommand& c) -> std::optional<ScriptedAnswer> {
      if (c.opcode() != 0x43) return std::nullopt;
      const uint8_t format = formatInLastByte ? c.cdb[9] >> 6 : c.cdb[2] & 0x0F;
      if (format != 2) return Data(formatted);
      return Data((c.cdb[1] & 0x02) ? full : lbaForm);
    };
    uint32_t n = 0;
    EXPECT_TRUE(d.r->FreeBlocks(&n));
    EXPECT_EQ(n, 608u);
    int32_t nwa = 7;
    EXPECT_EQ(d.r->NextWritableAddress(&nwa), 1);  // track information refused: reported, not invented
    EXPECT_EQ(nwa, 7);
    EXPECT_EQ(d.r->LastSense().senseKey, 5);
  }
}

TEST(FreeBlocks, DvdThatRefusesTrackInformationIsMeasuredFromTheToc) {
  FakeRecorder d;
  d.t.SetDefault(0x46, Data(Configuration(0x1A, {0x1A})));
  Bytes complete(34, 0);
  complete[2] = 0x02;
  d.t.SetDefault(0x51, Data(complete));
  d.t.SetDefault(0x52, Refused());
  d.t.Queue(0x43, Refused());
  d.t.SetDefault(0x43, Data(FormattedToc(1, 1, {{1, 0}, {0xAA, 2295104}})));
  uint32_t n = 0;
  EXPECT_TRUE(d.r->FreeBlocks(&n));
  EXPECT_EQ(n, 2295104u);
  std::vector<uint8_t> ops;
  for (const auto& c : d.t.commands) ops.push_back(c.opcode());
  EXPECT_EQ(ops, (std::vector<uint8_t>{0x51, 0x46, 0x52, 0x43, 0x43}));  // on DVD, track information first
}

}  // namespace
}  // namespace dorvik
