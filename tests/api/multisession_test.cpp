// Appending sessions through the C exports, each session written by a
// process of its own (tests/host/append_session over the shared library)
// as a user's program would on different days, and each session read back
// from the disc file by xorriso.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>
#include <set>

#include "dorvik.h"
#include "support/recorded_disc.h"

namespace dorvik::test {
namespace {

using Tree = std::map<std::string, std::string>;

const std::string kAppendHost = DORVIK_BINARY_DIR "/tests/host/append_session";

// A tree's files and, for each of their folders, "folder/".
Tree WithFolders(const Tree& files) {
  Tree out = files;
  for (const auto& [path, content] : files)
    for (size_t cut = path.find('/'); cut != std::string::npos; cut = path.find('/', cut + 1))
      out[path.substr(0, cut + 1)] = "";
  return out;
}

Tree Union(std::initializer_list<Tree> trees) {
  Tree all;
  for (const auto& t : trees) all.insert(t.begin(), t.end());
  return all;
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Multisession : public ::testing::TestWithParam<std::string> {
 protected:
  std::string Medium() const { return GetParam(); }
  std::string Drives() const { return image + ":" + Medium(); }

  // One session by a process of its own; the host's exit status (0 when the
  // write returned 1).
  int Append(bool leaveOpen, const std::vector<std::string>& arguments, std::string* output = nullptr) {
    std::string command = "DORVIK_TIME_SCALE=0.001 DORVIK_VIRTUAL_DRIVES='" + Drives() + "' " + kAppendHost +
                          (leaveOpen ? " 1" : " 0") + " LABEL";
    for (const auto& a : arguments) command += " '" + a + "'";
    std::string out;
    const int status = RunCommand(command, &out);
    if (output) *output = out;
    return status;
  }

  // The disc as this process's library sees it, between two writers.
  std::vector<DorvikTrack> Tracks() {
    LibraryRestart library(Drives());
    EXPECT_EQ(DORVIK_OK, Vuz_SetDevice(1));
    int32_t count = 0;
    Vuz_GetDiscTracks(nullptr, 0, &count);
    std::vector<DorvikTrack> tracks(static_cast<size_t>(std::max(count, 0)));
    EXPECT_EQ(DORVIK_OK, Vuz_GetDiscTracks(tracks.data(), count, &count));
    return tracks;
  }
  uint64_t FreeBytes() {
    LibraryRestart library(Drives());
    EXPECT_EQ(DORVIK_OK, Vuz_SetDevice(1));
    int32_t blank = 0, writable = 0, profile = 0;
    uint64_t free = 0;
    EXPECT_EQ(DORVIK_OK, Vuz_GetDiscInfoEx(&blank, &writable, &profile, &free));
    return free;
  }
  // The last session that holds a track: its start and size.
  std::pair<uint32_t, uint32_t> NewestSession() {
    for (const auto& t : [&] { auto v = Tracks(); std::reverse(v.begin(), v.end()); return v; }())
      if (t.state != DORVIK_TRACK_BLANK) return {static_cast<uint32_t>(t.start), static_cast<uint32_t>(t.size)};
    ADD_FAILURE() << "no written track";
    return {0, 0};
  }
  // Where xorriso finds a file's data when it loads the session at start.
  long DataLba(uint32_t start, const std::string& path) {
    std::string out;
    EXPECT_EQ(0, RunCommand("xorriso -rom_toc_scan force -load sbsector " + std::to_string(start) + " -indev '" +
                                image + "' -find '" + path + "' -exec report_lba",
                            &out))
        << out;
    std::smatch m;
    if (!std::regex_search(out, m, std::regex(R"(File data lba:\s*\d+\s*,\s*(\d+))"))) {
      ADD_FAILURE() << out;
      return -1;
    }
    return std::stol(m[1]);
  }
  Tree Extract(uint32_t start) {
    RecordedDisc reader(image, Medium());  // only its path is used
    return reader.Extract(start, dir / ("x" + std::to_string(start)));
  }

  TempFolder dir;
  std::string image = dir / "disc.img";
};

TEST_P(Multisession, EverySessionShowsTheUnionAndHoldsOnlyItsOwnFiles) {
  DORVIK_REQUIRE_TOOL("xorriso");
  const Tree first = {{"big.bin", std::string(4 << 20, 'B')}, {"docs/one.txt", "one"}, {"gone.txt", "kept"}};
  const Tree second = {{"docs/two.txt", "two"}, {"music/song.mp3", "la la"}};
  const Tree third = {{"docs/deep/three.txt", "three"}, {"z.txt", "zed"}};
  WriteFiles(dir / "s1", first);
  WriteFiles(dir / "s2", second);
  WriteFiles(dir / "s3", third);

  std::string out;
  ASSERT_EQ(0, Append(true, {dir / "s1/big.bin", dir / "s1/docs", dir / "s1/gone.txt"}, &out)) << out;
  const auto one = NewestSession();
  EXPECT_EQ(WithFolders(first), Extract(one.first));
  EXPECT_GT(FreeBytes(), 0u);
  const long bigLba = DataLba(one.first, "/big.bin"), oneLba = DataLba(one.first, "/docs/one.txt");

  // A delete of an old path before the write finds nothing: the old file stays.
  ASSERT_EQ(0, Append(true, {dir / "s2/docs", dir / "s2/music", "-\\gone.txt"}, &out)) << out;
  const auto two = NewestSession();
  EXPECT_GT(two.first, one.first);
  EXPECT_LT(two.second, 1024u);  // the 4 MiB file is not written again
  EXPECT_EQ(WithFolders(Union({first, second})), Extract(two.first));

  ASSERT_EQ(0, Append(true, {dir / "s3/docs", dir / "s3/z.txt"}, &out)) << out;
  const auto three = NewestSession();
  EXPECT_LT(three.second, 1024u);
  EXPECT_EQ(WithFolders(Union({first, second, third})), Extract(three.first));
  EXPECT_EQ(WithFolders(first), Extract(one.first));  // the first session is still itself
  for (const uint32_t start : {two.first, three.first}) {  // old files where they were written
    EXPECT_EQ(bigLba, DataLba(start, "/big.bin"));
    EXPECT_EQ(oneLba, DataLba(start, "/docs/one.txt"));
  }
  EXPECT_GT(DataLba(three.first, "/z.txt"), long(three.first));
  EXPECT_EQ(4u, Tracks().size());                       // three sessions and the blank track after them
}

TEST_P(Multisession, AClosedDiscRefusesAnotherSessionBeforeWritingAnything) {
  WriteFiles(dir / "s", {{"a.txt", "a"}, {"b.txt", "b"}});
  std::string out;
  ASSERT_EQ(0, Append(false, {dir / "s/a.txt"}, &out)) << out;
  EXPECT_EQ(0u, FreeBytes());
  for (const auto& t : Tracks()) EXPECT_EQ(1, t.sessionClosed);

  const std::string disc = Bytes(image), state = Bytes(image + ".state");
  EXPECT_NE(0, Append(true, {dir / "s/b.txt"}, &out)) << out;
  EXPECT_NE(std::string::npos, out.find("result: -5")) << out;  // a closed disc has no room to tell
  EXPECT_TRUE(disc == Bytes(image)) << "the disc file changed";
  EXPECT_EQ(state, Bytes(image + ".state"));
}

// Names met in both sessions. A new file of an old file's name is listed
// first and the old one after it, both on the disc; a new folder merges with
// the old one; where the kinds differ the new entry stands and the old one
// is left out with all it holds, so no folder lists a file and a folder of
// one name.
TEST_P(Multisession, NamesInBothSessions) {
  DORVIK_REQUIRE_TOOL("xorriso");
  DORVIK_REQUIRE_TOOL("isoinfo");
  WriteFiles(dir / "s1", {{"a.txt", "first a"}, {"docs/one.txt", "one"}, {"notes", "old notes"},
                          {"pics/old.png", "old png"}});
  WriteFiles(dir / "s2", {{"a.txt", "second a"}, {"docs", "a file now"}, {"notes/x.txt", "x"},
                          {"pics/new.png", "new png"}});
  std::string out;
  ASSERT_EQ(0, Append(true, {dir / "s1/a.txt", dir / "s1/docs", dir / "s1/notes", dir / "s1/pics"}, &out)) << out;
  const uint32_t first = NewestSession().first;
  const long oldA = DataLba(first, "/a.txt");
  ASSERT_EQ(0, Append(true, {dir / "s2/a.txt", dir / "s2/docs", dir / "s2/notes", dir / "s2/pics"}, &out)) << out;
  const uint32_t second = NewestSession().first;

  Tree got = Extract(second);
  // xorriso keeps one a.txt under its name and renames the other.
  std::multiset<std::string> as;
  for (auto it = got.begin(); it != got.end();)
    if (it->first.rfind("a", 0) == 0 && it->first.find('/') == std::string::npos) {
      as.insert(it->second);
      it = got.erase(it);
    } else {
      ++it;
    }
  EXPECT_EQ((std::multiset<std::string>{"first a", "second a"}), as);
  const Tree rest = {{"docs", "a file now"},  {"notes/", ""},           {"notes/x.txt", "x"},
                     {"pics/", ""},           {"pics/new.png", "new png"}, {"pics/old.png", "old png"}};
  EXPECT_EQ(rest, got);

  // The root lists the new a.txt first, the old one after it at its old extent.
  std::string listing;
  ASSERT_EQ(0, RunCommand("isoinfo -l -J -i '" + image + "' -T " + std::to_string(second), &listing)) << listing;
  std::vector<long> extents;
  const std::regex record(R"(\[\s*(\d+) 00\]\s+a\.txt\s)");
  for (std::sregex_iterator it(listing.begin(), listing.end(), record), end; it != end; ++it)
    extents.push_back(std::stol((*it)[1]));
  ASSERT_EQ(2u, extents.size()) << listing;
  EXPECT_GE(extents[0], long(second));
  EXPECT_EQ(oldA, extents[1]);
}

INSTANTIATE_TEST_SUITE_P(Cd, Multisession, ::testing::Values("cd-r", "cd-rw"),
                         [](const auto& info) { return info.param == "cd-r" ? "CdR" : "CdRw"; });

struct Appending : ::testing::Test {
  int Append(const std::string& drives, const std::vector<std::string>& arguments, std::string* output) {
    std::string command =
        "DORVIK_TIME_SCALE=0.001 DORVIK_VIRTUAL_DRIVES='" + drives + "' " + kAppendHost + " 1 LABEL";
    for (const auto& a : arguments) command += " '" + a + "'";
    return RunCommand(command, output);
  }
  uint32_t NewestStart(const std::string& drives) {
    LibraryRestart library(drives);
    EXPECT_EQ(DORVIK_OK, Vuz_SetDevice(1));
    DorvikTrack tracks[8] = {};
    int32_t count = 0;
    EXPECT_EQ(DORVIK_OK, Vuz_GetDiscTracks(tracks, 8, &count));
    for (int32_t i = std::min(count, 8); i-- > 0;)
      if (tracks[i].state != DORVIK_TRACK_BLANK) return static_cast<uint32_t>(tracks[i].start);
    return 0;
  }
  TempFolder dir;
};

TEST_F(Appending, APrimaryOnlySessionLendsItsPrimaryNames) {
  DORVIK_REQUIRE_TOOL("genisoimage");
  DORVIK_REQUIRE_TOOL("xorriso");
  WriteFiles(dir / "old", {{"Makefile", "make"}, {"readme.txt", "read me"}, {"sub/notes.text", "notes"}});
  WriteFiles(dir / "new", {{"new.txt", "new"}});
  ASSERT_EQ(0, RunCommand("genisoimage -quiet -o " + (dir / "old.iso") + " " + (dir / "old")));
  {
    RecordedDisc disc(dir / "disc.img", "cd-r");
    const std::string iso = Bytes(dir / "old.iso");
    disc.WriteTrack(std::vector<uint8_t>(iso.begin(), iso.end()), 0, true);
  }
  std::string out;
  ASSERT_EQ(0, Append(dir / "disc.img", {dir / "new/new.txt"}, &out)) << out;
  RecordedDisc reader(dir / "disc.img", "cd-r");
  const Tree expected = {{"MAKEFILE", "make"}, {"README.TXT", "read me"}, {"SUB/", ""}, {"SUB/NOTES.TEX", "notes"},
                         {"new.txt", "new"}};
  EXPECT_EQ(expected, reader.Extract(NewestStart(dir / "disc.img"), dir / "x"));
}

TEST_F(Appending, NoImportFromAnAudioSessionOrADvd) {
  DORVIK_REQUIRE_TOOL("xorriso");
  WriteFiles(dir / "s", {{"a.txt", "a"}, {"b.txt", "b"}});
  {
    RecordedDisc disc(dir / "audio.img", "cd-r");
    disc.WriteTrack(std::vector<uint8_t>(300 * 2352, 0x11), 0, true, true, true);
  }
  std::string out;
  ASSERT_EQ(0, Append(dir / "audio.img", {dir / "s/a.txt"}, &out)) << out;
  RecordedDisc reader(dir / "audio.img", "cd-r");
  EXPECT_EQ((Tree{{"a.txt", "a"}}), reader.Extract(NewestStart(dir / "audio.img"), dir / "x"));

  // On a DVD the session is closed even though the host asked to leave it open.
  const std::string dvd = dir / "dvd.img:dvd-r";
  ASSERT_EQ(0, Append(dvd, {dir / "s/a.txt"}, &out)) << out;
  EXPECT_NE(0, Append(dvd, {dir / "s/b.txt"}, &out)) << out;
  // A rewritable DVD takes each write at its start: the new tree alone, no
  // old file brought along.
  const std::string rw = dir / "dvd-rw.img:dvd-rw";
  ASSERT_EQ(0, Append(rw, {dir / "s/a.txt"}, &out)) << out;
  ASSERT_EQ(0, Append(rw, {dir / "s/b.txt"}, &out)) << out;
  RecordedDisc rewritten(dir / "dvd-rw.img", "dvd-rw");
  EXPECT_EQ((Tree{{"b.txt", "b"}}), rewritten.Extract(0, dir / "y"));
}

// The inert device 0 has no disc to import from; the write goes on and
// leaves the recorders' discs alone.
TEST_F(Appending, TheInertDeviceWritesWithoutAnImport) {
  WriteFiles(dir / "s", {{"a.txt", "a"}});
  std::string out;
  ASSERT_EQ(0, Append(dir / "disc.img", {dir / "s/a.txt"}, &out)) << out;
  const std::string disc = Bytes(dir / "disc.img");
  LibraryRestart library(dir / "disc.img");
  ASSERT_EQ(DORVIK_OK, Vuz_SetDevice(0));
  Vuz_AddFiles((dir / "s/a.txt").c_str(), "\\", 0);
  // The job itself runs, and stops where the inert device has no room to tell.
  EXPECT_EQ(DORVIK_E_FREE_SPACE, Vuz_WriteDataCDEx("LABEL", 0, 0, 1, 0));
  EXPECT_TRUE(disc == Bytes(dir / "disc.img"));
}

}  // namespace
}  // namespace dorvik::test
