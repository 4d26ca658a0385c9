// The import of a disc's last session against software recorders: discs
// written session by session with recorder commands, each session composed
// with the tree the import brought in, and every session read back by
// xorriso.
#include <gtest/gtest.h>

#include "burn/drive_sector_reader.h"
#include "burn/previous_session_import.h"
#include "collection/catalogue.h"
#include "collection/previous_session_descriptor.h"
#include "support/recorded_disc.h"

namespace dorvik::test {
namespace {

using Tree = std::map<std::string, std::string>;

Tree Union(std::initializer_list<Tree> trees) {
  Tree all;
  for (const auto& t : trees)
    for (const auto& [k, v] : t) all[k] = v;
  return all;
}

// A tree's files and, for each of their folders, "folder/".
Tree WithFolders(const Tree& files) {
  Tree out = files;
  for (const auto& [path, content] : files)
    for (size_t cut = path.find('/'); cut != std::string::npos; cut = path.find('/', cut + 1))
      out[path.substr(0, cut + 1)] = "";
  return out;
}

class Appending : public ::testing::TestWithParam<std::string> {
 protected:
  // Adds every top-level entry of the tree's folder to the collection's root.
  void AddSources(FileCollection& collection, const std::string& folder) {
    std::vector<std::string> sources;
    for (const auto& e : fs::directory_iterator(folder)) sources.push_back(e.path());
    std::sort(sources.begin(), sources.end());
    for (const auto& s : sources) collection.AddFiles(s, "\\", false);
  }

  TempFolder dir;
  RecordedDisc disc{dir / "disc.img", GetParam()};
};

TEST_P(Appending, EachSessionShowsEverySessionsFilesAndWritesOnlyItsOwn) {
  DORVIK_REQUIRE_TOOL("xorriso");
  const Tree first = {{"big.bin", std::string(4 << 20, 'B')}, {"docs/one.txt", "one"}, {"a.txt", "first a"}};
  const Tree second = {{"docs/two.txt", "two"}, {"music/song.mp3", "la la"}};
  const Tree third = {{"docs/deep/three.txt", "three"}, {"z.txt", "zed"}};
  WriteFiles(dir / "s1", first);
  WriteFiles(dir / "s2", second);
  WriteFiles(dir / "s3", third);

  uint32_t starts[3] = {}, sizes[3] = {};
  for (int session = 0; session < 3; ++session) {
    disc.Load();  // each session by a recorder opened afresh, as by another process
    FileCollection collection;
    AddSources(collection, dir / ("s" + std::to_string(session + 1)));
    const SessionImportReport report = ImportPreviousSession(disc.drive(), collection, false);
    if (session == 0) {
      EXPECT_EQ(SessionImportOutcome::BlankDisc, report.outcome);
    } else {
      EXPECT_EQ(SessionImportOutcome::Imported, report.outcome);
      EXPECT_EQ(starts[session - 1], report.start);
      EXPECT_TRUE(report.walk.joliet);
      EXPECT_EQ(0u, report.walk.skipped);
    }
    starts[session] = disc.WriteSession(collection, true, dir.Path(), &sizes[session]);
  }
  // The 4 MiB file stands once on the disc: the later sessions hold only
  // their own files and the directories.
  EXPECT_GT(sizes[0], 2048u);
  EXPECT_LT(sizes[1], 1024u);
  EXPECT_LT(sizes[2], 1024u);

  EXPECT_EQ(WithFolders(first), disc.Extract(starts[0], dir / "x1"));
  EXPECT_EQ(WithFolders(Union({first, second})), disc.Extract(starts[1], dir / "x2"));
  EXPECT_EQ(WithFolders(Union({first, second, third})), disc.Extract(starts[2], dir / "x3"));
}

TEST_P(Appending, AClosedDiscTakesNoImport) {
  WriteFiles(dir / "s1", {{"a.txt", "a"}});
  FileCollection collection;
  AddSources(collection, dir / "s1");
  disc.WriteSession(collection, false, dir.Path());

  disc.Load();
  FileCollection next;
  EXPECT_EQ(SessionImportOutcome::DiscClosed, ImportPreviousSession(disc.drive(), next, false).outcome);
  EXPECT_TRUE(ReadCatalogue(next.GetWorkspacePath() + "/file.ls").empty());
}

// The host's own additions come first and the import follows them: a new
// file of an old file's name is listed before it (both stay on the disc), a
// new folder of an old folder's name is that folder, and a delete of an old
// path before the write finds nothing yet to delete.
TEST_P(Appending, OldEntriesFollowTheHostsOwnOfTheSameName) {
  WriteFiles(dir / "s1", {{"a.txt", "first a"}, {"docs/one.txt", "one"}, {"gone.txt", "still here"}});
  WriteFiles(dir / "s2", {{"a.txt", "second a"}, {"docs/two.txt", "two"}});
  FileCollection first;
  AddSources(first, dir / "s1");
  disc.WriteSession(first, true, dir.Path());

  disc.Load();
  FileCollection second;
  AddSources(second, dir / "s2");
  second.DeleteFiles("\\gone.txt", false);
  ASSERT_EQ(SessionImportOutcome::Imported, ImportPreviousSession(disc.drive(), second, false).outcome);
  const uint32_t start = disc.WriteSession(second, true, dir.Path());

  disc.Load();
  DriveSectorReader reader(disc.drive());
  std::vector<std::string> listed;
  iso::WalkSession(reader, {start, 0, 1}, [&](const std::string& descriptor, const std::string& folder) {
    const SessionDescriptor d = ParseSessionDescriptor(descriptor);
    listed.push_back(folder + d.name + (d.kind == SessionEntryKind::Folder ? "\\" : " " + std::to_string(d.size)));
  });
  const std::vector<std::string> expected = {"\\docs\\", "\\docs\\two.txt 3", "\\docs\\one.txt 3",
                                             "\\a.txt 8", "\\a.txt 7",           "\\gone.txt 10"};
  EXPECT_EQ(expected, listed);
}

INSTANTIATE_TEST_SUITE_P(Cd, Appending, ::testing::Values("cd-r", "cd-rw"),
                         [](const auto& info) { return info.param == "cd-r" ? "CdR" : "CdRw"; });

struct OneSession : ::testing::Test {
  TempFolder dir;
  Tree Workspace(const FileCollection& collection) { return ReadTree(collection.GetWorkspacePath()); }
};

TEST_F(OneSession, APrimaryOnlySessionGivesItsPrimaryNames) {
  DORVIK_REQUIRE_TOOL("genisoimage");
  DORVIK_REQUIRE_TOOL("xorriso");
  WriteFiles(dir / "old", {{"Makefile", "make"}, {"readme.txt", "read me"}, {"sub/notes.text", "notes"}});
  ASSERT_EQ(0, RunCommand("genisoimage -quiet -o " + (dir / "old.iso") + " " + (dir / "old")));
  std::ifstream in(dir / "old.iso", std::ios::binary);
  const std::vector<uint8_t> image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

  RecordedDisc disc(dir / "disc.img", "cd-r");
  disc.WriteTrack(image, 0, true);
  disc.Load();
  FileCollection collection;
  WriteFiles(dir / "new", {{"new.txt", "new"}});
  collection.AddFiles(dir / "new/new.txt", "\\", false);
  const SessionImportReport report = ImportPreviousSession(disc.drive(), collection, false);
  EXPECT_EQ(SessionImportOutcome::Imported, report.outcome);
  EXPECT_FALSE(report.walk.joliet);
  const uint32_t start = disc.WriteSession(collection, true, dir.Path());
  const Tree expected = {{"MAKEFILE", "make"}, {"README.TXT", "read me"}, {"SUB/", ""}, {"SUB/NOTES.TEX", "notes"},
                         {"new.txt", "new"}};
  EXPECT_EQ(expected, disc.Extract(start, dir / "x"));
}

TEST_F(OneSession, NothingIsImportedFromWhatCannotBeAppendedTo) {
  WriteFiles(dir / "s", {{"a.txt", "a"}});
  auto written = [&](const std::string& medium, bool leaveOpen) {
    auto disc = std::make_unique<RecordedDisc>(dir / (medium + std::to_string(leaveOpen) + ".img"), medium);
    FileCollection collection;
    collection.AddFiles(dir / "s/a.txt", "\\", false);
    disc->WriteSession(collection, leaveOpen, dir.Path());
    disc->Load();
    return disc;
  };
  struct Case {
    std::string what;
    std::unique_ptr<RecordedDisc> disc;
    SessionImportOutcome outcome;
  };
  std::vector<Case> cases;
  cases.push_back({"blank CD-R", std::make_unique<RecordedDisc>(dir / "blank.img", "cd-r"), SessionImportOutcome::BlankDisc});
  cases.push_back({"appendable DVD-R", written("dvd-r", true), SessionImportOutcome::NotCd});
  cases.push_back({"closed CD-RW", written("cd-rw", false), SessionImportOutcome::DiscClosed});
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    FileCollection collection;
    EXPECT_EQ(c.outcome, ImportPreviousSession(c.disc->drive(), collection, false).outcome);
    EXPECT_EQ(Tree{}, Workspace(collection));
  }
}

TEST_F(OneSession, ASessionEndingInAnAudioTrackIsNotRead) {
  RecordedDisc disc(dir / "disc.img", "cd-r");
  disc.WriteTrack(std::vector<uint8_t>(300 * 2048, 0x11), 0, true, true, true);
  disc.Load();
  FileCollection collection;
  EXPECT_EQ(SessionImportOutcome::NotDataTrack, ImportPreviousSession(disc.drive(), collection, false).outcome);
}

TEST_F(OneSession, ATrackWhoseSessionIsStillOpenIsImportedToo) {
  WriteFiles(dir / "s", {{"a.txt", "a"}});
  RecordedDisc disc(dir / "disc.img", "cd-r");
  FileCollection collection;
  collection.AddFiles(dir / "s/a.txt", "\\", false);
  const std::string layout = dir / "layout.bcd";
  collection.PrepareForWrite(layout, false, "OPEN");
  iso::ImageComposer composer;
  ASSERT_TRUE(composer.Compose(layout, 1, 1, collection.GetWorkspacePath(), 0));
  std::vector<uint8_t> image(composer.PaddedSize() * 2048ull);
  for (uint32_t i = 0; i < composer.PaddedSize(); ++i) composer.ReadNextSector(image.data() + i * 2048ull, 2048);
  disc.WriteTrack(image, 0, true, false);  // the track is closed, its session not

  disc.Load();
  FileCollection next;
  const SessionImportReport report = ImportPreviousSession(disc.drive(), next, false);
  EXPECT_EQ(SessionImportOutcome::Imported, report.outcome);
  EXPECT_EQ(1u, report.walk.files);
}

TEST_F(OneSession, ASessionThatAlsoCarriesUdfIsLeftAlone) {
  WriteFiles(dir / "s", {{"a.txt", "a"}});
  FileCollection collection;
  collection.AddFiles(dir / "s/a.txt", "\\", false);
  const std::string layout = dir / "layout.bcd";
  collection.PrepareForWrite(layout, false, "UDF");
  iso::ImageComposer composer;
  ASSERT_TRUE(composer.Compose(layout, 1, 1, collection.GetWorkspacePath(), 0));
  std::vector<uint8_t> image(composer.PaddedSize() * 2048ull);
  for (uint32_t i = 0; i < composer.PaddedSize(); ++i) composer.ReadNextSector(image.data() + i * 2048ull, 2048);
  image[256 * 2048] = 2;  // an anchor volume descriptor pointer naming sector 256
  image[256 * 2048 + 12] = 0x00;
  image[256 * 2048 + 13] = 0x01;

  RecordedDisc disc(dir / "disc.img", "cd-r");
  disc.WriteTrack(image, 0, true);
  disc.Load();
  FileCollection next;
  EXPECT_EQ(SessionImportOutcome::UdfPresent, ImportPreviousSession(disc.drive(), next, false).outcome);
  EXPECT_EQ(Tree{}, Workspace(next));
}

}  // namespace
}  // namespace dorvik::test
