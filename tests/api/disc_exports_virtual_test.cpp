// The disc, speed and erase exports as a C host sees them, end to end on
// the software recorder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <tuple>
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
  std::vector<int32_t> Flags() const { return {result, blank, writable, profile}; }
};

DiscInfo Info() {
  DiscInfo i;
  i.result = Vuz_GetDiscInfoEx(&i.blank, &i.writable, &i.profile, &i.freeBytes);
  return i;
}

// A software recorder holding a new medium, selected as device 1; options
// go to DORVIK_VIRTUAL_OPTIONS.
struct VirtualDisc {
  dorvik::test::TempFolder folder;
  std::unique_ptr<dorvik::test::LibraryRestart> lib;

  explicit VirtualDisc(const std::string& medium, const char* options = "") {
    ::setenv("DORVIK_VIRTUAL_OPTIONS", options, 1);
    lib = std::make_unique<dorvik::test::LibraryRestart>(folder / ("disc.img:" + medium));
    EXPECT_EQ(Vuz_SetDevice(1), 1);
  }
  ~VirtualDisc() {
    lib.reset();
    ::unsetenv("DORVIK_VIRTUAL_OPTIONS");
  }
  Recorder& Drive() { return *dorvik::Library::Get().CurrentRecorder(); }

  // One track at once, closed, leaving the session open (multiSession) or the disc complete.
  void WriteCdTrack(uint32_t blocks, bool multiSession) {
    const dorvik::WriteSettings s{4, 0, 0, 1, static_cast<uint8_t>(multiSession), 0, 8, 0};
    ASSERT_EQ(Drive().SetWriteParameters(dorvik::kWriteTrackAtOnce, s), 0);
    int32_t nwa = -1;
    ASSERT_EQ(Drive().NextWritableAddress(&nwa), 0);
    WriteBlocks(static_cast<uint32_t>(nwa), blocks);
    Drive().SynchronizeCache();
    ASSERT_EQ(Drive().CloseTrack(1), 0);
    ASSERT_EQ(Drive().CloseSessionImmed(), 0);
    ASSERT_TRUE(Drive().WaitUntilReady(200));
  }
  void WriteBlocks(uint32_t lba, uint32_t blocks) {
    std::vector<uint8_t> data(16 * 2048, 0x5A);
    for (uint32_t done = 0; done < blocks; done += 16)
      ASSERT_EQ(Drive().Write10(lba + done, data.data(), 16 * 2048, 16), 0) << "at " << lba + done;
  }
  void FormatPlusRw() {
    ASSERT_EQ(Drive().FormatPlusRw(), 0);
    ASSERT_TRUE(Drive().WaitUntilReady(300));
  }
};

TEST(DiscInfoOnVirtualRecorder, NewMedia) {
  struct Case {
    const char* medium;
    int32_t profile;
    uint64_t blocks;
  };
  for (const Case& c : {Case{"cd-r", 0x09, kCdBlocks}, Case{"dvd+rw", 0x1A, 2295104}, Case{"dvd-ram", 0x12, 2236704}}) {
    SCOPED_TRACE(c.medium);
    VirtualDisc disc(c.medium);
    const DiscInfo i = Info();
    EXPECT_EQ(i.Flags(), (std::vector<int32_t>{1, 1, 1, c.profile}));
    EXPECT_EQ(i.freeBytes, (c.blocks - kReserve) * 2048);
  }
}

TEST(DiscInfoOnVirtualRecorder, AppendableCdRHasTheRoomAfterItsNextSessionCompleteHasNone) {
  for (bool appendable : {true, false}) {
    SCOPED_TRACE(appendable);
    VirtualDisc disc("cd-r");
    disc.WriteCdTrack(320, appendable);
    int32_t next = 0;
    if (appendable) {
      ASSERT_EQ(disc.Drive().NextWritableAddress(&next), 0);
      EXPECT_GT(next, 320);  // beyond the first session's lead-out and the next lead-in
    }
    const DiscInfo i = Info();
    EXPECT_EQ(i.Flags(), (std::vector<int32_t>{1, 0, 0, 0x09}));
    EXPECT_EQ(i.freeBytes, appendable ? (kCdBlocks - static_cast<uint64_t>(next) - kReserve) * 2048 : 0u);
  }
}

// Formatted, a DVD+RW's status reads complete: it is blank while its blocks are zero.
TEST(DiscInfoOnVirtualRecorder, DvdPlusRwIsBlankByItsBlocks) {
  VirtualDisc disc("dvd+rw");
  disc.FormatPlusRw();
  uint8_t info[dorvik::kDiscInformationLength];
  ASSERT_EQ(disc.Drive().ReadDiscInformation(info), 0);
  EXPECT_EQ(info[2] & 3, 2);
  EXPECT_EQ(Info().blank, 1);
  disc.WriteBlocks(256, 16);
  const DiscInfo i = Info();
  EXPECT_EQ(i.Flags(), (std::vector<int32_t>{1, 0, 1, 0x1A}));
  EXPECT_EQ(i.freeBytes, (2295104 - kReserve) * 2048);
}

TEST(EraseOnVirtualRecorder, RewritableMediaReadBlankAfterwardsWriteOnceAreRefused) {
  for (const char* medium : {"cd-rw", "dvd-rw", "dvd-rw-seq", "dvd+rw", "dvd-ram", "cd-r", "dvd-r", "dvd+r"}) {
    SCOPED_TRACE(medium);
    VirtualDisc disc(medium);
    const std::string m = medium;
    if (m == "cd-rw") disc.WriteCdTrack(64, true);
    if (m == "dvd+rw") disc.FormatPlusRw();
    if (m == "dvd+rw" || m == "dvd-ram") disc.WriteBlocks(16, 16);
    ASSERT_TRUE((m != "cd-rw" && m != "dvd+rw" && m != "dvd-ram") || Info().blank == 0);  // written first
    const bool writeOnce = m == "cd-r" || m == "dvd-r" || m == "dvd+r";
    EXPECT_EQ(Vuz_EraseDisc(), writeOnce ? -7 : 1);
    const DiscInfo i = Info();
    EXPECT_EQ(i.blank, 1);
    EXPECT_EQ(i.writable, 1);
  }
}

TEST(SpeedsOnVirtualRecorder, CdRecorderProbe) {
  VirtualDisc disc("cd-r", "model=cd-recorder");
  uint16_t s[5] = {};
  ASSERT_EQ(Vuz_GetCdSpeedsEx(&s[0], &s[1], &s[2], &s[3], &s[4]), 1);
  EXPECT_TRUE(s[0] > 0 && s[1] > 0) << s[0] << " " << s[1];
  EXPECT_EQ(std::vector<uint16_t>(s + 2, s + 5), (std::vector<uint16_t>{48 * 176, 8448, 352}));
  // The probe leaves the drive at the slowest speed it tried, or the drive's nearest.
  ASSERT_EQ(Vuz_GetCdSpeeds(&s[0], &s[1], &s[2], &s[3]), 1);
  EXPECT_LE(s[1], 4 * 176);
}

TEST(SpeedsOnVirtualRecorder, DvdMediumCountsInDvdUnits) {
  VirtualDisc disc("dvd-r");
  uint16_t s[5] = {};
  ASSERT_EQ(Vuz_GetCdSpeedsEx(&s[0], &s[1], &s[2], &s[3], &s[4]), 1);
  EXPECT_EQ(s[3], 40 * 1385);  // the fastest probe the 16-bit field allows
  EXPECT_EQ(s[4], 2 * 1385);
}

TEST(WriteModesOnVirtualRecorder, FromTheFeatureList) {
  for (auto [options, wantTao, wantSao] : {std::tuple{"", 1, 1}, {"tao=0", 0, 1}, {"mastering=0", 1, 0}}) {
    SCOPED_TRACE(options);
    VirtualDisc disc("cd-r", options);
    int32_t tao = -1, sao = -1, raw = -1;
    EXPECT_EQ(Vuz_GetSupportedWriteModes(&tao, &sao, &raw), 1);
    EXPECT_EQ(std::vector<int32_t>({tao, sao, raw}), std::vector<int32_t>({wantTao, wantSao, wantSao}));
  }
}

}  // namespace
