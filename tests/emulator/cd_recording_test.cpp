// CD-R and CD-RW from the host's side: track-at-once sessions, appended
// sessions at their real addresses, the TOC forms, blanking, and a disc
// that ordinary ISO tools can read.
#include <gtest/gtest.h>

#include "mmc_host.h"
#include "platform/files.h"
#include "platform/sleep.h"
#include "support/library_fixture.h"

namespace dorvik::emulator::test {
namespace {

using dorvik::test::TempFolder;

uint32_t MsfToLba(const uint8_t* msf) { return (msf[0] * 60u + msf[1]) * 75u + msf[2] - 150u; }

void WriteTrack(MmcHost& host, uint32_t start, uint32_t blocks, uint8_t seed) {
  for (uint32_t done = 0; done < blocks; done += 16) {
    const uint32_t n = std::min<uint32_t>(16, blocks - done);
    auto a = host.Write10(start + done, Pattern(start + done, n, seed));
    ASSERT_TRUE(a.Good()) << "at " << start + done << ": " << a.Sense();
  }
}

TEST(CdRecording, BlankCdRLooksLikeAnEmptyEightyMinuteDisc) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  EXPECT_TRUE(host.TestUnitReady().Good());
  auto config = host.GetConfiguration();
  ASSERT_TRUE(config.Good());
  EXPECT_EQ(Be16(config.data.data() + 6), 0x0009);

  auto info = host.DiscInformation();
  ASSERT_TRUE(info.Good());
  EXPECT_EQ(info.data[2], 0x00);  // empty, last session empty, not erasable
  EXPECT_EQ(info.data[4], 1);
  EXPECT_EQ(info.data[5], 1);
  EXPECT_EQ(info.data[6], 1);
  EXPECT_EQ(MsfToLba(info.data.data() + 21), 359849u);

  auto track = host.TrackInformation(1, 0xFF);
  ASSERT_TRUE(track.Good());
  EXPECT_EQ(track.data[2], 1);
  EXPECT_EQ(track.data[6] & 0x40, 0x40);  // blank
  EXPECT_EQ(track.data[7] & 0x01, 0x01);  // NWA valid
  EXPECT_EQ(Be32(track.data.data() + 12), 0u);
  EXPECT_EQ(Be32(track.data.data() + 16), 359849u);

  EXPECT_EQ(host.Toc(0).Sense(), "05/24/00");  // a blank disc has no TOC
  EXPECT_EQ(host.Read10(0, 1).Sense(), "05/21/00");
}

TEST(CdRecording, SessionsAppendAfterLeadOutLeadInAndPregap) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x41, 0xC4).Good());  // TAO, BUFE, next session allowed, data track

  // Session 1: one track of 300 blocks.
  WriteTrack(host, 0, 300, 1);
  EXPECT_EQ(host.Write10(400, Pattern(400, 1, 0)).Sense(), "05/21/02");  // not the NWA
  auto incomplete = host.TrackInformation(1, 0xFF);
  EXPECT_EQ(incomplete.data[2], 1);
  EXPECT_EQ(Be32(incomplete.data.data() + 12), 300u);
  ASSERT_TRUE(host.Synchronize().Good());
  ASSERT_TRUE(host.Close(1, 1).Good());
  ASSERT_TRUE(host.Close(2).Good());

  auto info = host.DiscInformation();
  EXPECT_EQ(info.data[2] & 0x03, 1);         // incomplete (appendable)
  EXPECT_EQ((info.data[2] >> 2) & 0x03, 0);  // last session empty
  EXPECT_EQ(info.data[4], 2);
  EXPECT_EQ(info.data[5], 2);
  EXPECT_EQ(info.data[6], 2);
  // First lead-out 6750, lead-in 4500, pregap 150.
  auto next = host.TrackInformation(1, 0xFF);
  EXPECT_EQ(next.data[2], 2);
  EXPECT_EQ(next.data[3], 2);
  EXPECT_EQ(Be32(next.data.data() + 8), 300u + 11400u);
  EXPECT_EQ(Be32(next.data.data() + 12), 11700u);

  // Session 2 appended; a wrong track number is refused when closing.
  WriteTrack(host, 11700, 100, 2);
  EXPECT_EQ(host.Close(1, 1).Sense(), "05/24/00");
  ASSERT_TRUE(host.Close(1, 2).Good());
  ASSERT_TRUE(host.Close(2).Good());
  // Session 3: later lead-outs are 2250 long.
  auto third = host.TrackInformation(1, 0xFF);
  EXPECT_EQ(Be32(third.data.data() + 8), 11800u + 6900u);
  WriteTrack(host, 18700, 50, 3);
  ASSERT_TRUE(host.WriteParameters(0x41, 0x04).Good());  // no next session: the disc is closed
  ASSERT_TRUE(host.Close(2).Good());

  info = host.DiscInformation();
  EXPECT_EQ(info.data[2] & 0x03, 2);
  EXPECT_EQ((info.data[2] >> 2) & 0x03, 3);
  EXPECT_EQ(info.data[4], 3);
  EXPECT_EQ(info.data[20], 0xFF);
  EXPECT_EQ(host.Write10(18750, Pattern(18750, 1, 0)).Sense(), "05/21/02");

  // Formatted TOC: three tracks and the last session's lead-out.
  auto toc = host.Toc(0);
  ASSERT_TRUE(toc.Good());
  EXPECT_EQ(Be16(toc.data.data()), 2 + 4 * 8);
  EXPECT_EQ(toc.data[2], 1);
  EXPECT_EQ(toc.data[3], 3);
  EXPECT_EQ(toc.data[5], 0x14);
  EXPECT_EQ(Be32(toc.data.data() + 8), 0u);
  EXPECT_EQ(Be32(toc.data.data() + 16), 11700u);
  EXPECT_EQ(Be32(toc.data.data() + 24), 18700u);
  EXPECT_EQ(toc.data[4 + 3 * 8 + 2], 0xAA);
  EXPECT_EQ(Be32(toc.data.data() + 4 + 3 * 8 + 4), 18750u);
  auto tocMsf = host.Toc(0, 0, true);
  EXPECT_EQ(MsfToLba(tocMsf.data.data() + 4 + 8 + 5), 11700u);

  // Session information: the last session starts with track 3.
  auto sessions = host.Toc(1);
  ASSERT_TRUE(sessions.Good());
  EXPECT_EQ(sessions.data[3], 3);
  EXPECT_EQ(sessions.data[6], 3);
  EXPECT_EQ(Be32(sessions.data.data() + 8), 18700u);

  // Full TOC: A0, A1, A2, the track and B0 for the sessions that allowed
  // another; none after the closing one.
  auto full = host.Toc(2);
  ASSERT_TRUE(full.Good());
  const size_t count = (Be16(full.data.data()) - 2) / 11;
  std::vector<std::pair<int, int>> points;  // session, point
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* d = full.data.data() + 4 + 11 * i;
    points.emplace_back(d[0], d[3]);
    if (d[3] == 0xA0 || d[3] == 0xA1) { EXPECT_EQ(d[8], d[0]) << "session " << int(d[0]); }
    if (d[3] == 0xA2 && d[0] == 1) { EXPECT_EQ(MsfToLba(d + 8), 300u); }
    if (d[3] == 0xA2 && d[0] == 2) { EXPECT_EQ(MsfToLba(d + 8), 11800u); }
    if (d[3] == 2) { EXPECT_EQ(MsfToLba(d + 8), 11700u); }
    if (d[3] == 0xB0 && d[0] == 1) {
      EXPECT_EQ(d[1] >> 4, 5);
      EXPECT_EQ(MsfToLba(d + 4), 11700u - 150u);
      EXPECT_EQ(MsfToLba(d + 8), 359849u);
    }
  }
  std::vector<std::pair<int, int>> expected = {{1, 0xA0}, {1, 0xA1}, {1, 0xA2}, {1, 1}, {1, 0xB0},
                                               {2, 0xA0}, {2, 0xA1}, {2, 0xA2}, {2, 2}, {2, 0xB0},
                                               {3, 0xA0}, {3, 0xA1}, {3, 0xA2}, {3, 3}};
  EXPECT_EQ(points, expected);

  // Every session's data reads back; the gaps between them do not.
  auto first = host.Read10(0, 300);
  ASSERT_TRUE(first.Good());
  EXPECT_EQ(first.data, Pattern(0, 300, 1));
  EXPECT_EQ(host.Read10(11700, 100).data, Pattern(11700, 100, 2));
  EXPECT_EQ(host.Read10(18700, 50).data, Pattern(18700, 50, 3));
  EXPECT_EQ(host.Read10(300, 1).Sense(), "05/21/00");
  EXPECT_EQ(host.Read10(290, 20).Sense(), "05/21/00");
}

TEST(CdRecording, SecondTrackInASessionFollowsRunOutAndPregap) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x41, 0x04).Good());
  WriteTrack(host, 0, 32, 1);
  ASSERT_TRUE(host.Close(1, 1).Good());
  auto next = host.TrackInformation(1, 0xFF);
  EXPECT_EQ(next.data[2], 2);
  EXPECT_EQ(next.data[3], 1);
  EXPECT_EQ(Be32(next.data.data() + 8), 32u + 2u + 150u);
  WriteTrack(host, 184, 16, 2);
  ASSERT_TRUE(host.Close(2).Good());
  auto toc = host.Toc(0);
  EXPECT_EQ(toc.data[3], 2);
  EXPECT_EQ(Be32(toc.data.data() + 16), 184u);
  auto t1 = host.TrackInformation(1, 1);
  EXPECT_EQ(Be32(t1.data.data() + 24), 32u);
  EXPECT_EQ(t1.data[7] & 0x01, 0);  // a closed track has no NWA
  auto byAddress = host.TrackInformation(0, 190);
  EXPECT_EQ(byAddress.data[2], 2);
}

TEST(CdRecording, WriteTypesNeedWhatARealDriveNeeds) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  // Session-at-once without a cue sheet is out of sequence.
  ASSERT_TRUE(host.WriteParameters(0x42, 0x04).Good());
  EXPECT_EQ(host.Write10(0, Pattern(0, 1, 0)).Sense(), "05/2C/00");
  // Mode 1 blocks in an audio track, reserved block types, multisession 10b.
  EXPECT_EQ(host.WriteParameters(0x41, 0x00, 0x08).Sense(), "05/26/00");
  EXPECT_EQ(host.WriteParameters(0x41, 0x04, 0x05).Sense(), "05/26/00");
  EXPECT_EQ(host.WriteParameters(0x41, 0x84).Sense(), "05/26/00");
  EXPECT_EQ(host.WriteParameters(0x41, 0x04, 0x08, 0x30).Sense(), "05/26/00");
  // A drive without CD Mastering refuses session-at-once outright.
  RecorderOptions taoOnly;
  taoOnly.mastering = false;
  auto r2 = NewRecorder(dir / "tao.img", "cd-r", taoOnly);
  MmcHost host2(r2.get());
  EXPECT_EQ(host2.WriteParameters(0x42, 0x04).Sense(), "05/26/00");
  EXPECT_TRUE(host2.WriteParameters(0x41, 0x04).Good());
}

TEST(CdRecording, TestWriteLeavesTheDiscBlank) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x51, 0x04).Good());  // TAO + test write
  WriteTrack(host, 0, 48, 1);
  EXPECT_EQ(host.Write10(0, Pattern(0, 1, 0)).Sense(), "05/21/02");  // simulated NWA moved on
  ASSERT_TRUE(host.Synchronize().Good());
  ASSERT_TRUE(host.Close(1, 1).Good());
  ASSERT_TRUE(host.Close(2).Good());
  EXPECT_EQ(host.DiscInformation().data[2] & 0x03, 0);
  EXPECT_EQ(Be32(host.TrackInformation(1, 0xFF).data.data() + 12), 0u);
  EXPECT_EQ(platform::Stat(dir / "disc.img").size, 0u);
}

TEST(CdRecording, CdRwBlanksBackToEmpty) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-rw");
  MmcHost host(r.get());
  EXPECT_EQ(host.DiscInformation().data[2], 0x10);  // empty and erasable
  ASSERT_TRUE(host.WriteParameters(0x41, 0x04).Good());
  WriteTrack(host, 0, 64, 1);
  ASSERT_TRUE(host.Close(1, 1).Good());
  ASSERT_TRUE(host.Close(2).Good());
  EXPECT_EQ(host.DiscInformation().data[2], 0x10 | 0x0C | 0x02);
  EXPECT_EQ(host.Blank(7).Sense(), "05/24/00");
  ASSERT_TRUE(host.Blank(1, true).Good());
  // Busy while blanking, then an empty disc again.
  auto busy = host.TestUnitReady();
  if (!busy.Good()) {
    EXPECT_EQ(busy.Sense(), "02/04/07");
    EXPECT_EQ(host.DiscInformation().Sense(), "02/04/07");
  }
  for (int i = 0; i < 2000 && !host.TestUnitReady().Good(); ++i) platform::Sleep(1);
  EXPECT_TRUE(host.TestUnitReady().Good());
  EXPECT_EQ(host.DiscInformation().data[2], 0x10);
  EXPECT_EQ(host.Read10(0, 1).Sense(), "05/21/00");
  // A CD-R cannot be blanked.
  auto cdr = NewRecorder(dir / "r.img", "cd-r");
  EXPECT_EQ(MmcHost(cdr.get()).Blank(1).Sense(), "05/30/05");
}

TEST(CdRecording, IsoImageWrittenToDiscReadsWithIsoTools) {
  DORVIK_REQUIRE_TOOL("genisoimage");
  DORVIK_REQUIRE_TOOL("xorriso");
  DORVIK_REQUIRE_TOOL("isoinfo");
  TempFolder dir;
  ASSERT_EQ(dorvik::test::RunCommand("mkdir -p " + dir / "tree/sub" + " && echo hello > " + dir / "tree/sub/greeting.txt" +
                                     " && genisoimage -quiet -J -R -V FIRST -o " + dir / "first.iso " + dir / "tree"),
            0);
  std::vector<uint8_t> image;
  {
    platform::LargeFile f(dir / "first.iso", platform::LargeFile::Mode::Read);
    image.resize(f.Length());
    f.Read(image.data(), image.size());
  }
  image.resize((image.size() + 2047) / 2048 * 2048, 0);
  const std::string disc = dir / "disc.img";
  {
    auto r = NewRecorder(disc, "cd-r");
    MmcHost host(r.get());
    ASSERT_TRUE(host.WriteParameters(0x41, 0xC4).Good());
    for (size_t at = 0; at < image.size(); at += 16 * 2048) {
      const size_t n = std::min<size_t>(16 * 2048, image.size() - at);
      std::vector<uint8_t> chunk(image.begin() + at, image.begin() + at + n);
      ASSERT_TRUE(host.Write10(static_cast<uint32_t>(at / 2048), chunk).Good());
    }
    ASSERT_TRUE(host.Close(1, 1).Good());
    ASSERT_TRUE(host.Close(2).Good());
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
