// A CD-R as a strict drive records it: the power-on write parameters, a
// session that cannot close over an open track, the 4-second track minimum,
// 2352-byte audio blocks, test writes that leave nothing behind, and the
// drives that end a track when its cache is flushed.
#include <gtest/gtest.h>

#include "mmc_host.h"
#include "platform/files.h"

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

TEST(CdRecording, ATestWriteOfTwoTracksRecordsNothing) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x51, 0xC4).Good());  // test write, track at once
  ASSERT_TRUE(WriteBlocks(host, 0, 32, 1));
  ASSERT_TRUE(host.Synchronize().Good() && host.Close(1, 1).Good());
  // While it runs, the drive answers as if recording: the next track follows the first.
  auto next = host.TrackInformation(1, 0xFF);
  EXPECT_EQ(next.data[2], 2);
  EXPECT_EQ(next.U32(12), 300u + 152u);
  ASSERT_TRUE(WriteBlocks(host, 452, 32, 2));
  EXPECT_EQ(host.Close(2).Sense(), "05/72/03");  // as strict as a recording
  ASSERT_TRUE(host.Close(1, 2).Good() && host.Close(2).Good());
  EXPECT_EQ(host.DiscInformation().data[2] & 0x03, 0);
  EXPECT_EQ(host.TrackInformation(1, 0xFF).U32(12), 0u);
  EXPECT_EQ(platform::Stat(dir / "disc.img").size, 0u);
  r.reset();
  EXPECT_EQ(MmcHost(NewRecorder(dir / "disc.img", "").get()).DiscInformation().data[2] & 0x03, 0);
}

TEST(CdRecording, AudioBlocksAre2352BytesAndReadOnlyWithReadCd) {
  TempFolder dir;
  Bytes audio(16 * 2352);
  for (size_t i = 0; i < audio.size(); ++i) audio[i] = static_cast<uint8_t>(i * 31 + 7);
  {
    auto r = NewRecorder(dir / "disc.img", "cd-r");
    MmcHost host(r.get());
    ASSERT_TRUE(host.WriteParameters(0x41, 0x00, 0x00).Good());  // audio track, 2352-byte blocks
    EXPECT_EQ(host.Write10(0, Pattern(0, 16, 1)).Sense(), "timeout");  // 2048-byte blocks: the drive waits for more
    ASSERT_TRUE(host.Send(Cdb10(0x2A, 0, 0, 0, 16), DirOut, audio).Good());
    ASSERT_TRUE(host.WriteParameters(0x41, 0x04).Good());
    EXPECT_EQ(host.Write10(16, Pattern(16, 16, 1)).Sense(), "05/64/00");  // no data blocks in an audio track
    ASSERT_TRUE(host.Close(1, 1).Good());
  }
  auto r = NewRecorder(dir / "disc.img", "");
  MmcHost host(r.get());
  EXPECT_EQ(host.TrackInformation(1, 1).U32(24), 300u);
  EXPECT_EQ(host.TrackInformation(1, 1).data[5] & 0x0F, 0);
  EXPECT_EQ(host.Read10(0, 1).Sense(), "05/64/00");
  auto back = host.ReadCd(0, 17, 0x10, 1, 17 * 2352);  // CD-DA, user data
  ASSERT_TRUE(back.Good()) << back.Sense();
  EXPECT_EQ(back.Slice(0, 16 * 2352), audio);
  EXPECT_EQ(back.Slice(16 * 2352, 2352), Bytes(2352, 0));  // padding is silence
  EXPECT_EQ(host.ReadCd(0, 1, 0x10, 2, 2048).Sense(), "05/64/00");  // not Mode 1
}

TEST(CdRecording, WithFlushClosesTrackTheFlushEndsTheTrack) {
  TempFolder dir;
  RecorderOptions options;
  options.flushClosesTrack = true;
  auto r = NewRecorder(dir / "disc.img", "cd-r", options);
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x41, 0x04).Good());
  ASSERT_TRUE(WriteBlocks(host, 0, 16, 1));
  ASSERT_TRUE(host.Synchronize().Good());
  auto track = host.TrackInformation(1, 1);
  EXPECT_EQ(track.data[7] & 0x01, 0);  // complete
  EXPECT_EQ(track.U32(24), 300u);      // and padded
  EXPECT_EQ(host.Close(1, 1).Sense(), "05/24/00");  // a complete track is no longer closed
  EXPECT_TRUE(host.Close(2).Good());
  EXPECT_EQ(host.Toc(0).U32(16), 300u);
}

}  // namespace
}  // namespace dorvik::emulator::test
