// DVD-R and sequential DVD-RW as strict drives record them: the track
// numbers READ TRACK INFORMATION takes, incremental writing from power-on,
// reservations of the exact size that must be filled.
#include <gtest/gtest.h>

#include <tuple>

#include "mmc_host.h"

namespace dorvik::emulator::test {
namespace {

TEST(SequentialDvd, TrackFfIsRefusedOffCdAndDvdPlusRButTheLastTrackNumberAnswers) {
  for (const auto& [medium, ffValid] : {std::tuple{"dvd-r", false}, {"dvd-rw-seq", false}, {"dvd-rw", false},
                                        {"dvd+rw", false}, {"dvd-ram", false}, {"cd-r", true}, {"dvd+r", true}}) {
    SCOPED_TRACE(medium);
    TempFolder dir;
    auto r = NewRecorder(dir / "disc.img", medium);
    MmcHost host(r.get());
    EXPECT_EQ(host.TrackInformation(1, 0xFF).Good(), ffValid);
    if (!ffValid) { EXPECT_EQ(host.TrackInformation(1, 0xFF).Sense(), "05/24/00"); }
    const uint8_t last = host.DiscInformation().data[6];
    EXPECT_TRUE(host.TrackInformation(1, last).Good());
  }
}

TEST(SequentialDvd, ANextWritableAddressByTrackNumberAfterABorder) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "dvd-r");
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x40, 0xC5).Good());
  ASSERT_TRUE(WriteBlocks(host, 0, 32, 1));
  ASSERT_TRUE(host.Close(1, 1).Good() && host.Close(2).Good());
  const uint8_t last = host.DiscInformation().data[6];
  EXPECT_EQ(last, 2);
  auto next = host.TrackInformation(1, last);
  EXPECT_EQ(next.data[7] & 0x01, 1);
  EXPECT_EQ(next.U32(12), 32u + 16384u);
}

TEST(SequentialDvd, ThePowerOnPageWritesIncrementally) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "dvd-r");
  MmcHost host(r.get());
  ASSERT_TRUE(WriteBlocks(host, 0, 32, 1));
  EXPECT_EQ(host.TrackInformation(1, 1).data[5] & 0x0F, 5);  // data, recorded incrementally
  EXPECT_EQ(host.Read10(0, 32).data, Pattern(0, 32, 1));
}

TEST(SequentialDvd, AWriteRunningPastTheReservationIsRefusedWhole) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "dvd-r");
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x42, 0x05).Good());
  ASSERT_TRUE(host.Reserve(100).Good());
  ASSERT_TRUE(WriteBlocks(host, 0, 96, 1));
  auto overrun = host.Write10(96, Pattern(96, 32, 1));  // the last 32-block write of a track of 100
  EXPECT_EQ(overrun.Sense(), "05/21/00");
  EXPECT_EQ(overrun.sense[0] & 0x80, 0x80);
  EXPECT_EQ(Bytes(overrun.sense.begin() + 3, overrun.sense.begin() + 7), (Bytes{0, 0, 0, 100}));  // first block beyond
  EXPECT_EQ(host.TrackInformation(1, 1).U32(12), 96u);  // nothing of it was recorded
  ASSERT_TRUE(host.Synchronize().Good());
  EXPECT_EQ(host.DiscInformation().data[2] & 0x03, 1);  // unfilled: the disc stays open
  ASSERT_TRUE(host.Write10(96, Pattern(96, 4, 1)).Good());
  ASSERT_TRUE(host.Synchronize().Good());
  EXPECT_EQ(host.DiscInformation().data[2] & 0x03, 2);
}

TEST(SequentialDvd, AFilledIncrementalReservationCompletesAtTheFlush) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "dvd-rw-seq");
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x40, 0xC5).Good());
  ASSERT_TRUE(host.Reserve(40).Good());
  ASSERT_TRUE(WriteBlocks(host, 0, 40, 1));
  EXPECT_EQ(host.TrackInformation(1, 1).data[7] & 0x01, 0);  // full: no next writable address
  EXPECT_EQ(host.Toc(0).Sense(), "05/24/00");                // but not yet complete
  ASSERT_TRUE(host.Synchronize().Good());
  EXPECT_EQ(host.Toc(0).U32(16), 40u);
  EXPECT_EQ(host.DiscInformation().data[2] & 0x03, 1);  // incremental: the disc stays appendable
}

TEST(SequentialDvd, AnUnfilledReservationKeepsTheSessionOpen) {
  for (uint8_t writeType : {0x42, 0x40}) {  // disc-at-once, incremental
    SCOPED_TRACE(static_cast<int>(writeType));
    TempFolder dir;
    auto r = NewRecorder(dir / "disc.img", "dvd-r");
    MmcHost host(r.get());
    ASSERT_TRUE(host.WriteParameters(writeType, 0x05).Good());
    ASSERT_TRUE(host.Reserve(64).Good());
    ASSERT_TRUE(WriteBlocks(host, 0, 32, 1));
    EXPECT_EQ(host.Close(2).Sense(), "05/72/04");
    if (writeType == 0x42) {
      EXPECT_EQ(host.Close(1, 1).Sense(), "05/72/04");  // disc-at-once ends only by filling it
      continue;
    }
    ASSERT_TRUE(host.Close(1, 1).Good());  // incremental: closing pads the reservation
    EXPECT_EQ(host.TrackInformation(1, 1).U32(24), 64u);
    EXPECT_TRUE(host.Close(2).Good());
  }
}

TEST(SequentialDvd, ATestWriteLeavesNoReservationBehind) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "dvd-r");
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x52, 0x05).Good());  // test write, disc-at-once
  ASSERT_TRUE(host.Reserve(64).Good());
  EXPECT_EQ(host.TrackInformation(1, 1).data[6] & 0x80, 0x80);  // reserved, while the simulation runs
  ASSERT_TRUE(WriteBlocks(host, 0, 64, 1));
  ASSERT_TRUE(host.Synchronize(true).Good());
  host.WaitReady();
  auto blank = host.TrackInformation(1, 1);
  EXPECT_EQ(blank.data[6] & 0xC0, 0x40);  // blank, not reserved
  EXPECT_EQ(host.DiscInformation().data[2] & 0x03, 0);
  // The real burn that follows finds the disc as it was.
  ASSERT_TRUE(host.WriteParameters(0x42, 0x05).Good());
  ASSERT_TRUE(host.Reserve(64).Good());
  ASSERT_TRUE(WriteBlocks(host, 0, 64, 2));
  ASSERT_TRUE(host.Synchronize().Good());
  EXPECT_EQ(host.DiscInformation().data[2] & 0x03, 2);
  EXPECT_EQ(host.Read10(0, 64).data, Pattern(0, 64, 2));
}

}  // namespace
}  // namespace dorvik::emulator::test
