// Adding and removing as the host sees it: which records and folders the
// workspace holds afterwards.
#include <sys/stat.h>

#include "collection/catalogue_walker.h"
#include "collection_fixture.h"
#include "iso/previous_session_descriptor.h"

namespace dorvik::test {
namespace {

using Strings = std::vector<std::string>;

TEST_F(CollectionTest, TargetsAreNormalisedToDiscFolders) {
  WriteFile(src + "/a.txt");
  WriteFile(src + "/b.txt");
  WriteFile(src + "/c.txt");
  collection->AddFiles(src + "/a.txt", "", false);
  collection->AddFiles(src + "/b.txt", "\\", false);
  collection->AddFiles(src + "/c.txt", "MUSIC", false);
  EXPECT_EQ(Names(), (Strings{"a.txt", "b.txt"}));
  EXPECT_EQ(Names("MUSIC"), (Strings{"c.txt"}));
  // A missing source still leaves its target folders behind.
  collection->AddFiles(src + "/none", "X\\Y", false);
  EXPECT_TRUE(fs::is_directory(Workspace() + "/X/Y"));
  EXPECT_TRUE(Records("X/Y").empty());
}

TEST_F(CollectionTest, SameNameInAFolderIsRecordedOnce) {
  WriteFile(src + "/a.mp3", "one");
  WriteFile(src + "/other/a.mp3", "two");
  collection->AddFiles(src + "/a.mp3", "\\M\\", false);
  collection->AddFiles(src + "/a.mp3", "\\M\\", false);
  collection->AddFiles(src + "/other/a.mp3", "\\M\\", false);
  auto records = Records("M");
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].source, src + "/a.mp3");
  // Names are compared case-sensitively: A.MP3 is another file.
  WriteFile(src + "/x/A.MP3");
  collection->AddFiles(src + "/x/A.MP3", "\\M\\", false);
  EXPECT_EQ(Names("M"), (Strings{"a.mp3", "A.MP3"}));
}

TEST_F(CollectionTest, FolderIsMirroredWithItsFilesInNameOrder) {
  WriteFile(src + "/Album/b.txt");
  WriteFile(src + "/Album/a.txt");
  WriteFile(src + "/Album/Disc 2/c.txt");
  fs::create_directories(src + "/Album/Empty");
  collection->AddFiles(src + "/Album/", "\\", false);  // trailing separator like none
  auto records = Records("Album");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0], (CatalogueRecord{src + "/Album/a.txt", "a.txt"}));
  EXPECT_EQ(Names("Album/Disc 2"), (Strings{"c.txt"}));
  EXPECT_EQ(LayoutPaths(), (Strings{"\\Album\\", "\\Album\\Disc 2\\", "\\Album\\Disc 2\\c.txt",
                                    "\\Album\\Empty\\", "\\Album\\a.txt", "\\Album\\b.txt"}));
}

TEST_F(CollectionTest, AddingAFolderAgainReplacesIt) {
  WriteFile(src + "/D/one.txt");
  WriteFile(src + "/D/sub/two.txt");
  WriteFile(src + "/loose.txt");
  collection->AddFiles(src + "/D", "\\", false);
  collection->AddFiles(src + "/loose.txt", "\\D\\sub\\", false);
  collection->AddFiles(src + "/loose.txt", "\\D\\extra\\", false);
  EXPECT_EQ(Names("D/sub"), (Strings{"two.txt", "loose.txt"}));
  fs::remove(src + "/D/one.txt");
  WriteFile(src + "/D/three.txt");
  collection->AddFiles(src + "/D", "\\", false);
  EXPECT_EQ(Names("D"), (Strings{"three.txt"}));
  EXPECT_EQ(Names("D/sub"), (Strings{"two.txt"}));
  EXPECT_FALSE(fs::exists(Workspace() + "/D/extra"));
}

TEST_F(CollectionTest, Mp3SwitchKeepsOnlyMp3FilesButEveryFolder) {
  WriteFile(src + "/T/a.mp3");
  WriteFile(src + "/T/b.wav");
  WriteFile(src + "/T/sub/c.Mp3");
  WriteFile(src + "/T/wavs/d.wav");
  collection->AddFiles(src + "/T", "\\", true);
  EXPECT_EQ(Names("T"), (Strings{"a.mp3"}));
  EXPECT_EQ(Names("T/sub"), (Strings{"c.Mp3"}));
  EXPECT_TRUE(fs::is_directory(Workspace() + "/T/wavs"));
  EXPECT_TRUE(Records("T/wavs").empty());

  collection->AddFiles(src + "/T/b.wav", "\\", true);
  collection->AddFiles(src + "/T/sub/c.Mp3", "\\", true);
  EXPECT_EQ(Names(), (Strings{"c.Mp3"}));
}

TEST(CollectionMp3, TestLooksAtTheTrimmedUpperCasedEnd) {
  EXPECT_TRUE(IsMp3("song.mp3"));
  EXPECT_TRUE(IsMp3("  /x/SONG.Mp3 \t"));
  EXPECT_FALSE(IsMp3(".mp3"));
  EXPECT_FALSE(IsMp3(" .mp3 "));
  EXPECT_TRUE(IsMp3("a.mp3"));
  EXPECT_FALSE(IsMp3("a.wav"));
  EXPECT_FALSE(IsMp3("a.mp3x"));
}

TEST_F(CollectionTest, RemovalTakesTheExactNameAndKeepsTheOrder) {
  for (const char* n : {"z.mp3", "a.mp3", "m.mp3"}) {
    WriteFile(src + "/" + n);
    collection->AddFiles(src + "/" + n, "\\MUSIC\\", false);
  }
  collection->DeleteFiles("\\MUSIC\\A.MP3", false);
  EXPECT_EQ(Names("MUSIC"), (Strings{"z.mp3", "a.mp3", "m.mp3"}));
  collection->DeleteFiles("\\MUSIC\\a.mp3", false);
  EXPECT_EQ(Names("MUSIC"), (Strings{"z.mp3", "m.mp3"}));
  collection->DeleteFiles("MUSIC\\z.mp3", false);
  EXPECT_EQ(Names("MUSIC"), (Strings{"m.mp3"}));
  collection->DeleteFiles("\\nowhere\\m.mp3", false);
  EXPECT_EQ(Names("MUSIC"), (Strings{"m.mp3"}));

  WriteFile(src + "/r.txt");
  collection->AddFiles(src + "/r.txt", "", false);
  collection->DeleteFiles("r.txt", false);
  EXPECT_TRUE(Records().empty());

  collection->DeleteFiles("\\MUSIC", true);
  EXPECT_FALSE(fs::exists(Workspace() + "/MUSIC"));
  EXPECT_TRUE(fs::is_directory(Workspace()));
}

TEST_F(CollectionTest, ClearStartsANewEmptyWorkspace) {
  WriteFile(src + "/a.txt");
  collection->AddFiles(src + "/a.txt", "\\A\\", false);
  const std::string old = Workspace();
  collection->Clear();
  EXPECT_NE(Workspace(), old);
  EXPECT_FALSE(fs::exists(old));
  EXPECT_TRUE(fs::is_empty(Workspace()));
  EXPECT_TRUE(LayoutPaths().empty());
}

TEST_F(CollectionTest, RemovingTheRootLeavesNoWorkspaceUntilCleared) {
  WriteFile(src + "/a.txt");
  collection->AddFiles(src + "/a.txt", "", false);
  const std::string old = Workspace();
  collection->DeleteFiles("\\", true);
  EXPECT_FALSE(fs::exists(old));
  EXPECT_EQ(Workspace(), "");
  collection->AddFiles(src + "/a.txt", "\\B\\", false);
  EXPECT_FALSE(fs::exists(old));
  const std::string layout = root / "none.bcd";
  collection->PrepareForWrite(layout, false, "");
  EXPECT_FALSE(fs::exists(layout));
  collection->Clear();
  collection->AddFiles(src + "/a.txt", "", false);
  EXPECT_EQ(Names(), (Strings{"a.txt"}));
}

TEST_F(CollectionTest, FilesOfFourGibibytesAreRefusedOnlyWhenAddedSingly) {
  const std::string big = src + "/big/huge.bin", edge = src + "/big/edge.bin";
  WriteFile(big, "");
  WriteFile(edge, "");
  fs::resize_file(big, uint64_t(1) << 32);  // sparse: costs no space
  fs::resize_file(edge, (uint64_t(1) << 32) - 1);
  collection->AddFiles(big, "", false);
  collection->AddFiles(edge, "", false);
  EXPECT_EQ(Names(), (Strings{"edge.bin"}));
  collection->AddFiles(src + "/big", "", false);
  EXPECT_EQ(Names("big"), (Strings{"edge.bin", "huge.bin"}));
}

TEST_F(CollectionTest, SessionEntriesBecomeFoldersAndRecordsWithoutChecks) {
  const uint8_t date[7] = {106, 5, 17, 10, 20, 30, 32};
  const std::string file = MakeFileDescriptor("OLD.TXT", date, 5000, 300);
  collection->AddFiles(MakeFolderDescriptor("OLDDIR"), "\\", false);
  collection->AddFiles(file, "\\OLDDIR\\", true);  // the MP3 switch does not apply
  collection->AddFiles(file, "\\OLDDIR\\", true);  // nor the duplicate test
  EXPECT_TRUE(fs::is_directory(Workspace() + "/OLDDIR"));
  auto records = Records("OLDDIR");
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0], (CatalogueRecord{file, "OLD.TXT"}));
  EXPECT_EQ(LayoutPaths(), (Strings{"\\OLDDIR\\", "\\OLDDIR\\OLD.TXT", "\\OLDDIR\\OLD.TXT"}));
}

}  // namespace
}  // namespace dorvik::test
