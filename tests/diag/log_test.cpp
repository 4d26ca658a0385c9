// What lands in Record.log, byte for byte, and when nothing does.
#include <unistd.h>

#include <fstream>

#include "diag/log_fixture.h"
#include "diag/log_record.h"
#include "platform/files.h"
#include "platform/process_lock.h"
#include "support/pipe_guard.h"

namespace dorvik::test {
namespace {

using diag::LogSense;

void AppendText(const std::string& path, const std::string& text) {
  const std::string scrambled = diag::ScrambleLogText(text.c_str());
  diag::AppendLogRecord(path, scrambled.data(), scrambled.size());
}

TEST_F(LogTest, RecordBytesAreShiftedTextAndATextModeLineBreak) {
  AppendText(LogPath(), "abc");
  EXPECT_EQ(ReadBytes(LogPath()), "\x67\x68\x69\r\n");

  // 0xFA becomes 0 and is still written; 0x04 becomes a line feed, which
  // goes out as 0x0D 0x0A like the record's own.
  ASSERT_TRUE(platform::RemoveFile(LogPath()));
  AppendText(LogPath(), "\xFA\x04z");
  EXPECT_EQ(ReadBytes(LogPath()), std::string("\x00\r\n\x80\r\n", 6));

  ASSERT_TRUE(platform::RemoveFile(LogPath()));
  const std::string longText = std::string(250, 'x') + "ABCDEFGHIJ" + std::string(40, 'y');
  AppendText(LogPath(), longText);
  EXPECT_EQ(DecodeLog(ReadBytes(LogPath())), std::vector<std::string>{longText.substr(0, 255)});
}

TEST_F(LogTest, EveryByteButTheLineFeedsOwnComesBack) {
  std::string all;
  for (int b = 1; b < 256; ++b)
    if (b != 0x04) all += static_cast<char>(b);
  ASSERT_LE(all.size(), diag::kMaxRecordText);
  AppendText(LogPath(), all);
  EXPECT_EQ(DecodeLog(ReadBytes(LogPath())), std::vector<std::string>{all});
}

TEST_F(LogTest, AnEventIsTextSourceAndSense) {
  diag::LogEvent("BurnBegin_CDRW()", diag::kMediaPreparationSource, 202, LogSense{0x05, 0x24, 0x00, 0x02});
  diag::LogEvent("x", "m", -1, LogSense{0xAB, 0xFF, 0x10, 0});
  EXPECT_EQ(DecodeLog(ReadBytes(LogPath())),
            (std::vector<std::string>{"BurnBegin_CDRW()", "File:burn/media_preparation.cpp, Line:202",
                                      "SenseKey: 5, ASC:24, ASCQ: 0, SRBStatus: 2\n", "x", "File:m, Line:-1",
                                      "SenseKey:AB, ASC:FF, ASCQ:10, SRBStatus: 0\n"}));
}

TEST_F(LogTest, TextGetsALineBreakAndAZeroSenseAndLongPartsAreCut) {
  diag::LogText(diag::kMediaPreparationSource, 144, "HL-DT-ST DVDRAM GH22NS501.00");
  const std::string longName(400, 'n');
  diag::LogText(longName.c_str(), 144, std::string(300, 't').c_str());
  diag::LogEvent(nullptr, nullptr, 1, LogSense{});
  EXPECT_EQ(DecodeLog(ReadBytes(LogPath())),
            (std::vector<std::string>{"HL-DT-ST DVDRAM GH22NS501.00\n", "File:burn/media_preparation.cpp, Line:144",
                                      "SenseKey: 0, ASC: 0, ASCQ: 0, SRBStatus: 0\n",
                                      // the break after 259 characters falls beyond the 255 kept
                                      std::string(255, 't'), ("File:" + longName).substr(0, 255),
                                      "SenseKey: 0, ASC: 0, ASCQ: 0, SRBStatus: 0\n", "", "File:, Line:1",
                                      "SenseKey: 0, ASC: 0, ASCQ: 0, SRBStatus: 0\n"}));
}

TEST_F(LogTest, SwitchedOffLeavesNoTrace) {
  for (const char* value : {static_cast<const char*>(nullptr), "0", "", "yes"}) {
    SwitchLog(value);
    EXPECT_FALSE(diag::LogEnabled()) << (value ? value : "unset");
    diag::LogEvent("t", "f", 1, LogSense{});
    diag::LogText("f", 1, "t");
    AppendText(LogPath(), "t");
  }
  EXPECT_TRUE(platform::ListDirectory(folder.Path()).empty());
  SwitchLog("2");
  EXPECT_TRUE(diag::LogEnabled());
}

TEST_F(LogTest, LibraryLoadReadsTheSwitch) {
  SwitchLog("0");
  ::setenv("DORVIK_WRITE_LOG", "1", 1);
  {
    LibraryRestart library;
    EXPECT_TRUE(diag::LogEnabled());
  }
  ::setenv("DORVIK_WRITE_LOG", "0", 1);
  LibraryRestart library;
  EXPECT_FALSE(diag::LogEnabled());
}

TEST_F(LogTest, ALogOfTwoMebibytesStartsAfreshBeforeTheNextEvent) {
  const auto fill = [&](uint64_t size) { std::ofstream(LogPath(), std::ios::binary) << std::string(size, 'o'); };
  const std::vector<std::string> event{"new", "File:f, Line:7", "SenseKey: 0, ASC: 0, ASCQ: 0, SRBStatus: 0\n"};

  fill(diag::kLogRestartBytes - 1);
  diag::LogEvent("new", "f", 7, LogSense{});
  const std::string kept = ReadBytes(LogPath());
  EXPECT_EQ(kept.find_first_not_of('o'), diag::kLogRestartBytes - 1);
  EXPECT_EQ(DecodeLog(kept.substr(diag::kLogRestartBytes - 1)), event);

  fill(diag::kLogRestartBytes);
  diag::LogEvent("new", "f", 7, LogSense{});
  EXPECT_EQ(DecodeLog(ReadBytes(LogPath())), event);
}

TEST_F(LogTest, AFolderThatCannotBeWrittenDropsRecordsQuietly) {
  const std::string file = folder / "plain-file";
  std::ofstream(file) << "x";
  for (const std::string& dir : {file + "/sub", folder / "missing/deeper"}) {
    ::setenv("DORVIK_LOG_DIR", dir.c_str(), 1);
    diag::LogEvent("t", "f", 1, LogSense{});
    diag::LogText("f", 1, "t");
  }
  EXPECT_EQ(platform::ListDirectory(folder.Path()).size(), 1u);

  // A folder where the log file should be is neither written into nor
  // deleted when large.
  ::setenv("DORVIK_LOG_DIR", folder.Path().c_str(), 1);
  ASSERT_TRUE(platform::CreateFolder(LogPath()));
  diag::LogEvent("t", "f", 1, LogSense{});
  EXPECT_TRUE(platform::IsDirectory(LogPath()));
  EXPECT_TRUE(platform::ListDirectory(LogPath()).empty());
}

TEST_F(LogTest, ARecordWhoseTurnNeverComesIsDropped) {
  const ScopedEnv quick("DORVIK_TIME_SCALE", "0.001");
  platform::ProcessLock other("WRITE_LOG", LogPath() + ".lock");
  ASSERT_TRUE(other.TryAcquire());
  diag::LogEvent("held out", "f", 1, LogSense{});
  EXPECT_FALSE(platform::PathExists(LogPath()));
  other.Release();
  diag::LogEvent("let in", "f", 2, LogSense{});
  EXPECT_EQ(DecodeLog(ReadBytes(LogPath())).front(), "let in");
}

// The log's folder may be shared: a pipe or a link planted under the log's
// name (or its lock's) must neither stop a drive operation nor be written
// through.
TEST_F(LogTest, APipeOrLinkUnderTheLogsNameIsNeitherWaitedOnNorFollowed) {
  {
    PipeGuard pipe(LogPath(), PipeGuard::Against::Writers);
    ASSERT_TRUE(pipe.Made());
    diag::LogEvent("x", "m", 1, LogSense{});
    EXPECT_FALSE(pipe.Released()) << "logging waited on a pipe";
  }
  for (const std::string& name : {LogPath(), LogPath() + ".lock"}) platform::RemoveFile(name);
  const std::string victim = LogPath() + ".victim";
  std::ofstream(victim) << "keep";
  ASSERT_EQ(0, ::symlink(victim.c_str(), LogPath().c_str()));
  ASSERT_EQ(0, ::symlink(victim.c_str(), (LogPath() + ".lock").c_str()));
  diag::LogEvent("x", "m", 1, LogSense{});
  EXPECT_EQ("keep", ReadBytes(victim));
}

}  // namespace
}  // namespace dorvik::test
