// A CD-R as a strict drive records it: the power-on write parameters, a
// session that cannot close over an open track, the 4-second track minimum.
#include <gtest/gtest.h>

#include "mmc_host.h"

namespace dorvik::emulator::test {
namespace {

TEST(CdRecording, ThePowerOnPageIsPacketWritingWhichTakesNoWrite) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  EXPECT_EQ(host.ModeSense(0x05).data[8 + 2] & 0x0F, 0);                       // current: packet
  EXPECT_EQ(host.In(Cdb10(0x5A, 0, 0x85 << 24, 0, 1024), 1024).data[10] & 0x0F, 0);  // default values too
  EXPECT_EQ(host.Write10(0, Pattern(0, 16, 1)).Sense(), "05/64/00");
  EXPECT_EQ(host.DiscInformation().data[2] & 0x03, 0);  // still blank
  ASSERT_TRUE(host.WriteParameters(0x41, 0x04).Good());
  EXPECT_TRUE(host.Write10(0, Pattern(0, 16, 1)).Good());
}

TEST(CdRecording, ASessionDoesNotCloseOverAnOpenTrack) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x41, 0xC4).Good());
  ASSERT_TRUE(WriteBlocks(host, 0, 320, 1));
  ASSERT_TRUE(host.Synchronize().Good());
  EXPECT_EQ(host.Close(2).Sense(), "05/72/03");
  EXPECT_EQ(host.TrackInformation(1, 0xFF).U32(12), 320u);  // the track is still open for writing
  ASSERT_TRUE(host.Close(1, 1).Good());
  EXPECT_TRUE(host.Close(2).Good());
  EXPECT_EQ(host.DiscInformation().data[2] & 0x03, 1);
}

TEST(CdRecording, ATrackShorterThanFourSecondsIsPaddedWhenClosed) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x41, 0x04).Good());
  ASSERT_TRUE(WriteBlocks(host, 0, 16, 1));
  ASSERT_TRUE(host.Close(1, 1).Good());
  auto track = host.TrackInformation(1, 1);
  EXPECT_EQ(track.U32(24), 300u);
  EXPECT_EQ(track.U32(28), 299u);  // last recorded address
  EXPECT_EQ(host.TrackInformation(1, 2).U32(8), 300u + 2u + 150u);
  EXPECT_EQ(host.Read10(16, 284).data, Bytes(284 * 2048, 0));
}

}  // namespace
}  // namespace dorvik::emulator::test
