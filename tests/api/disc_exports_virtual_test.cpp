// The disc, speed and erase exports end to end, on the software recorder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <vector>

#include "api/library.h"
#include "dorvik.h"
#include "drive/drive.h"
#include "support/library_fixture.h"

namespace {

using dorvik::Recorder;

constexpr uint64_t kCdBlocks = 359849;
constexpr uint64_t kReserve = 10240;

struct DiscInfo {
  int32_t result = 0, blank = -1, writable = -1, profile = -1;
  uint64_t freeBytes = ~0ull;
};

DiscInfo Info() {
  DiscInfo i;
  i.result = Vuz_GetDiscInfoEx(&i.blank, &i.writable, &i.profile, &i.freeBytes);
  return i;
}

// A software recorder holding a new medium of the given kind, selected as
// device 1; options go to DORVIK_VIRTUAL_OPTIONS.
class VirtualDisc {
 public:
  explicit VirtualDisc(const std::string& medium, const std::string& options = "") {
    if (options.empty()) ::unsetenv("DORVIK_VIRTUAL_OPTIONS");
    else ::setenv("DORVIK_VIRTUAL_OPTIONS", options.c_str(), 1);
    lib_ = std::make_unique<dorvik::test::LibraryRestart>(folder_ / ("disc.img:" + medium));
    selected_ = Vuz_SetDevice(1) == 1;
  }
  ~VirtualDisc() {
    lib_.reset();
    ::unsetenv("DORVIK_VIRTUAL_OPTIONS");
  }
  bool Selected() const { return selected_; }
  Recorder& Drive() { return *dorvik::Library::Get().CurrentRecorder(); }

  // Writes blocks of a pattern as one track at once and closes it, leaving
  // the session open for another (multiSession) or the disc complete.
  void WriteCdTrack(uint32_t blocks, bool multiSession) {
    Recorder& r = Drive();
    dorvik::WriteSettings s;
    s.trackMode = 4;
    s.dataBlockType = 8;
    s.bufferUnderrunFree = 1;
    s.multiSession = multiSession ? 1 : 0;
    ASSERT_EQ(r.SetWriteParameters(dorvik::kWriteTrackAtOnce, s), 0);
    int32_t nwa = -1;
    ASSERT_EQ(r.NextWritableAddress(&nwa), 0);
    WriteBlocks(static_cast<uint32_t>(nwa), blocks);
    r.SynchronizeCache();
    ASSERT_EQ(r.CloseTrack(1), 0);
    ASSERT_EQ(r.CloseSessionImmed(), 0);
    ASSERT_TRUE(r.WaitUntilReady(200));
  }

  void WriteBlocks(uint32_t lba, uint32_t blocks) {
    std::vector<uint8_t> data(16 * 2048);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7 + 1);
    for (uint32_t done = 0; done < blocks; done += 16)
      ASSERT_EQ(Drive().Write10(lba + done, data.data(), 16 * 2048, 16), 0) << "at " << lba + done;
  }

 private:
  dorvik::test::TempFolder folder_;
  std::unique_ptr<dorvik::test::LibraryRestart> lib_;
  bool selected_ = false;
};

TEST(DiscInfoOnVirtualRecorder, BlankCdR) {
  VirtualDisc disc("cd-r");
  ASSERT_TRUE(disc.Selected());
  const DiscInfo i = Info();
  EXPECT_EQ(i.result, 1);
  EXPECT_EQ(i.blank, 1);
  EXPECT_EQ(i.writable, 1);
  EXPECT_EQ(i.profile, 0x09);
  EXPECT_EQ(i.freeBytes, (kCdBlocks - kReserve) * 2048);

  // The plain form answers the same three values.
  int32_t blank = -1, writable = -1, profile = -1;
  EXPECT_EQ(Vuz_GetDiscInfo(&blank, &writable, &profile), 1);
  EXPECT_EQ(blank, 1);
  EXPECT_EQ(profile, 0x09);
}

TEST(DiscInfoOnVirtualRecorder, AppendableCdRHasTheRoomAfterItsNextSession) {
  VirtualDisc disc("cd-r");
  ASSERT_TRUE(disc.Selected());
  disc.WriteCdTrack(320, true);
  int32_t next = 0;
  ASSERT_EQ(disc.Drive().NextWritableAddress(&next), 0);
  EXPECT_GT(next, 320);  // beyond the lead-out and lead-in of the first session

  const DiscInfo i = Info();
  EXPECT_EQ(i.result, 1);
  EXPECT_EQ(i.blank, 0);
  EXPECT_EQ(i.writable, 0);  // write-once and not blank
  EXPECT_EQ(i.profile, 0x09);
  EXPECT_EQ(i.freeBytes, (kCdBlocks - static_cast<uint64_t>(next) - kReserve) * 2048);
}

TEST(DiscInfoOnVirtualRecorder, CompleteCdRHasNoRoom) {
  VirtualDisc disc("cd-r");
  ASSERT_TRUE(disc.Selected());
  disc.WriteCdTrack(320, false);
  const DiscInfo i = Info();
  EXPECT_EQ(i.result, 1);
  EXPECT_EQ(i.blank, 0);
  EXPECT_EQ(i.writable, 0);
  EXPECT_EQ(i.profile, 0x09);
  EXPECT_EQ(i.freeBytes, 0u);
}

TEST(DiscInfoOnVirtualRecorder, DvdPlusRwIsBlankByItsBlocks) {
  VirtualDisc disc("dvd+rw");
  ASSERT_TRUE(disc.Selected());
  DiscInfo i = Info();
  EXPECT_EQ(i.result, 1);
  EXPECT_EQ(i.blank, 1);
  EXPECT_EQ(i.writable, 1);
  EXPECT_EQ(i.profile, 0x1A);
  EXPECT_EQ(i.freeBytes, (2295104 - kReserve) * 2048);

  // Formatted, its status reads complete; it is still blank while its
  // blocks are zero, and no longer once a block there holds data.
  Recorder& r = disc.Drive();
  ASSERT_EQ(r.FormatPlusRw(), 0);
  ASSERT_TRUE(r.WaitUntilReady(300));
  uint8_t info[dorvik::kDiscInformationLength];
  ASSERT_EQ(r.ReadDiscInformation(info), 0);
  EXPECT_EQ(info[2] & 3, 2);
  EXPECT_EQ(Info().blank, 1);
  disc.WriteBlocks(256, 16);
  i = Info();
  EXPECT_EQ(i.blank, 0);
  EXPECT_EQ(i.writable, 1);
  EXPECT_EQ(i.freeBytes, (2295104 - kReserve) * 2048);
}

TEST(DiscInfoOnVirtualRecorder, DvdRam) {
  VirtualDisc disc("dvd-ram");
  ASSERT_TRUE(disc.Selected());
  const DiscInfo i = Info();
  EXPECT_EQ(i.result, 1);
  EXPECT_EQ(i.blank, 1);
  EXPECT_EQ(i.writable, 1);
  EXPECT_EQ(i.profile, 0x12);
  EXPECT_EQ(i.freeBytes, (2236704 - kReserve) * 2048);
}

TEST(DiscInfoOnVirtualRecorder, EmptyTrayIsNotReady) {
  VirtualDisc disc("cd-r");
  ASSERT_TRUE(disc.Selected());
  ASSERT_EQ(Vuz_Unload(), 1);
  DiscInfo i = Info();
  EXPECT_EQ(i.result, -15);
  EXPECT_EQ(i.blank, -1);
  EXPECT_EQ(i.freeBytes, ~0ull);
  uint16_t s[5];
  EXPECT_EQ(Vuz_GetCdSpeedsEx(&s[0], &s[1], &s[2], &s[3], &s[4]), -15);
  EXPECT_EQ(Vuz_EraseDisc(), -15);
}

TEST(EraseOnVirtualRecorder, RewritableCdAndDvdMinusRwReadBlankAfterwards) {
  for (const char* medium : {"cd-rw", "dvd-rw", "dvd-rw-seq"}) {
    SCOPED_TRACE(medium);
    VirtualDisc disc(medium);
    ASSERT_TRUE(disc.Selected());
    if (std::string(medium) == "cd-rw") {
      disc.WriteCdTrack(64, true);
      ASSERT_EQ(Info().blank, 0);
    }
    EXPECT_EQ(Vuz_EraseDisc(), 1);
    const DiscInfo i = Info();
    EXPECT_EQ(i.result, 1);
    EXPECT_EQ(i.blank, 1);
    EXPECT_EQ(i.writable, 1);
  }
}

TEST(EraseOnVirtualRecorder, DvdPlusRwAndDvdRamAreOverwritten) {
  for (const char* medium : {"dvd+rw", "dvd-ram"}) {
    SCOPED_TRACE(medium);
    VirtualDisc disc(medium);
    ASSERT_TRUE(disc.Selected());
    if (std::string(medium) == "dvd+rw") {
      ASSERT_EQ(disc.Drive().FormatPlusRw(), 0);
      ASSERT_TRUE(disc.Drive().WaitUntilReady(300));
    }
    disc.WriteBlocks(16, 16);
    ASSERT_EQ(Info().blank, 0);
    EXPECT_EQ(Vuz_EraseDisc(), 1);
    const DiscInfo i = Info();
    EXPECT_EQ(i.blank, 1);
    EXPECT_EQ(i.writable, 1);
  }
}

TEST(EraseOnVirtualRecorder, WriteOnceMediaAreRefused) {
  for (const char* medium : {"cd-r", "dvd-r", "dvd+r"}) {
    SCOPED_TRACE(medium);
    VirtualDisc disc(medium);
    ASSERT_TRUE(disc.Selected());
    EXPECT_EQ(Vuz_EraseDisc(), -7);
    EXPECT_EQ(Info().blank, 1);
  }
}

TEST(SpeedsOnVirtualRecorder, CdRecorderProbe) {
  VirtualDisc disc("cd-r", "model=cd-recorder");
  ASSERT_TRUE(disc.Selected());
  uint16_t read = 0, write = 0, maxRead = 0, maxWrite = 0, minWrite = 0;
  ASSERT_EQ(Vuz_GetCdSpeedsEx(&read, &write, &maxRead, &maxWrite, &minWrite), 1);
  EXPECT_GT(read, 0);
  EXPECT_GT(write, 0);
  EXPECT_EQ(maxRead, 48 * 176);
  EXPECT_EQ(maxWrite, 8448);
  EXPECT_EQ(minWrite, 352);
  // The probe leaves the drive at the slowest speed it tried, which the
  // drive meets with its own nearest speed.
  uint16_t after[4] = {};
  ASSERT_EQ(Vuz_GetCdSpeeds(&after[0], &after[1], &after[2], &after[3]), 1);
  EXPECT_LE(after[1], 4 * 176);
}

TEST(SpeedsOnVirtualRecorder, DvdMediumCountsInDvdUnits) {
  VirtualDisc disc("dvd-r");
  ASSERT_TRUE(disc.Selected());
  uint16_t s[5] = {};
  ASSERT_EQ(Vuz_GetCdSpeedsEx(&s[0], &s[1], &s[2], &s[3], &s[4]), 1);
  EXPECT_EQ(s[3] % 1385, 0);
  EXPECT_EQ(s[3], 40 * 1385);  // the fastest probe the 16-bit field allows
  EXPECT_EQ(s[4], 2 * 1385);
}

TEST(WriteModesOnVirtualRecorder, FromTheFeatureList) {
  struct Case {
    const char* options;
    int32_t tao, sao;
  };
  for (const Case& c : {Case{"", 1, 1}, Case{"tao=0", 0, 1}, Case{"mastering=0", 1, 0}}) {
    SCOPED_TRACE(c.options);
    VirtualDisc disc("cd-r", c.options);
    ASSERT_TRUE(disc.Selected());
    int32_t tao = -1, sao = -1, raw = -1;
    EXPECT_EQ(Vuz_GetSupportedWriteModes(&tao, &sao, &raw), 1);
    EXPECT_EQ(tao, c.tao);
    EXPECT_EQ(sao, c.sao);
    EXPECT_EQ(raw, c.sao);
  }
}

}  // namespace
