// The Linux extensions a host such as the dorvik program needs beyond the
// Windows exports: composing without a drive, choosing the layout, where a
// recorder is, what went wrong finding recorders, a disc's newest tree, the
// log's place.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "api/library.h"
#include "burn/previous_session_import.h"
#include "dorvik.h"
#include "iso/image_composer.h"
#include "support/recorded_disc.h"

namespace dorvik::test {
namespace {

struct ScopedEnv {
  std::string name;
  ScopedEnv(const char* n, const char* value) : name(n) { ::setenv(n, value, 1); }
  ~ScopedEnv() { ::unsetenv(name.c_str()); }
};

std::vector<uint8_t> ComposedTrack(uint32_t* sectors) {
  std::vector<uint8_t> image;
  if (Vuz_ComposeImage("LABEL", 0, 0, sectors) != DORVIK_OK) return image;
  image.resize(size_t{*sectors} * 2048);
  for (uint32_t at = 0; at < *sectors; at += 32)
    EXPECT_EQ(DORVIK_OK, Vuz_ComposeReadSectors(image.data() + size_t{at} * 2048, std::min(32u, *sectors - at)));
  return image;
}

size_t EntriesIn(const std::string& folder) {
  size_t n = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
  return n;
}

TEST(ComposeImage, HandsOutTheTrackAWriteStreamsAndCleansUp) {
  TempFolder work, tmp;
  ScopedEnv tmpdir("TMPDIR", tmp.Path().c_str());
  ScopedEnv epoch("SOURCE_DATE_EPOCH", "1700000000");
  LibraryRestart library;
  const size_t workspaceOnly = EntriesIn(tmp.Path());
  uint32_t sectors = 0;
  EXPECT_EQ(DORVIK_E_REFUSED, Vuz_ComposeReadSectors(nullptr, 0)) << "nothing composed yet";

  WriteFiles(work / "src", {{"a.txt", std::string(70000, 'a')}, {"b/c.mp3", "c"}});
  Vuz_AddFiles((work / "src").c_str(), "\\", 0);
  const std::vector<uint8_t> track = ComposedTrack(&sectors);
  ASSERT_FALSE(track.empty());
  EXPECT_EQ(0u, sectors % 32) << "whole writes of 32 sectors, as a write job's track";

  {
    // The same bytes as the composer gives a write job from the same collection.
    const std::string layout = work / "layout.bcd";
    Library::Get().collection->PrepareForWrite(layout, false, "LABEL");
    iso::ImageComposer composer;
    ASSERT_TRUE(composer.Compose(layout, 1, 1, Library::Get().collection->GetWorkspacePath(), 0));
    std::vector<uint8_t> direct(size_t{sectors} * 2048);
    composer.ReadNextSectors(direct.data(), composer.PaddedSize());
    EXPECT_TRUE(direct == track);
  }

  uint8_t past[2 * 2048];
  std::memset(past, 0xAA, sizeof past);
  EXPECT_EQ(DORVIK_OK, Vuz_ComposeReadSectors(past, 2));
  EXPECT_TRUE(std::all_of(past, past + sizeof past, [](uint8_t b) { return b == 0; })) << "past the end: zeros";

  EXPECT_EQ(DORVIK_OK, Vuz_ComposeEnd());
  EXPECT_EQ(DORVIK_E_REFUSED, Vuz_ComposeReadSectors(past, 1));
  // With a playlist, its file goes at the end as well.
  ASSERT_EQ(DORVIK_OK, Vuz_ComposeImage("", 1, 0, &sectors));
  EXPECT_GT(EntriesIn(tmp.Path()), workspaceOnly);
  Vuz_ComposeEnd();
  EXPECT_EQ(workspaceOnly, EntriesIn(tmp.Path())) << "only the workspace stays in the temporary folder";
}

TEST(ComposeImage, TheHostsLayoutStandsBeforeTheSetting) {
  TempFolder work;
  ScopedEnv setting("DORVIK_ISO_LAYOUT", "classic");
  LibraryRestart library;
  WriteFiles(work / "src", {{"a.txt", "a"}});
  Vuz_AddFiles((work / "src/a.txt").c_str(), "\\", 0);
  auto jolietVersion = [] {
    uint32_t sectors = 0;
    const std::vector<uint8_t> track = ComposedTrack(&sectors);
    Vuz_ComposeEnd();
    return track.size() > 17 * 2048 + 881 ? track[17 * 2048 + 881] : 0xFF;
  };
  EXPECT_EQ(0, jolietVersion());
  EXPECT_EQ(DORVIK_OK, Vuz_SetImageLayout(DORVIK_LAYOUT_INTERCHANGE));
  EXPECT_EQ(1, jolietVersion());
  EXPECT_EQ(DORVIK_E_REFUSED, Vuz_SetImageLayout(7));
  EXPECT_EQ(1, jolietVersion()) << "a refused value changes nothing";
  EXPECT_EQ(DORVIK_OK, Vuz_SetImageLayout(DORVIK_LAYOUT_SETTING));
  EXPECT_EQ(0, jolietVersion());
}

TEST(DeviceLocation, TellsSoftwareRecordersAndTheInertEntryApart) {
  TempFolder folder;
  LibraryRestart library(folder / "disc.img:dvd+rw");
  int32_t kind = -1;
  char location[512];
  EXPECT_EQ(DORVIK_E_NO_DEVICE, Vuz_GetDeviceLocation(&kind, location, sizeof location));
  const int32_t id = static_cast<int32_t>(Library::Get().registry.Count()) - 1;  // the last recorder before id 0
  ASSERT_EQ(DORVIK_OK, Vuz_SetDevice(id));
  ASSERT_EQ(DORVIK_OK, Vuz_GetDeviceLocation(&kind, location, sizeof location));
  EXPECT_EQ(DORVIK_DEVICE_SOFTWARE, kind);
  EXPECT_EQ(folder / "disc.img", location);
  char small[5];
  ASSERT_EQ(DORVIK_OK, Vuz_GetDeviceLocation(&kind, small, sizeof small));
  EXPECT_EQ(std::string(folder.Path().substr(0, 4)), small) << "cut, and terminated";
  ASSERT_EQ(DORVIK_OK, Vuz_SetDevice(0));
  ASSERT_EQ(DORVIK_OK, Vuz_GetDeviceLocation(&kind, location, sizeof location));
  EXPECT_EQ(DORVIK_DEVICE_INERT, kind);
  EXPECT_STREQ("", location);
}

TEST(SetupProblems, EachBadEntryIsKeptWithWhatWasDone) {
  TempFolder folder;
  WriteFiles(folder.Path(), {{"pressed.iso", std::string(4096, 'x')}});
  LibraryRestart library(folder / "x.img:cdrw;" + folder / "pressed.iso:cd-r;" + folder / "no/such/folder.img");
  EXPECT_FALSE(std::filesystem::exists(folder / "x.img:cdrw")) << "a misspelt medium names no file";
  int32_t count = -1;
  ASSERT_EQ(DORVIK_OK, Vuz_GetSetupProblems(nullptr, 0, &count));
  ASSERT_EQ(3, count);
  DorvikSetupProblem problems[3];
  problems[1].kind = 77;
  ASSERT_EQ(DORVIK_OK, Vuz_GetSetupProblems(problems, 1, &count));
  EXPECT_EQ(77, problems[1].kind) << "nothing written past the capacity";
  ASSERT_EQ(DORVIK_OK, Vuz_GetSetupProblems(problems, 3, &count));
  EXPECT_EQ(DORVIK_PROBLEM_SETTING, problems[0].kind);
  EXPECT_EQ(folder / "x.img:cdrw", problems[0].subject);
  EXPECT_NE(nullptr, std::strstr(problems[0].text, "did you mean cd-rw?")) << problems[0].text;
  EXPECT_EQ(0, problems[0].deviceId);
  // The image is still a recorder, not the blank CD-R the entry asked for.
  EXPECT_NE(0, problems[1].deviceId);
  EXPECT_NE(nullptr, std::strstr(problems[1].text, "pressed cd-rom")) << problems[1].text;
  EXPECT_EQ(DORVIK_OK, Vuz_SetDevice(problems[1].deviceId));
  EXPECT_NE(nullptr, std::strstr(problems[2].text, "does not exist")) << problems[2].text;
}

struct Listed {
  std::string path;
  int32_t folder;
  int64_t size, modified;
  uint32_t extent;
};

std::vector<Listed> ListDisc(int32_t* track, int32_t* result, size_t stopAfter = SIZE_MAX) {
  struct Context {
    std::vector<Listed> entries;
    size_t stopAfter;
  } context{{}, stopAfter};
  *result = Vuz_ListDiscFiles(
      [](void* c, const DorvikDiscEntry* e) -> int32_t {
        auto& ctx = *static_cast<Context*>(c);
        ctx.entries.push_back({e->path, e->isFolder, e->size, e->modified, e->extent});
        return ctx.entries.size() < ctx.stopAfter ? 1 : 0;
      },
      &context, track);
  return context.entries;
}

TEST(DiscListing, TheNewestSessionCarriesEveryFileWithItsSizeAndDate) {
  TempFolder folder;
  ScopedEnv epoch("SOURCE_DATE_EPOCH", "1700000000");
  LibraryRestart library(folder / "disc.img:cd-r");
  ASSERT_EQ(DORVIK_OK, Vuz_SetDevice(static_cast<int32_t>(Library::Get().registry.Count()) - 1));
  int32_t track = -1, result = 0;
  EXPECT_TRUE(ListDisc(&track, &result).empty());
  EXPECT_EQ(DORVIK_E_REFUSED, result) << "a blank disc has no tree";

  RecordedDisc disc(*Library::Get().CurrentRecorder(), folder / "disc.img", "cd-r");
  WriteFiles(folder / "one", {{"first.txt", std::string(5000, '1')}, {"docs/deep.txt", "d"}});
  WriteFiles(folder / "two", {{"second.txt", "22"}});
  FileCollection first;
  first.AddFiles(folder / "one", "\\", false);
  disc.WriteSession(first, true, folder.Path());
  // The second session carries the first's files over, as a write would.
  FileCollection second;
  second.AddFiles(folder / "two", "\\", false);
  ImportPreviousSession(disc.drive(), second, false);
  const uint32_t secondStart = disc.WriteSession(second, true, folder.Path());

  const std::vector<Listed> entries = ListDisc(&track, &result);
  ASSERT_EQ(DORVIK_OK, result);
  EXPECT_EQ(2, track);
  std::map<std::string, Listed> byPath;
  for (const auto& e : entries) byPath[e.path] = e;
  for (const char* path : {"\\two\\", "\\two\\second.txt", "\\one\\", "\\one\\first.txt", "\\one\\docs\\", "\\one\\docs\\deep.txt"})
    EXPECT_EQ(1u, byPath.count(path)) << path;
  EXPECT_EQ(5000, byPath["\\one\\first.txt"].size);
  EXPECT_EQ(2, byPath["\\two\\second.txt"].size);
  EXPECT_LT(byPath["\\one\\first.txt"].extent, secondStart) << "an old file stays where the first session put it";
  EXPECT_GE(byPath["\\two\\second.txt"].extent, secondStart);
  // The file's time, clamped to SOURCE_DATE_EPOCH, as the record gives it
  // (the classic layout writes a fixed zone offset, which moves it by half an hour).
  EXPECT_NEAR(1700000000, byPath["\\two\\second.txt"].modified, 3600);
  // A folder comes before what it holds.
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].path != "\\one\\docs\\deep.txt") continue;
    EXPECT_TRUE(std::any_of(entries.begin(), entries.begin() + i, [](const Listed& e) { return e.path == "\\one\\docs\\"; }));
  }

  EXPECT_EQ(1u, ListDisc(&track, &result, 1).size()) << "the host stops the walk";
}

TEST(DiscListing, AnInterruptedTrackLeavesTheSessionBeforeItListed) {
  TempFolder folder;
  LibraryRestart library(folder / "disc.img:cd-r");
  ASSERT_EQ(DORVIK_OK, Vuz_SetDevice(static_cast<int32_t>(Library::Get().registry.Count()) - 1));
  RecordedDisc disc(*Library::Get().CurrentRecorder(), folder / "disc.img", "cd-r");
  WriteFiles(folder / "one", {{"kept.txt", "k"}});
  FileCollection first;
  first.AddFiles(folder / "one/kept.txt", "\\", false);
  disc.WriteSession(first, true, folder.Path());
  // A track begun and never closed: what a write stopped mid-way leaves.
  int32_t nwa = 0;
  ASSERT_EQ(0, disc.drive().NextWritableAddress(&nwa));
  std::vector<uint8_t> junk(32 * 2048, 0x5A);
  ASSERT_EQ(0, disc.drive().Write10(static_cast<uint32_t>(nwa), junk.data(), 16 * 2048, 16));

  int32_t track = -1, result = 0;
  const std::vector<Listed> entries = ListDisc(&track, &result);
  ASSERT_EQ(DORVIK_OK, result);
  EXPECT_EQ(1, track);
  ASSERT_EQ(1u, entries.size());
  EXPECT_EQ("\\kept.txt", entries[0].path);
}

TEST(LogPath, FollowsTheLogFolderSetting) {
  ScopedEnv dir("DORVIK_LOG_DIR", "/var/tmp/dorvik-logs");
  char path[64];
  ASSERT_EQ(DORVIK_OK, Vuz_GetLogPath(path, sizeof path));
  EXPECT_STREQ("/var/tmp/dorvik-logs/Record.log", path);
  char small[8];
  EXPECT_EQ(DORVIK_E_REFUSED, Vuz_GetLogPath(small, sizeof small));
}

}  // namespace
}  // namespace dorvik::test

namespace dorvik::test {
namespace {

// The read-back check compares the disc with what was sent, not with a new
// composition: a byte changed in the disc file behind the library's back
// is found at its sector, and a write that recorded nothing has nothing to
// compare.
TEST(VerifyWrittenTrack, FindsASectorChangedOnTheDiscAfterTheWrite) {
  TempFolder folder;
  LibraryRestart library(folder / "disc.img:cd-r");
  ASSERT_EQ(DORVIK_OK, Vuz_SetDevice(static_cast<int32_t>(Library::Get().registry.Count()) - 1));
  DorvikVerifyReport report{};
  EXPECT_EQ(0, Vuz_VerifyWrittenTrack(&report)) << "nothing written yet";
  WriteFiles(folder / "src", {{"data.bin", std::string(300000, 'x')}});
  Vuz_AddFiles((folder / "src").c_str(), "\\", 0);

  ASSERT_EQ(DORVIK_OK, Vuz_WriteDataCDEx("T", 0, 1, 0, 0));
  EXPECT_EQ(0, Vuz_VerifyWrittenTrack(&report)) << "a simulated write records nothing";

  ASSERT_EQ(DORVIK_OK, Vuz_WriteDataCDEx("T", 0, 0, 0, 0));
  ASSERT_EQ(DORVIK_OK, Vuz_VerifyWrittenTrack(&report));
  EXPECT_EQ(0u, report.differing);
  EXPECT_GE(report.sectors, 300000u / 2048);

  const uint32_t changed = report.start + 100;
  {
    std::fstream disc(folder / "disc.img", std::ios::in | std::ios::out | std::ios::binary);
    disc.seekp(std::streamoff{changed} * 2048 + 7);
    disc.put('!');
  }
  ASSERT_EQ(DORVIK_OK, Vuz_VerifyWrittenTrack(&report));
  EXPECT_EQ(1u, report.differing);
  EXPECT_EQ(changed, report.firstDiffering);

  EXPECT_EQ(DORVIK_E_REFUSED, Vuz_VerifyWrittenTrack(nullptr));
  ASSERT_EQ(DORVIK_OK, Vuz_SetDevice(0));
  EXPECT_EQ(0, Vuz_VerifyWrittenTrack(&report)) << "the track was written to another recorder";
}

}  // namespace
}  // namespace dorvik::test
