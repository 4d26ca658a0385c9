// The drive layer against the software recorder's model of an MMC drive:
// the pages and sequences it sends are accepted, and what it derives from
// the TOC agrees with what the drive itself reports.
#include <gtest/gtest.h>

#include "drive/drive.h"
#include "emulator/virtual_recorder.h"
#include "support/library_fixture.h"
#include "transport/routing_transport.h"

namespace dorvik {
namespace {

struct ModelDrive {
  test::TempFolder folder;
  RoutingTransport transport;
  emulator::VirtualRecorder* model = nullptr;
  std::unique_ptr<Recorder> r;

  explicit ModelDrive(const std::string& medium) {
    std::string error;
    auto device = emulator::VirtualRecorder::Open(folder / "disc.img", medium, {}, &error);
    EXPECT_TRUE(device) << error;
    model = device.get();
    transport.Attach(1, std::move(device));
    r = std::make_unique<Recorder>(1, &transport);
    model->ClearCommandLog();
  }

  // Commands the model refused, other than "not ready" answers to TEST UNIT
  // READY while it works in the background.
  std::vector<std::string> Refused() const {
    std::vector<std::string> out;
    for (const auto& c : model->CommandLog()) {
      if (c.status == 0 || c.cdb[0] == 0x00) continue;
      char text[64];
      std::snprintf(text, sizeof text, "%02X -> %02X/%02X/%02X", c.cdb[0], c.sense.key, c.sense.asc, c.sense.ascq);
      out.emplace_back(text);
    }
    return out;
  }

  void WriteTrack(uint32_t blocks, bool multiSession) {
    WriteSettings s;
    s.trackMode = 4;
    s.dataBlockType = 8;
    s.bufferUnderrunFree = 1;
    s.multiSession = multiSession;
    ASSERT_EQ(r->SetWriteParameters(kWriteTrackAtOnce, s), 0);
    int32_t nwa = 0;
    ASSERT_EQ(r->NextWritableAddress(&nwa), 0);
    std::vector<uint8_t> data(16 * 2048, 0x11);
    for (uint32_t done = 0; done < blocks; done += 16)
      ASSERT_EQ(r->Write10(static_cast<uint32_t>(nwa) + done, data.data(), 16 * 2048, 16), 0);
    r->SynchronizeCache();
    uint8_t info[kDiscInformationLength];
    ASSERT_EQ(r->ReadDiscInformation(info), 0);
    ASSERT_EQ(r->CloseTrack(info[6]), 0);
    ASSERT_EQ(r->CloseSessionImmed(), 0);
    ASSERT_TRUE(r->WaitUntilReady(200));
  }
};

// The write parameters each medium is prepared with before a track.
TEST(MmcModel, WriteParametersOfEveryMediumAreAccepted) {
  struct Case {
    const char* medium;
    uint8_t writeType;
    WriteSettings settings;
  };
  const std::vector<Case> cases = {
      {"cd-r", kWriteTrackAtOnce, {4, 0, 0, 1, 1, 0, 8, 0}},
      {"cd-rw", kWriteTrackAtOnce, {4, 0, 1, 1, 0, 0, 8, 0}},
      {"dvd-r", kWriteSessionAtOnce, {5, 0, 0, 1, 0, 0, 8, 0}},
      {"dvd-rw-seq", kWriteSessionAtOnce, {5, 16, 0, 1, 0, 1, 8, 0}},
      {"dvd+rw", kWriteSessionAtOnce, {4, 0, 0, 1, 0, 0, 8, 0}},
      {"dvd+r", kWriteSessionAtOnce, {4, 0, 0, 1, 0, 0, 8, 0}},
      {"dvd-ram", kWriteSessionAtOnce, {5, 0, 0, 1, 0, 0, 8, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.medium);
    ModelDrive d(c.medium);
    EXPECT_EQ(d.r->SetWriteParameters(c.writeType, c.settings), 0);
    EXPECT_EQ(d.Refused(), std::vector<std::string>{});
  }
}

TEST(MmcModel, EraseSequencesRunWithoutARefusedCommand) {
  for (const char* medium : {"cd-rw", "dvd-rw", "dvd-rw-seq", "dvd+rw", "dvd-ram"}) {
    SCOPED_TRACE(medium);
    ModelDrive d(medium);
    EXPECT_EQ(d.r->EraseMedium(), 1);
    EXPECT_EQ(d.Refused(), std::vector<std::string>{});
    EXPECT_EQ(d.r->IsBlank(), 1);
  }
}

TEST(MmcModel, TrackRecordsFromTheTocMatchTheDrivesOwn) {
  ModelDrive d("cd-r");
  d.WriteTrack(320, true);
  d.WriteTrack(96, true);
  for (bool fullToc : {true, false}) {
    SCOPED_TRACE(fullToc ? "full TOC" : "formatted TOC");
    for (uint32_t track : {1u, 2u}) {
      SCOPED_TRACE(track);
      uint8_t own[kTrackInformationLength], made[kTrackInformationLength];
      ASSERT_EQ(d.r->ReadTrackInformation(own, 1, track), 0);
      // A failed first READ TOC makes the formatted TOC answer instead.
      if (!fullToc) d.model->AddFault({0x43, 1, 1, emulator::Sense::Of(5, 0x24, 0)});
      ASSERT_EQ(d.r->TrackInfoFromToc(made, 1, track), 0);
      d.model->ClearFaults();
      EXPECT_EQ(made[2], own[2]);
      EXPECT_EQ(made[5] & 0x0F, own[5] & 0x0F);
      EXPECT_EQ(Be32(made + 8), Be32(own + 8));
      EXPECT_EQ(made[3], fullToc ? own[3] : 1);  // the formatted TOC knows no sessions
      if (fullToc || track == 2) {
        EXPECT_EQ(Be32(made + 24), Be32(own + 24));
      } else {
        // Nor where they end: a track runs to the next one, over the
        // lead-out and lead-in between them.
        uint8_t next[kTrackInformationLength];
        ASSERT_EQ(d.r->ReadTrackInformation(next, 1, 2), 0);
        EXPECT_EQ(Be32(made + 24), Be32(next + 8) - Be32(own + 8));
      }

      // By address: the track's last block is still the track.
      const uint32_t last = Be32(own + 8) + Be32(own + 24) - 1;
      if (!fullToc) d.model->AddFault({0x43, 1, 1, emulator::Sense::Of(5, 0x24, 0)});
      ASSERT_EQ(d.r->TrackInfoFromToc(made, 0, last), 0);
      d.model->ClearFaults();
      EXPECT_EQ(made[2], own[2]);
    }
  }
}

}  // namespace
}  // namespace dorvik
