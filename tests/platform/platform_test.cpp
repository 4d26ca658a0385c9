// The platform layer's promises that the rest of the library leans on.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "platform/clock.h"
#include "platform/files.h"
#include "platform/large_file.h"
#include "platform/settings.h"
#include "platform/sleep.h"
#include "platform/text.h"
#include "support/library_fixture.h"

namespace dorvik::platform {
namespace {

// Sets an environment variable for the life of the object.
struct ScopedEnv {
  std::string name;
  std::optional<std::string> old;
  ScopedEnv(const char* n, const char* value) : name(n) {
    if (const char* o = std::getenv(n)) old = o;
    if (value) ::setenv(n, value, 1);
    else ::unsetenv(n);
  }
  ~ScopedEnv() {
    if (old) ::setenv(name.c_str(), old->c_str(), 1);
    else ::unsetenv(name.c_str());
  }
};

TEST(LargeFile, SixtyFourBitOffsetsAndLength) {
  test::TempFolder dir;
  LargeFile f(dir / "big", LargeFile::Mode::Create);
  const uint64_t far = (5ull << 30) + 17;  // beyond 32 bits, sparse
  f.SetLength(far + 4);
  EXPECT_EQ(f.Length(), far + 4);
  EXPECT_EQ(f.Seek(static_cast<int64_t>(far)), far);
  f.Write("abcd", 4);
  EXPECT_EQ(f.Seek(-4, LargeFile::Origin::End), far);
  char buf[8] = {};
  EXPECT_EQ(f.Read(buf, 8), 4u);  // short only at the end
  EXPECT_EQ(std::string(buf, 4), "abcd");
  f.LockRange(far, 4);
  f.UnlockRange(far, 4);
  // At an offset: the position stays where Seek left it.
  f.Seek(10);
  f.WriteAt(far + 2, "XY", 2);
  EXPECT_EQ(f.ReadAt(far, buf, 8), 4u);
  EXPECT_EQ(std::string(buf, 4), "abXY");
  EXPECT_EQ(f.Seek(0, LargeFile::Origin::Current), 10u);
}

TEST(LargeFile, FailuresCarryCodeAndName) {
  test::TempFolder dir;
  const std::string missing = dir / "missing";
  try {
    LargeFile f(missing, LargeFile::Mode::Read);
    FAIL() << "opened a missing file";
  } catch (const FileError& e) {
    EXPECT_EQ(e.Code(), ENOENT);
    EXPECT_EQ(e.Path(), missing);
  }
  EXPECT_THROW(LargeFile(dir.Path(), LargeFile::Mode::Read), FileError);  // a folder is no file
}

TEST(Files, DirectoryListingIsSortedBytewiseAndSkipsSpecials) {
  test::TempFolder dir;
  for (const char* n : {"b", "B", "a", "\xc3\xa9t\xc3\xa9", "_x"}) std::ofstream(dir / n) << n;
  CreateFolder(dir / "A");
  ::mkfifo((dir / "fifo").c_str(), 0600);
  ::symlink("nowhere", (dir / "dangling").c_str());
  ::symlink("a", (dir / "link").c_str());
  std::vector<std::string> names;
  for (const auto& e : ListDirectory(dir.Path())) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "_x", "a", "b", "link", "\xc3\xa9t\xc3\xa9"}));
  auto entries = ListDirectory(dir.Path());
  EXPECT_TRUE(entries[0].isDirectory);
  EXPECT_TRUE(entries[5].isSymlink);
  EXPECT_EQ(entries[5].size, 1u);
  EXPECT_TRUE(ListDirectory(dir / "none").empty());
}

TEST(Files, TemporaryDirectoryEndsWithSeparator) {
  test::TempFolder dir;
  {
    ScopedEnv tmp("TMPDIR", dir.Path().c_str());
    EXPECT_EQ(TempDirectory(), dir.Path() + "/");
  }
  ScopedEnv tmp("TMPDIR", (dir / "not-there").c_str());
  EXPECT_EQ(TempDirectory(), "");
}

TEST(LargeFile, AScratchFileHasNoNameAndStartsEmpty) {
  test::TempFolder dir;
  LargeFile f;
  f.OpenScratch(dir.Path());
  const uint64_t far = 5ull << 30;
  f.WriteAt(0, "sums", 4);
  f.WriteAt(far, "sums", 4);
  char back[4] = {};
  EXPECT_EQ(f.ReadAt(far, back, 4), 4u);
  EXPECT_EQ(std::string(back, 4), "sums");
  EXPECT_TRUE(ListDirectory(dir.Path()).empty());
  f.OpenScratch(dir.Path() + "/");
  EXPECT_EQ(f.Length(), 0u);
  EXPECT_TRUE(ListDirectory(dir.Path()).empty());
  // No folder, no file: never one in the current folder instead.
  EXPECT_THROW(f.OpenScratch(""), FileError);
  EXPECT_THROW(f.OpenScratch(dir / "not-there"), FileError);
  EXPECT_FALSE(f.IsOpen());
}

TEST(Sleep, TimeScaleMultipliesEveryWait) {
  {
    ScopedEnv scale("DORVIK_TIME_SCALE", "0.001");
    EXPECT_EQ(ScaledMicroseconds(5000), 5000u);
  }
  {
    ScopedEnv scale("DORVIK_TIME_SCALE", nullptr);
    EXPECT_EQ(ScaledMicroseconds(5000), 5000000u);
  }
  ScopedEnv scale("DORVIK_TIME_SCALE", "garbage");
  EXPECT_EQ(ScaledMicroseconds(2), 2000u);  // a bad value falls back to real time
}

TEST(Settings, EnvironmentStandsInForTheRegistry) {
  ScopedEnv log("DORVIK_WRITE_LOG", "1");
  ScopedEnv type("DORVIK_WRITE_TYPE", "0x2");
  ScopedEnv file("DORVIK_TEMP_FILE", "/tmp/out.bin");
  EXPECT_EQ(ReadNumberSetting(Setting::WriteLog), 1u);
  EXPECT_EQ(ReadNumberSetting(Setting::WriteType), 2u);
  EXPECT_EQ(ReadTextSetting(Setting::TempFile), "/tmp/out.bin");
  ScopedEnv bad("DORVIK_WRITE_TYPE", "two");
  EXPECT_EQ(ReadNumberSetting(Setting::WriteType), std::nullopt);
  ScopedEnv dir("DORVIK_LOG_DIR", "/var/log/dorvik");
  EXPECT_EQ(LogFolder(), "/var/log/dorvik/");
}

TEST(Clock, SourceDateEpochFixesTheClockInUtc) {
  ScopedEnv epoch("SOURCE_DATE_EPOCH", "1700000000");
  ScopedEnv tz("TZ", "America/New_York");
  EXPECT_EQ(Now(), 1700000000);
  auto t = ToLocal(Now());
  EXPECT_EQ(t.year, 2023);
  EXPECT_EQ(t.month, 11);
  EXPECT_EQ(t.day, 14);
  EXPECT_EQ(t.hour, 22);
  EXPECT_EQ(t.minute, 13);
  EXPECT_EQ(t.second, 20);
  EXPECT_EQ(t.utcOffsetMinutes, 0);
}

TEST(Clock, SourceDateEpochClampsOnlyLaterFileTimes) {
  {
    ScopedEnv none("SOURCE_DATE_EPOCH", nullptr);
    EXPECT_EQ(ClampToSourceDate(1800000000), 1800000000) << "no clamp without the setting";
  }
  ScopedEnv epoch("SOURCE_DATE_EPOCH", "1700000000");
  EXPECT_EQ(ClampToSourceDate(1800000000), 1700000000);
  EXPECT_EQ(ClampToSourceDate(1700000000), 1700000000);
  EXPECT_EQ(ClampToSourceDate(1600000000), 1600000000) << "an older file keeps its time";
}

TEST(Text, Ucs2ConversionRefusesWhatJolietCannotHold) {
  EXPECT_EQ(ToUcs2("A\xc3\xa9\xe2\x82\xac"), std::u16string(u"A\u00e9\u20ac"));
  EXPECT_EQ(ToUcs2("\xf0\x9f\x98\x80"), std::nullopt);   // beyond the BMP
  EXPECT_EQ(ToUcs2("\xc3"), std::nullopt);               // truncated
  EXPECT_EQ(ToUcs2("\xc0\xaf"), std::nullopt);           // overlong
  EXPECT_EQ(ToUcs2("\xed\xa0\x80"), std::nullopt);       // surrogate
}

TEST(Text, LenientDecodingGivesEveryByteStringASpelling) {
  const char32_t r = kReplacementCharacter;
  EXPECT_EQ(DecodeUtf8Leniently("A\xc3\xa9\xf0\x9f\x98\x80"), std::u32string(U"A\u00e9\U0001F600"));
  // Each byte that starts no well-formed sequence is one replacement, and
  // the bytes after it are read afresh.
  EXPECT_EQ(DecodeUtf8Leniently("caf\xe9.txt"), (std::u32string{U'c', U'a', U'f', r, U'.', U't', U'x', U't'}));
  EXPECT_EQ(DecodeUtf8Leniently("\xc0\xaf" "a"), (std::u32string{r, r, U'a'}));      // overlong
  EXPECT_EQ(DecodeUtf8Leniently("\xed\xa0\x80"), (std::u32string{r, r, r}));         // encoded surrogate
  EXPECT_EQ(DecodeUtf8Leniently("\xe2\x82"), (std::u32string{r, r}));                 // cut short
  EXPECT_EQ(DecodeUtf8Leniently("\xf4\x90\x80\x80"), (std::u32string{r, r, r, r}));  // past U+10FFFF
  EXPECT_EQ(ToUtf16(U"a\U0001F600\uFFFD"), std::u16string(u"a\xD83D\xDE00\xFFFD"));
}

}  // namespace
}  // namespace dorvik::platform
