// Scripted faults as the burn engine's tests inject them: failures that
// persist, closes that fail, a damaged track, a medium taken out mid-write.
#include <gtest/gtest.h>

#include <algorithm>

#include "mmc_host.h"

namespace dorvik::emulator::test {
namespace {

// A blank CD-R set up for track-at-once data, as a host leaves it before writing.
struct CdUnderTest {
  TempFolder dir;
  std::unique_ptr<VirtualRecorder> recorder = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host{recorder.get()};
  CdUnderTest() { EXPECT_TRUE(host.WriteParameters(0x41, 0x04).Good()); }
};

TEST(Faults, AStarCountFailsEveryOccurrenceFromTheFirstOn) {
  CdUnderTest cd;
  ASSERT_TRUE(AddFaults(*cd.recorder, "35@2x*=03/0C/00;00x*=02/04/08"));
  EXPECT_TRUE(cd.host.Synchronize().Good());
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(cd.host.Synchronize().Sense(), "03/0C/00");
    EXPECT_EQ(cd.host.TestUnitReady().Sense(), "02/04/08");
  }
  EXPECT_TRUE(cd.host.In({0x12, 0, 0, 0, 96, 0}, 96).Good());  // other commands are untouched
}

TEST(Faults, AFunctionNarrowsACloseFaultToTrackOrSession) {
  CdUnderTest cd;
  ASSERT_TRUE(AddFaults(*cd.recorder, "5B.2=03/72/00"));
  ASSERT_TRUE(WriteBlocks(cd.host, 0, 300, 1));
  EXPECT_TRUE(cd.host.Close(1, 1).Good());
  EXPECT_EQ(cd.host.Close(2).Sense(), "03/72/00");
  EXPECT_EQ(cd.host.DiscInformation().data[2] & 0x03, 1);  // the failed close changed nothing
  EXPECT_TRUE(cd.host.Close(2).Good());
}

TEST(Faults, ADamagingWriteLeavesTheTrackUnwritableEvenAfterReopening) {
  CdUnderTest cd;
  ASSERT_TRUE(AddFaults(*cd.recorder, "2A@3=damage"));
  ASSERT_TRUE(WriteBlocks(cd.host, 0, 32, 1));
  EXPECT_EQ(cd.host.Write10(32, Pattern(32, 16, 1)).Sense(), "03/0C/00");
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass);
    auto track = cd.host.TrackInformation(1, 0xFF);
    EXPECT_EQ(track.data[2], 1);
    EXPECT_EQ(track.data[5] & 0x20, 0x20);  // Damage
    EXPECT_EQ(track.data[7] & 0x01, 0);     // no next writable address
    EXPECT_EQ(cd.host.Write10(32, Pattern(32, 16, 1)).Sense(), "05/21/02");  // a retry does not help
    cd.recorder.reset();
    cd.recorder = NewRecorder(cd.dir / "disc.img", "");
    cd.host = MmcHost(cd.recorder.get());
    ASSERT_TRUE(cd.host.WriteParameters(0x41, 0x04).Good());
  }
  // The damaged track is closed as it is, and the session with it.
  ASSERT_TRUE(cd.host.Close(1, 1).Good() && cd.host.Close(2).Good());
  EXPECT_EQ(cd.host.Toc(0).U32(16), 32u);
  EXPECT_EQ(cd.host.Read10(0, 32).data, Pattern(0, 32, 1));
}

TEST(Faults, ADamagingFirstWriteLeavesAnEmptyDamagedTrack) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "dvd-r");
  MmcHost host(r.get());
  ASSERT_TRUE(AddFaults(*r, "2A=03/0C/09+damage"));
  EXPECT_EQ(host.Write10(0, Pattern(0, 32, 1)).Sense(), "03/0C/09");
  auto track = host.TrackInformation(1, 1);
  EXPECT_EQ(track.data[5] & 0x20, 0x20);
  EXPECT_EQ(track.data[7] & 0x01, 0);
  EXPECT_EQ(host.DiscInformation().data[2] & 0x03, 1);  // no longer blank
  EXPECT_EQ(host.Write10(0, Pattern(0, 32, 1)).Sense(), "05/21/02");
}

TEST(Faults, ARemovedMediumIsMissingForEveryLaterCommand) {
  CdUnderTest cd;
  ASSERT_TRUE(AddFaults(*cd.recorder, "2A@2=remove"));
  ASSERT_TRUE(cd.host.Write10(0, Pattern(0, 16, 1)).Good());
  EXPECT_EQ(cd.host.Write10(16, Pattern(16, 16, 1)).Sense(), "02/3A/01");
  EXPECT_EQ(cd.host.Write10(16, Pattern(16, 16, 1)).Sense(), "02/3A/01");
  EXPECT_EQ(cd.host.TestUnitReady().Sense(), "02/3A/01");
  EXPECT_EQ(cd.host.DiscInformation().Sense(), "02/3A/01");
  EXPECT_EQ(cd.host.Synchronize().Sense(), "02/3A/01");
  EXPECT_EQ(cd.recorder->CurrentProfile(), 0);
}

// A write recorded wrong without a word: only reading it back tells.
TEST(Faults, ACorruptWriteSucceedsAndReadsBackWithItsFirstByteInverted) {
  CdUnderTest cd;
  ASSERT_TRUE(AddFaults(*cd.recorder, "2A@2=corrupt"));
  ASSERT_TRUE(WriteBlocks(cd.host, 0, 48, 1));
  const Bytes sent = Pattern(16, 16, 1);
  const auto read = cd.host.Read10(16, 16);
  ASSERT_TRUE(read.Good());
  EXPECT_EQ(read.data[0], static_cast<uint8_t>(~sent[0]));
  EXPECT_TRUE(std::equal(sent.begin() + 1, sent.end(), read.data.begin() + 1));
  EXPECT_EQ(cd.host.Read10(0, 16).data, Pattern(0, 16, 1)) << "the other writes are recorded as sent";
}

TEST(Faults, ScriptsThatSayNothingSoundAreRefused) {
  for (const char* bad : {"2Ax=03/0C/00", "2Ax0=03/0C/00", "2A.1=03/0C/00", "5B.8=03/0C/00", "5B.=03/0C/00",
                          "2A=0/0/0", "2A@0=03/0C/00", "2A=damage+remove", "2A=03/0C/00+burn", "2A=03/0C",
                          "2A=03/0C/00+", "2A", "2A=03/0C/00+corrupt"}) {
    std::string error;
    EXPECT_FALSE(ParseFaultScript(bad, &error)) << bad;
    EXPECT_NE(error.find(bad), std::string::npos) << error;
  }
  std::string error;
  auto parsed = ParseFaultScript("5B.2@2x*=03/72/00;2A=damage;1B=remove", &error);
  ASSERT_TRUE(parsed) << error;
  ASSERT_EQ(parsed->size(), 3u);
  EXPECT_EQ((*parsed)[0].function, 2);
  EXPECT_EQ((*parsed)[0].first, 2u);
  EXPECT_EQ((*parsed)[0].count, Fault::kForever);
  EXPECT_EQ((*parsed)[1].effect, FaultEffect::Damage);
  EXPECT_EQ((*parsed)[1].sense.asc, 0x0C);
  EXPECT_EQ((*parsed)[2].effect, FaultEffect::Remove);
}

}  // namespace
}  // namespace dorvik::emulator::test
