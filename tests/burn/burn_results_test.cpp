// The job's failures as the host sees them: each result code, nothing
// written where the job stopped before writing, the log's records of a
// refused preparation, and bad arguments.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "burn_fixture.h"
#include "dorvik.h"

namespace dorvik::test {
namespace {

namespace fs = std::filesystem;

// Record.log's records: each byte less 6, records ended by CR LF.
std::vector<std::string> LogRecords(const std::string& path) {
  const Bytes bytes = ReadBytes(path);
  std::vector<std::string> records(1);
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      records.emplace_back();
      ++i;
    } else {
      records.back() += static_cast<char>(bytes[i] - 6);
    }
  }
  records.pop_back();
  return records;
}

size_t LayoutFiles(const std::string& folder) {
  size_t n = 0;
  for (const auto& e : fs::directory_iterator(folder)) n += e.path().extension() == ".bcd";
  return n;
}

TEST(JobResults, AClosedDiscsRoomCannotBeReadMinusFive) {
  Burner b("cd-r");
  b.AddTree();
  ASSERT_EQ(Vuz_WriteDataCDEx("FULL", 0, 0, 0, 0), 1);
  const Bytes before = ReadBytes(b.DiscPath());
  EXPECT_EQ(Vuz_WriteDataCD("AGAIN", 0, 0), DORVIK_E_FREE_SPACE);
  EXPECT_TRUE(ReadBytes(b.DiscPath()) == before);
}

TEST(JobResults, TooLittleRoomMinus124KeepsTheLayoutFileAndWritesNothing) {
  // Room for the image (1088 blocks) but not for it and the reserve.
  Burner b({"cd-r", "capacity=11000", "", {}, ""});
  b.AddTree();
  EXPECT_EQ(Vuz_WriteDataCD("BIG", 0, 0), DORVIK_E_TOO_BIG);
  EXPECT_EQ(b.DiscStatus(), 0);
  EXPECT_EQ(LayoutFiles(b.Tmp()), 1u);
  // Less room than the reserve itself is no room, not a wrapped-around lot.
  Burner tiny({"cd-r", "capacity=5000", "", {}, ""});
  tiny.AddTree();
  EXPECT_EQ(Vuz_WriteDataCD("TINY", 0, 0), DORVIK_E_TOO_BIG);
  EXPECT_EQ(tiny.DiscStatus(), 0);
}

TEST(JobResults, NotReadyAtTheTracksBeginningMinus700) {
  Burner b({"cd-r", "", "00=02/04/01", {}, ""});
  b.AddTree();
  EXPECT_EQ(Vuz_WriteDataCD("LATE", 0, 0), DORVIK_E_TRACK_NOT_READY);
  EXPECT_EQ(b.DiscStatus(), 0);
}

TEST(JobResults, RefusedPreparationMinus701IsLoggedWithTheDrivesName) {
  TempFolder logs;
  struct Case {
    const char* medium;
    const char* faults;
    const char* record;
    const char* line;
  };
  for (const Case& c : {Case{"cd-r", "55=05/26/00", "BurnBegin_CDRW()", "Line:202"},
                        Case{"dvd-ram", "55=05/26/00", "BurnBegin_DVDRAM()", "Line:370"},
                        Case{"dvd+r", "55=05/26/00", "BurnBegin_DVDPlusRW()", "Line:351"},
                        Case{"dvd+rw", "04=03/31/00", "BurnBegin_DVDPlusRW()", "Line:335"},
                        Case{"dvd-r", "55=05/26/00", "BurnBegin_DVDMinusRW()-SetWriteParam", "Line:243"},
                        // Ready when the track begins, never again after the reservation.
                        Case{"dvd-rw-seq", "00@2x*=02/04/08", "BurnBegin_DVDMinusRW()-TestUnitReady", "Line:252"}}) {
    SCOPED_TRACE(c.medium);
    fs::remove(logs / "Record.log");
    Burner b({c.medium, "", c.faults, {{"DORVIK_WRITE_LOG", "1"}, {"DORVIK_LOG_DIR", logs.Path()}}, ""});
    b.AddTree();
    b.Drive().SetReadyWaitLimit(60000);  // the flush's own readiness wait: a minute, not two hours
    EXPECT_EQ(Vuz_WriteDataCD("REFUSED", 0, 0), DORVIK_E_TRACK_PREPARE);
    const auto records = LogRecords(logs / "Record.log");
    // The drive's name (with a zero sense), then the failure with the drive's sense.
    ASSERT_EQ(records.size(), 6u);
    EXPECT_EQ(records[0].rfind("DORVIK  Virtual Recorder", 0), 0u) << records[0];
    EXPECT_EQ(records[1], "File:burn/media_preparation.cpp, Line:144");
    EXPECT_EQ(records[3], c.record);
    EXPECT_EQ(records[4], std::string("File:burn/media_preparation.cpp, ") + c.line);
    EXPECT_NE(records[5].find("SenseKey:"), std::string::npos);
    EXPECT_NE(records[5], records[2]) << "the failure's sense, not zeros";
    EXPECT_TRUE(b.Disc(0, 32) == Bytes(32 * 2048, 0));
  }
}

TEST(JobResults, MediaTheLibraryDoesNotWriteMinus702) {
  for (const char* medium : {"cd-rom", "dvd-rom"}) {
    SCOPED_TRACE(medium);
    TempFolder pressed;
    // A pressed disc with room enough that only its kind stops the job.
    {
      std::ofstream image(pressed / "disc.img", std::ios::binary);
      const Bytes iso = Burner::Composed("PRESSED", 0);
      image.write(reinterpret_cast<const char*>(iso.data()), static_cast<std::streamsize>(iso.size()));
    }
    fs::resize_file(pressed / "disc.img", 12000 * 2048);
    const Bytes before = ReadBytes(pressed / "disc.img", 0, 2048 * 64);
    ScopedEnv env;
    env.Set("DORVIK_VIRTUAL_OPTIONS", "");
    env.Set("DORVIK_VIRTUAL_FAULTS", "");
    LibraryRestart library(pressed / ("disc.img:" + std::string(medium)));
    ASSERT_EQ(Vuz_SetDevice(1), 1);
    Vuz_AddFiles(Burner::TreePath().c_str(), "\\", 0);
    EXPECT_EQ(Vuz_WriteDataCD("PRESSED", 0, 0), DORVIK_E_MEDIUM_UNSUPPORTED);
    EXPECT_TRUE(ReadBytes(pressed / "disc.img", 0, 2048 * 64) == before);
    EXPECT_EQ(fs::file_size(pressed / "disc.img"), 12000u * 2048);
  }
}

TEST(BadInput, LabelsAndCollections) {
  Burner b("dvd+rw");
  b.AddTree();
  // No label is an empty one; a long one is cut as the composer cuts it.
  ASSERT_EQ(Vuz_WriteDataCDEx(nullptr, 0, 0, 0, 0), 1);
  Bytes want = Burner::Composed("", 0);
  EXPECT_TRUE(b.Disc(0, want.size() / 2048) == want);
  const std::string longLabel(5000, 'L');
  ASSERT_EQ(Vuz_WriteDataCDEx(longLabel.c_str(), 0, 0, 0, 0), 1);
  want = Burner::Composed(longLabel, 0);
  EXPECT_TRUE(b.Disc(0, want.size() / 2048) == want);
  // An empty collection is an empty file system.
  ASSERT_EQ(Vuz_ClearFiles(), 1);
  ASSERT_EQ(Vuz_WriteDataCDEx("EMPTY", 0, 0, 0, 0), 1);
  std::string listing;
  DORVIK_REQUIRE_TOOL("xorriso");
  ASSERT_EQ(0, RunCommand("{ xorriso -indev " + Quote(b.DiscPath()) + " -find / 2>/dev/null ; }", &listing)) << listing;
  EXPECT_EQ(listing, "'/'\n");
  EXPECT_EQ(Vuz_WriteGetCurrBurnFileName(nullptr), 1);
}

TEST(BadInput, NoDeviceIsMinus8) {
  ScopedEnv env;
  env.Set("DORVIK_VIRTUAL_FAULTS", "");
  LibraryRestart library("");
  EXPECT_EQ(Vuz_WriteDataCD("X", 0, 0), DORVIK_E_NO_DEVICE);
  EXPECT_EQ(Vuz_WriteDataCDEx("X", 0, 0, 0, 0), DORVIK_E_NO_DEVICE);
  EXPECT_EQ(Vuz_WriteImageToCD("/x.iso", 0), DORVIK_E_NO_DEVICE);
  EXPECT_EQ(Vuz_WriteGetProgress(), 0);
}

// While a job writes to a drive, another job and every command to that
// drive are refused at once; another drive answers as usual. Asked from
// the job's own reader thread (the host's message handler), so the job is
// surely running.
TEST(BadInput, WhileAJobRunsOthersAreRefusedWithBusy) {
  Burner b({"cd-r", "", "", {}, "dvd-ram"});
  b.AddTree();
  Vuz_AddFiles("/proc/self/mem", "\\zz", 0);
  std::vector<int32_t> answers;
  HostMessages messages([&](const HostMessages::Message&) {
    int32_t blank = 0, writable = 0, profile = 0, tracks = 0;
    answers = {Vuz_WriteDataCD("SECOND", 0, 0), Vuz_WriteImageToCD("/x.iso", 0),
               Vuz_WriteDataCDEx("SECOND", 0, 0, 1, 1), Vuz_Unload(), Vuz_Load(), Vuz_EraseDisc(),
               Vuz_GetDiscInfo(&blank, &writable, &profile), Vuz_IsDeviceReady(),
               Vuz_GetDiscTracks(nullptr, 0, &tracks)};
    // The other drive is free.
    Vuz_SetDevice(2);
    answers.push_back(Vuz_GetDiscInfo(&blank, &writable, &profile));
    answers.push_back(profile);
    Vuz_SetDevice(1);
  });
  ASSERT_EQ(Vuz_SetMessageHandle(1, 0x401), 1);
  ASSERT_EQ(Vuz_WriteDataCDEx("FIRST", 0, 0, 0, 0), 1);
  EXPECT_EQ(answers, (std::vector<int32_t>{-20, -20, -20, -20, -20, -20, -20, -20, -20, 1, 0x12}));
  EXPECT_EQ(Vuz_IsDeviceReady(), 1) << "the job's own eject choice (off) held";
  EXPECT_EQ(b.DiscStatus(), 2);
}

}  // namespace
}  // namespace dorvik::test
