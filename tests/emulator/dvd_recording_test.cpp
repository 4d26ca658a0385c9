// DVD media from the host's side: disc-at-once and incremental DVD-R,
// DVD+R sessions, formatting and overwriting DVD+RW, DVD-RAM and both
// DVD-RW modes.
#include <gtest/gtest.h>

#include "mmc_host.h"
#include "platform/sleep.h"
#include "support/library_fixture.h"

namespace dorvik::emulator::test {
namespace {

using dorvik::test::TempFolder;

void WaitReady(MmcHost& host) {
  for (int i = 0; i < 5000 && !host.TestUnitReady().Good(); ++i) platform::Sleep(1);
  ASSERT_TRUE(host.TestUnitReady().Good());
}

void WriteBlocks(MmcHost& host, uint32_t start, uint32_t blocks, uint8_t seed) {
  for (uint32_t done = 0; done < blocks; done += 32) {
    const uint32_t n = std::min<uint32_t>(32, blocks - done);
    auto a = host.Write10(start + done, Pattern(start + done, n, seed));
    ASSERT_TRUE(a.Good()) << "at " << start + done << ": " << a.Sense();
  }
}

uint16_t Profile(MmcHost& host) { return Be16(host.GetConfiguration(0, 0, 8).data.data() + 6); }

TEST(DvdRecording, DvdMinusRDiscAtOnceClosesItselfWhenTheReservationIsFilled) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "dvd-r");
  MmcHost host(r.get());
  EXPECT_EQ(Profile(host), 0x11);
  EXPECT_EQ(host.WriteParameters(0x41, 0x05).Sense(), "05/26/00");  // no track-at-once on DVD
  ASSERT_TRUE(host.WriteParameters(0x42, 0x05).Good());
  EXPECT_EQ(host.Write10(0, Pattern(0, 1, 0)).Sense(), "05/2C/00");  // disc-at-once needs a reservation
  EXPECT_EQ(host.Reserve(kDvdCapacity + 1).Sense(), "05/24/00");
  ASSERT_TRUE(host.Reserve(100).Good());
  auto reserved = host.TrackInformation(1, 1);
  EXPECT_EQ(reserved.data[6] & 0x80, 0x80);
  EXPECT_EQ(Be32(reserved.data.data() + 24), 112u);  // whole ECC blocks
  EXPECT_EQ(Be32(reserved.data.data() + 12), 0u);
  EXPECT_EQ(host.Reserve(16).Sense(), "05/2C/00");  // one open reservation at a time
  ASSERT_TRUE(host.Synchronize().Good());
  EXPECT_EQ(host.DiscInformation().data[2] & 0x03, 1);  // still open

  WriteBlocks(host, 0, 112, 5);
  EXPECT_EQ(host.Write10(112, Pattern(112, 1, 0)).Sense(), "05/2C/00");  // nothing reserved there
  ASSERT_TRUE(host.Synchronize(true).Good());
  auto busy = host.TestUnitReady();
  if (!busy.Good()) {
    EXPECT_EQ(busy.Sense(), "02/04/08");
  }
  WaitReady(host);
  auto info = host.DiscInformation();
  EXPECT_EQ(info.data[2], 0x0E);  // complete disc, complete session, not erasable
  auto toc = host.Toc(0);
  ASSERT_TRUE(toc.Good());
  EXPECT_EQ(toc.data[3], 1);
  EXPECT_EQ(Be32(toc.data.data() + 12 + 4), 112u);
  EXPECT_EQ(host.Toc(2).Sense(), "05/24/00");  // no full TOC on DVD
  EXPECT_EQ(host.Read10(0, 112).data, Pattern(0, 112, 5));
}

TEST(DvdRecording, DvdMinusRIncrementalBordersAndTestWrite) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "dvd-r");
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x50, 0xC5).Good());  // incremental, test write
  WriteBlocks(host, 0, 40, 1);
  ASSERT_TRUE(host.Close(2).Good());
  EXPECT_EQ(host.DiscInformation().data[2] & 0x03, 0);  // a simulation records nothing

  ASSERT_TRUE(host.WriteParameters(0x40, 0xC5).Good());
  WriteBlocks(host, 0, 40, 1);
  ASSERT_TRUE(host.Close(1, 1).Good());
  ASSERT_TRUE(host.Close(2).Good());
  auto info = host.DiscInformation();
  EXPECT_EQ(info.data[2] & 0x03, 1);
  EXPECT_EQ(info.data[4], 2);
  auto next = host.TrackInformation(1, 0xFF);
  EXPECT_EQ(Be32(next.data.data() + 8), 48u + 16384u);  // ECC-aligned, after the first border
  WriteBlocks(host, 16432, 20, 2);
  ASSERT_TRUE(host.WriteParameters(0x40, 0x05).Good());
  ASSERT_TRUE(host.Close(2).Good());
  EXPECT_EQ(host.DiscInformation().data[2] & 0x03, 2);
  auto sessions = host.Toc(1);
  EXPECT_EQ(sessions.data[3], 2);
  EXPECT_EQ(Be32(sessions.data.data() + 8), 16432u);
}

TEST(DvdRecording, DvdPlusRSessionsStayAppendableUntilFinalized) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "dvd+r");
  MmcHost host(r.get());
  EXPECT_EQ(Profile(host), 0x1B);
  EXPECT_EQ(host.WriteParameters(0x52, 0x04).Sense(), "05/26/00");  // DVD+R cannot simulate
  ASSERT_TRUE(host.WriteParameters(0x42, 0x04).Good());
  WriteBlocks(host, 0, 50, 3);
  ASSERT_TRUE(host.Synchronize().Good());
  ASSERT_TRUE(host.Close(1, 0xFF).Good());
  ASSERT_TRUE(host.Close(2, 0, true).Good());
  auto busy = host.TestUnitReady();
  if (!busy.Good()) {
    EXPECT_EQ(busy.Sense(), "02/04/07");
  }
  WaitReady(host);
  auto info = host.DiscInformation();
  EXPECT_EQ(info.data[2] & 0x03, 1);
  EXPECT_EQ(info.data[4], 2);
  EXPECT_EQ(host.Close(6).Sense(), "00/00/00");
  info = host.DiscInformation();
  EXPECT_EQ(info.data[2] & 0x03, 2);
  EXPECT_EQ(info.data[4], 1);
  EXPECT_EQ(host.Close(6).Sense(), "05/2C/00");
}

TEST(DvdRecording, DvdPlusRwFormatsAndOverwritesAnywhere) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "dvd+rw");
  MmcHost host(r.get());
  EXPECT_EQ(Profile(host), 0x1A);
  EXPECT_EQ(host.DiscInformation().data[2], 0x10);  // unformatted: empty
  ASSERT_TRUE(host.FormatPlusRw(true).Good());
  auto busy = host.TestUnitReady();
  if (!busy.Good()) {
    EXPECT_EQ(busy.Sense(), "02/04/04");
    EXPECT_EQ(busy.sense[15] & 0x80, 0x80);  // progress indication
  }
  WaitReady(host);
  auto info = host.DiscInformation();
  EXPECT_EQ(info.data[2], 0x1E);  // erasable, complete
  EXPECT_EQ(info.data[7] & 0x03, 0x03);
  ASSERT_TRUE(host.WriteParameters(0x42, 0x04).Good());
  WriteBlocks(host, 1000, 64, 1);
  WriteBlocks(host, 0, 32, 2);
  WriteBlocks(host, 1016, 16, 3);  // overwrite in the middle
  auto back = host.Read10(1000, 32);
  auto expected = Pattern(1000, 16, 1);
  auto middle = Pattern(1016, 16, 3);
  expected.insert(expected.end(), middle.begin(), middle.end());
  EXPECT_EQ(back.data, expected);
  EXPECT_EQ(host.Write10(kDvdCapacity - 1, Pattern(0, 2, 0)).Sense(), "05/21/00");
  EXPECT_EQ(host.Blank(1).Sense(), "05/30/05");
  EXPECT_TRUE(host.Close(0).Good());
  auto track = host.TrackInformation(1, 1);
  EXPECT_EQ(Be32(track.data.data() + 24), kDvdCapacity);
  auto toc = host.Toc(0);
  EXPECT_EQ(Be32(toc.data.data() + 12 + 4), kDvdCapacity);
  EXPECT_EQ(host.Format(0x10).Sense(), "05/26/00");  // not a DVD+RW format
}

TEST(DvdRecording, DvdRamIsFormattedAndRandomlyWritable) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "dvd-ram");
  MmcHost host(r.get());
  EXPECT_EQ(Profile(host), 0x12);
  EXPECT_EQ(host.WriteParameters(0x52, 0x05).Sense(), "05/26/00");
  ASSERT_TRUE(host.WriteParameters(0x42, 0x05).Good());
  EXPECT_EQ(host.Reserve(32).Sense(), "05/2C/00");
  WriteBlocks(host, 500, 32, 4);
  EXPECT_EQ(host.Read10(500, 32).data, Pattern(500, 32, 4));
  EXPECT_EQ(Be32(host.TrackInformation(1, 1).data.data() + 24), kDvdRamCapacity);
  EXPECT_EQ(host.DiscInformation().data[2], 0x1E);
}

TEST(DvdRecording, DvdRwSwitchesBetweenRestrictedOverwriteAndSequential) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "dvd-rw");
  MmcHost host(r.get());
  EXPECT_EQ(Profile(host), 0x13);
  WriteBlocks(host, 64, 32, 1);
  ASSERT_TRUE(host.Blank(1).Good());
  EXPECT_EQ(Profile(host), 0x14);  // blanking leaves a sequential disc
  EXPECT_EQ(host.DiscInformation().data[2], 0x10);
  EXPECT_EQ(host.Write10(64, Pattern(64, 1, 0)).Sense(), "05/21/02");
  ASSERT_TRUE(host.WriteParameters(0x40, 0x05).Good());
  WriteBlocks(host, 0, 32, 2);
  ASSERT_TRUE(host.Format(0x15).Good());  // quick format to restricted overwrite
  EXPECT_EQ(Profile(host), 0x13);
  EXPECT_EQ(host.Read10(0, 1).data, std::vector<uint8_t>(2048, 0));
}

TEST(DvdRecording, CdOnlyDriveSeesNoDvd) {
  TempFolder dir;
  RecorderOptions cdOnly;
  cdOnly.model = DriveModel::CdRecorder;
  auto r = NewRecorder(dir / "disc.img", "dvd+rw", cdOnly);
  MmcHost host(r.get());
  EXPECT_EQ(host.TestUnitReady().Sense(), "02/30/00");
  EXPECT_EQ(Profile(host), 0);
  EXPECT_EQ(host.DiscInformation().Sense(), "02/30/00");
}

}  // namespace
}  // namespace dorvik::emulator::test
