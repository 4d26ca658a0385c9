// Recording from the host's side: a session on every medium read back, CD sessions and tracks at
// their real addresses, DVD reservations and borders, blanking, formatting, a disc ISO tools read.
#include <gtest/gtest.h>

#include <array>
#include <tuple>

#include "mmc_host.h"
#include "platform/files.h"

namespace dorvik::emulator::test {
namespace {

TEST(Recording, ASessionOnEveryMediumReadsBack) {
  struct Case {
    const char* medium;
    uint16_t profile;
    uint8_t blankStatus, writeType, trackMode, recordedStatus;
    bool sequential;
    uint32_t leadOut;
  };
  for (const Case& c : {Case{"cd-r", 0x09, 0x00, 0x41, 0x04, 0x0E, true, 300},  // a CD track lasts 4 s at least
                        Case{"cd-rw", 0x0A, 0x10, 0x41, 0x04, 0x1E, true, 300},
                        Case{"dvd-r", 0x11, 0x00, 0x40, 0x05, 0x0E, true, 64},
                        Case{"dvd-rw-seq", 0x14, 0x10, 0x40, 0x05, 0x1E, true, 64},
                        Case{"dvd+r", 0x1B, 0x00, 0x42, 0x05, 0x01, true, 64},  // a DVD+R session leaves it appendable
                        Case{"dvd+rw", 0x1A, 0x10, 0x42, 0x04, 0x1E, false, kDvdCapacity},
                        Case{"dvd-ram", 0x12, 0x1E, 0x42, 0x04, 0x1E, false, kDvdRamCapacity},
                        Case{"dvd-rw", 0x13, 0x1E, 0x42, 0x04, 0x1E, false, kDvdCapacity}}) {
    SCOPED_TRACE(c.medium);
    TempFolder dir;
    auto r = NewRecorder(dir / "disc.img", c.medium);
    MmcHost host(r.get());
    EXPECT_EQ(host.Profile(), c.profile);
    EXPECT_EQ(host.DiscInformation().data[2], c.blankStatus);
    if (c.sequential) {
      EXPECT_EQ(host.TrackInformation(1, 1).Slice(6, 10), (Bytes{0x4F, 1, 0, 0, 0, 0, 0, 0, 0, 0}));  // blank, NWA 0
      EXPECT_EQ(host.Toc(0).Sense(), "05/24/00");  // a blank disc has no TOC
    }
    if (c.profile == 0x1A) { ASSERT_TRUE(host.Format(0x26).Good()); }
    ASSERT_TRUE(host.WriteParameters(c.writeType, c.trackMode).Good());
    ASSERT_TRUE(WriteBlocks(host, 0, 64, 1));
    if (c.sequential) {
      EXPECT_EQ(host.Write10(80, Pattern(80, 1, 0)).Sense(), "05/21/02");  // only at the NWA
      ASSERT_TRUE(host.Synchronize().Good());
      ASSERT_TRUE(host.Close(1, 1).Good() && host.Close(2).Good());
    }
    EXPECT_EQ(host.DiscInformation().data[2], c.recordedStatus);

    EXPECT_EQ(host.Read10(0, 64).data, Pattern(0, 64, 1));
    auto cooked = host.ReadCd(16, 16, 0x10, 0, 16 * 2048);  // user data only
    if (c.profile < 0x10) EXPECT_EQ(cooked.data, Pattern(16, 16, 1));
    else EXPECT_EQ(cooked.Sense(), "05/64/00");  // no READ CD of a DVD
    const auto control = static_cast<uint8_t>(0x10 | c.trackMode);  // ADR 1, the track's mode
    auto toc = host.Toc(0);  // track 1 at 0, then the lead-out
    EXPECT_EQ(toc.Slice(0, 16), (Bytes{0, 18, 1, 1, 0, control, 1, 0, 0, 0, 0, 0, 0, control, 0xAA, 0}));
    EXPECT_EQ(toc.U32(16), c.leadOut);
    EXPECT_EQ(host.Toc(1).Slice(0, 12), (Bytes{0, 10, 1, 1, 0, control, 1, 0, 0, 0, 0, 0}));
    EXPECT_EQ(host.Toc(2).Good(), c.profile < 0x10);  // the full TOC is a CD's
  }
}

TEST(Recording, CdSessionsAppendAfterLeadOutLeadInAndPregap) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  auto blank = host.DiscInformation();
  EXPECT_EQ(blank.Slice(17, 3), (Bytes{97, 26, 66}));  // the lead-in the ATIP announces
  EXPECT_EQ(MsfToLba(blank.data.data() + 21), kCdCapacity);
  ASSERT_TRUE(host.WriteParameters(0x51, 0x04).Good());  // a test write records nothing
  ASSERT_TRUE(WriteBlocks(host, 0, 48, 1));
  EXPECT_EQ(host.Write10(0, Pattern(0, 1, 0)).Sense(), "05/21/02");  // the simulated NWA moved on
  ASSERT_TRUE(host.Close(1, 1).Good() && host.Close(2).Good());
  EXPECT_EQ(host.DiscInformation().data[2], 0x00);
  EXPECT_EQ(platform::Stat(dir / "disc.img").size, 0u);
  ASSERT_TRUE(host.WriteParameters(0x41, 0xC4).Good());  // TAO, BUFE, next session allowed, data track

  ASSERT_TRUE(WriteBlocks(host, 0, 300, 1));
  EXPECT_EQ(host.TrackInformation(1, 0xFF).U32(12), 300u);
  ASSERT_TRUE(host.Close(1, 1).Good() && host.Close(2).Good());
  auto info = host.DiscInformation();
  EXPECT_EQ(info.Slice(2, 5), (Bytes{0x01, 1, 2, 2, 2}));  // appendable, last session empty; sessions, tracks
  EXPECT_EQ(MsfToLba(info.data.data() + 17), 11700u - 150 - 4500);
  // First lead-out 6750, lead-in 4500, pregap 150.
  auto next = host.TrackInformation(1, 0xFF);
  EXPECT_EQ(next.Slice(2, 2), (Bytes{2, 2}));
  EXPECT_EQ(next.U32(8), 300u + 11400u);
  EXPECT_EQ(next.U32(12), 11700u);

  ASSERT_TRUE(WriteBlocks(host, 11700, 300, 2));
  EXPECT_EQ(host.Close(1, 1).Sense(), "05/24/00");  // not the open track
  ASSERT_TRUE(host.Close(1, 2).Good() && host.Close(2).Good());
  EXPECT_EQ(host.TrackInformation(1, 0xFF).U32(8), 12000u + 6900u);  // later lead-outs are 2250 long
  // Session 3 holds two tracks: the second follows a run-out of 2 and a pregap.
  ASSERT_TRUE(WriteBlocks(host, 18900, 320, 3));
  ASSERT_TRUE(host.Close(1, 3).Good());
  auto second = host.TrackInformation(1, 0xFF);
  EXPECT_EQ(second.Slice(2, 2), (Bytes{4, 3}));
  EXPECT_EQ(second.U32(8), 19220u + 2u + 150u);
  ASSERT_TRUE(WriteBlocks(host, 19372, 300, 4));
  ASSERT_TRUE(host.WriteParameters(0x41, 0x04).Good());  // no next session: the disc is closed
  ASSERT_TRUE(host.Close(1, 4).Good() && host.Close(2).Good());
  info = host.DiscInformation();
  EXPECT_EQ(info.Slice(2, 5), (Bytes{0x0E, 1, 3, 3, 4}));
  EXPECT_EQ(info.data[20], 0xFF);
  EXPECT_EQ(host.Write10(19672, Pattern(19672, 1, 0)).Sense(), "05/21/02");
  EXPECT_EQ(host.TrackInformation(1, 3).data[7] & 0x01, 0);  // a closed track has no NWA
  EXPECT_EQ(host.TrackInformation(1, 3).U32(24), 320u);
  EXPECT_EQ(host.TrackInformation(0, 11750).data[2], 2);

  auto toc = host.Toc(0);
  EXPECT_EQ(toc.Slice(0, 4), (Bytes{0, 42, 1, 4}));
  EXPECT_EQ(toc.U32(16), 11700u);
  EXPECT_EQ(toc.U32(24), 18900u);
  EXPECT_EQ(toc.U32(32), 19372u);
  EXPECT_EQ(toc.U32(40), 19672u);
  EXPECT_EQ(MsfToLba(host.Toc(0, true).data.data() + 4 + 8 + 5), 11700u);
  auto sessions = host.Toc(1);
  EXPECT_EQ(sessions.Slice(2, 5), (Bytes{1, 3, 0, 0x14, 3}));
  EXPECT_EQ(sessions.U32(8), 18900u);

  // Full TOC: A0, A1, A2, the track, and B0 for each session that allowed another.
  auto full = host.Toc(2);
  std::vector<std::pair<int, int>> points;  // session, point
  for (size_t i = 0; i < (full.U16(0) - 2u) / 11; ++i) {
    const uint8_t* d = full.data.data() + 4 + 11 * i;
    points.emplace_back(d[0], d[3]);
    if (d[3] == 0xA0) { EXPECT_EQ(d[8], d[0]); }                  // first track
    if (d[3] == 0xA1) { EXPECT_EQ(d[8], d[0] == 3 ? 4 : d[0]); }  // last track
    if (d[3] == 0xA2) { EXPECT_EQ(MsfToLba(d + 8), (std::array<uint32_t, 3>{300, 12000, 19672}[d[0] - 1])); }
    if (d[3] == 2) { EXPECT_EQ(MsfToLba(d + 8), 11700u); }
    if (d[3] == 0xB0 && d[0] == 1) {
      EXPECT_EQ(d[1] >> 4, 5);
      EXPECT_EQ(MsfToLba(d + 4), 11700u - 150u);
      EXPECT_EQ(MsfToLba(d + 8), kCdCapacity);
    }
  }
  const std::vector<std::pair<int, int>> expected = {{1, 0xA0}, {1, 0xA1}, {1, 0xA2}, {1, 1}, {1, 0xB0},
                                                     {2, 0xA0}, {2, 0xA1}, {2, 0xA2}, {2, 2}, {2, 0xB0},
                                                     {3, 0xA0}, {3, 0xA1}, {3, 0xA2}, {3, 3}, {3, 4}};
  EXPECT_EQ(points, expected);

  EXPECT_EQ(host.Read10(0, 300).data, Pattern(0, 300, 1));
  EXPECT_EQ(host.Read10(11700, 300).data, Pattern(11700, 300, 2));
  EXPECT_EQ(host.Read10(18900, 320).data, Pattern(18900, 320, 3));
  EXPECT_EQ(host.Read10(19372, 300).data, Pattern(19372, 300, 4));
  EXPECT_EQ(host.Read10(290, 20).Sense(), "05/21/00");  // the gap between sessions
}

TEST(Recording, RefusedWriteParametersLeaveThePreviousPage) {
  for (const auto& [medium, b2, b3, b4] : {std::tuple{"cd-r", 0x41, 0x00, 0x08},  // Mode 1 blocks in an audio track
                                           {"cd-r", 0x41, 0x84, 0x08},            // multisession 10b
                                           {"cd-r", 0x41, 0x04, 0x05},            // reserved block type
                                           {"cd-r", 0x41, 0x04, 0x0A},            // Mode 2 blocks are not recorded
                                           {"dvd-r", 0x41, 0x05, 0x08}}) {        // no track-at-once on DVD
    SCOPED_TRACE(::testing::Message() << medium << std::hex << " " << b2 << " " << b3 << " " << b4);
    TempFolder dir;
    auto r = NewRecorder(dir / "disc.img", medium);
    MmcHost host(r.get());
    ASSERT_TRUE(host.WriteParameters(0x42, 0x04).Good());
    EXPECT_EQ(host.WriteParameters(b2, b3, b4).Sense(), "05/26/00");
    EXPECT_EQ(host.ModeSense(0x05).data[10], 0x42);
  }
}

TEST(Recording, DvdMinusRDiscAtOnceClosesItselfWhenTheReservationIsFilled) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "dvd-r");
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x42, 0x05).Good());
  EXPECT_EQ(host.Write10(0, Pattern(0, 1, 0)).Sense(), "05/2C/00");  // disc-at-once needs a reservation
  EXPECT_EQ(host.Reserve(kDvdCapacity + 1).Sense(), "05/24/00");
  ASSERT_TRUE(host.Reserve(100).Good());
  auto reserved = host.TrackInformation(1, 1);
  EXPECT_EQ(reserved.data[6] & 0x80, 0x80);
  EXPECT_EQ(reserved.U32(24), 100u);                // exactly what was asked
  EXPECT_EQ(host.Reserve(16).Sense(), "05/2C/00");  // one open reservation at a time
  ASSERT_TRUE(WriteBlocks(host, 0, 100, 5));
  EXPECT_EQ(host.Write10(100, Pattern(100, 1, 0)).Sense(), "05/21/00");  // beyond the reservation
  EXPECT_EQ(host.DiscInformation().data[2] & 0x03, 1);  // open until the cache is flushed
  ASSERT_TRUE(host.Synchronize(true).Good());
  host.WaitReady();
  EXPECT_EQ(host.DiscInformation().data[2], 0x0E);
  EXPECT_EQ(host.Toc(0).U32(16), 100u);
  EXPECT_EQ(host.Read10(0, 100).data, Pattern(0, 100, 5));
}

TEST(Recording, DvdMinusRIncrementalBorders) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "dvd-r");
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x50, 0xC5).Good());  // a test write records nothing
  ASSERT_TRUE(WriteBlocks(host, 0, 40, 1));
  ASSERT_TRUE(host.Close(1, 1).Good() && host.Close(2).Good());
  EXPECT_EQ(host.DiscInformation().data[2] & 0x03, 0);
  ASSERT_TRUE(host.WriteParameters(0x40, 0xC5).Good());
  ASSERT_TRUE(WriteBlocks(host, 0, 40, 1));
  ASSERT_TRUE(host.Close(1, 1).Good() && host.Close(2).Good());
  EXPECT_EQ(host.DiscInformation().data[4], 2);
  EXPECT_EQ(host.TrackInformation(1, 2).U32(8), 48u + 16384u);  // ECC-aligned, after the first border
  ASSERT_TRUE(WriteBlocks(host, 16432, 20, 2));
  ASSERT_TRUE(host.WriteParameters(0x40, 0x05).Good());
  ASSERT_TRUE(host.Close(1, 2).Good() && host.Close(2).Good());
  EXPECT_EQ(host.DiscInformation().data[2] & 0x03, 2);
  EXPECT_EQ(host.Toc(1).U32(8), 16432u);
  EXPECT_EQ(host.Read10(16432, 20).data, Pattern(16432, 20, 2));
}

TEST(Recording, BlankingAndFormatting) {
  TempFolder dir;
  auto r = NewRecorder(dir / "rw.img", "cd-rw");
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x41, 0xC4).Good());
  ASSERT_TRUE(WriteBlocks(host, 0, 64, 1));
  ASSERT_TRUE(host.Close(1, 1).Good() && host.Close(2).Good());
  EXPECT_EQ(host.Blank(7).Sense(), "05/24/00");
  ASSERT_TRUE(host.Blank(1, true).Good());
  host.WaitReady();
  EXPECT_EQ(host.DiscInformation().data[2], 0x10);
  EXPECT_EQ(host.TrackInformation(1, 0xFF).U32(12), 0u);
  EXPECT_EQ(host.Read10(0, 1).Sense(), "05/21/00");
  EXPECT_EQ(host.Toc(0).Sense(), "05/24/00");
  auto cdr = NewRecorder(dir / "r.img", "cd-r");
  EXPECT_EQ(MmcHost(cdr.get()).Blank(1).Sense(), "05/30/05");  // a CD-R cannot be blanked

  auto plus = NewRecorder(dir / "plus.img", "dvd+rw");
  MmcHost plusHost(plus.get());
  EXPECT_EQ(plusHost.Format(0x10).Sense(), "05/26/00");  // not a DVD+RW format
  ASSERT_TRUE(plusHost.Format(0x26, true).Good());
  auto busy = plusHost.TestUnitReady();
  if (!busy.Good()) {  // formatting, with its progress
    EXPECT_EQ(busy.Sense(), "02/04/04");
    EXPECT_EQ(busy.sense[15] & 0x80, 0x80);
  }
  plusHost.WaitReady();
  EXPECT_EQ(plusHost.DiscInformation().data[7] & 0x03, 0x03);  // background format complete
  ASSERT_TRUE(WriteBlocks(plusHost, 1000, 32, 1));
  ASSERT_TRUE(WriteBlocks(plusHost, 1016, 16, 3));  // overwrite anywhere
  auto expected = Pattern(1000, 16, 1), middle = Pattern(1016, 16, 3);
  expected.insert(expected.end(), middle.begin(), middle.end());
  EXPECT_EQ(plusHost.Read10(1000, 32).data, expected);
  EXPECT_EQ(plusHost.Write10(kDvdCapacity - 1, Pattern(0, 2, 0)).Sense(), "05/21/00");

  auto minus = NewRecorder(dir / "minus.img", "dvd-rw");
  MmcHost minusHost(minus.get());
  ASSERT_TRUE(minusHost.Blank(1).Good());
  EXPECT_EQ(minusHost.Profile(), 0x14);  // blanking leaves a sequential DVD-RW
  ASSERT_TRUE(minusHost.Format(0x15).Good());  // quick format back to restricted overwrite
  EXPECT_EQ(minusHost.Profile(), 0x13);
}

TEST(Recording, IsoImageWrittenToDiscReadsWithIsoTools) {
  for (const char* tool : {"genisoimage", "xorriso", "isoinfo"}) DORVIK_REQUIRE_TOOL(tool);
  TempFolder dir;
  ASSERT_EQ(dorvik::test::RunCommand("mkdir -p " + dir / "tree/sub && echo hello > " + dir / "tree/sub/greeting.txt" +
                                     " && genisoimage -quiet -J -R -V FIRST -o " + dir / "first.iso " + dir / "tree"),
            0);
  platform::LargeFile iso(dir / "first.iso", platform::LargeFile::Mode::Read);
  Bytes image((iso.Length() + 2047) / 2048 * 2048, 0);
  iso.Read(image.data(), iso.Length());
  const std::string disc = dir / "disc.img";
  {
    auto r = NewRecorder(disc, "cd-r");
    MmcHost host(r.get());
    ASSERT_TRUE(host.WriteParameters(0x41, 0xC4).Good());
    for (size_t at = 0; at < image.size(); at += 16 * 2048)
      ASSERT_TRUE(host.Write10(at / 2048, {image.begin() + at, image.begin() + std::min(image.size(), at + 16 * 2048)})
                      .Good());
    ASSERT_TRUE(host.Close(1, 1).Good() && host.Close(2).Good());
  }
  std::string out;
  EXPECT_EQ(dorvik::test::RunCommand("xorriso -indev " + disc + " -find / -type f", &out), 0) << out;
  EXPECT_NE(out.find("/sub/greeting.txt"), std::string::npos) << out;
  EXPECT_EQ(dorvik::test::RunCommand("isoinfo -i " + disc + " -d", &out), 0) << out;
  EXPECT_NE(out.find("FIRST"), std::string::npos) << out;
  EXPECT_EQ(dorvik::test::RunCommand("isoinfo -i " + disc + " -J -x /sub/greeting.txt", &out), 0);
  EXPECT_EQ(out, "hello\n");
}

}  // namespace
}  // namespace dorvik::emulator::test
