// Adding and removing as the host sees it, directly and through the C
// exports: which records and folders the workspace holds afterwards.
#include "api/library.h"
#include "collection_fixture.h"
#include "dorvik.h"
#include "collection/previous_session_descriptor.h"

namespace dorvik::test {
namespace {

TEST_F(CollectionTest, TargetsAreNormalisedAndNamesRecordedOnce) {
  for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "other/c.mp3", "x/C.MP3"}) WriteFile(src + "/" + name);
  collection->AddFiles(src + "/a.mp3", "", false);
  collection->AddFiles(src + "/b.mp3", "\\", false);
  collection->AddFiles(src + "/c.mp3", "MUSIC", false);
  EXPECT_EQ(Names(), (Strings{"a.mp3", "b.mp3"}));
  // The same name again, from anywhere, is a duplicate; another case is not.
  collection->AddFiles(src + "/c.mp3", "\\MUSIC\\", false);
  collection->AddFiles(src + "/other/c.mp3", "MUSIC\\", false);
  collection->AddFiles(src + "/x/C.MP3", "\\MUSIC", false);
  EXPECT_EQ(Records("MUSIC"), (std::vector<CatalogueRecord>{{src + "/c.mp3", "c.mp3"}, {src + "/x/C.MP3", "C.MP3"}}));
  // Catalogues are read a few dozen records at a time: a name far down is
  // still found, by the duplicate test and by removal alike.
  for (int i = 0; i < 150; ++i) WriteFile(src + "/many/f" + std::to_string(1000 + i));
  collection->AddFiles(src + "/many", "\\", false);
  collection->AddFiles(src + "/many/f1149", "\\many\\", false);
  collection->DeleteFiles("\\many\\f1140", false);
  EXPECT_EQ(Names("many").size(), 149u);
  EXPECT_EQ(Names("many").back(), "f1149");
  // A missing source still leaves its target folders behind.
  collection->AddFiles(src + "/none", "X\\Y", false);
  EXPECT_TRUE(fs::is_directory(Workspace() + "/X/Y"));
  EXPECT_TRUE(Records("X/Y").empty());
}

TEST_F(CollectionTest, FileOfFourGibibytesIsTakenAlikeAloneOrInAFolder) {
  // Whether an image can hold it is the layout's question, asked when the
  // image is composed; the collection keeps it either way.
  WriteFile(src + "/big/huge.bin", "");
  fs::resize_file(src + "/big/huge.bin", uint64_t{1} << 32);  // sparse
  collection->AddFiles(src + "/big/huge.bin", "\\", false);
  collection->AddFiles(src + "/big", "\\", false);
  EXPECT_EQ(Names(), (Strings{"huge.bin"}));
  EXPECT_EQ(Names("big"), (Strings{"huge.bin"}));
}

TEST_F(CollectionTest, FolderIsMirroredAndReplacedWhenAddedAgain) {
  WriteFile(src + "/D/b.txt");
  WriteFile(src + "/D/a.txt");
  WriteFile(src + "/D/sub/c.txt");
  fs::create_directories(src + "/D/Empty");
  WriteFile(src + "/loose.txt");
  collection->AddFiles(src + "/D/", "\\", false);  // a trailing separator is no different
  EXPECT_EQ(Records("D")[0], (CatalogueRecord{src + "/D/a.txt", "a.txt"}));
  EXPECT_EQ(LayoutPaths(), (Strings{"\\D\\", "\\D\\Empty\\", "\\D\\a.txt", "\\D\\b.txt", "\\D\\sub\\",
                                    "\\D\\sub\\c.txt"}));
  collection->AddFiles(src + "/loose.txt", "\\D\\sub\\", false);
  collection->AddFiles(src + "/loose.txt", "\\D\\extra\\", false);
  EXPECT_EQ(Names("D/sub"), (Strings{"c.txt", "loose.txt"}));
  // Adding it again replaces the folder, files added in between included.
  fs::remove(src + "/D/a.txt");
  WriteFile(src + "/D/new.txt");
  collection->AddFiles(src + "/D", "\\", false);
  EXPECT_EQ(Names("D"), (Strings{"b.txt", "new.txt"}));
  EXPECT_EQ(Names("D/sub"), (Strings{"c.txt"}));
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
  // A previous-session entry is neither filtered nor tested for duplicates.
  const uint8_t date[7] = {106, 5, 17, 10, 20, 30, 32};
  const std::string old = MakeFileDescriptor("OLD.TXT", date, 5000, 300);
  collection->AddFiles(old, "\\", true);
  collection->AddFiles(old, "\\", true);
  EXPECT_EQ(Names(), (Strings{"c.Mp3", "OLD.TXT", "OLD.TXT"}));
}

TEST_F(CollectionTest, RemovalTakesTheExactNameAndKeepsTheOrder) {
  for (const char* n : {"z.mp3", "a.mp3", "m.mp3"}) {
    WriteFile(src + "/" + n);
    collection->AddFiles(src + "/" + n, "\\MUSIC\\", false);
  }
  collection->DeleteFiles("\\MUSIC\\A.MP3", false);
  collection->DeleteFiles("\\nowhere\\m.mp3", false);
  EXPECT_EQ(Names("MUSIC"), (Strings{"z.mp3", "a.mp3", "m.mp3"}));
  collection->DeleteFiles("\\MUSIC\\a.mp3", false);
  EXPECT_EQ(Names("MUSIC"), (Strings{"z.mp3", "m.mp3"}));
  collection->DeleteFiles("MUSIC\\z.mp3", false);
  EXPECT_EQ(Names("MUSIC"), (Strings{"m.mp3"}));
  collection->DeleteFiles("\\MUSIC", true);
  EXPECT_FALSE(fs::exists(Workspace() + "/MUSIC"));
  EXPECT_TRUE(fs::is_directory(Workspace()));
}

// On the library's own collection: null pointers do nothing; clearing
// starts a new, empty workspace; unloading deletes only the workspace.
TEST_F(CollectionTest, ExportsBuildRemoveClearAndUnload) {
  WriteFile(src + "/a.mp3");
  WriteFile(src + "/b.wav");
  auto workspace = [] { return Library::Get().collection->GetWorkspacePath(); };
  std::string ws;
  {
    LibraryRestart library;
    ws = workspace();
    ASSERT_EQ(ws.rfind(tmp + "/Folder", 0), 0u);
    EXPECT_EQ(Vuz_AddFiles(src.c_str(), "MUSIC", 1), 1);
    EXPECT_EQ(ReadCatalogue(ws + "/MUSIC/src/file.ls").size(), 1u);
    EXPECT_EQ(Vuz_DeleteFiles("\\MUSIC\\src\\a.mp3", 0), 1);
    EXPECT_TRUE(ReadCatalogue(ws + "/MUSIC/src/file.ls").empty());
    EXPECT_EQ(Vuz_AddFiles(nullptr, nullptr, 0), 1);
    EXPECT_EQ(Vuz_DeleteFiles(nullptr, 1), 1);
    EXPECT_TRUE(fs::is_directory(ws + "/MUSIC/src"));
    for (auto clear : {&Vuz_ClearFiles, &Vuz_WriteClose}) {
      EXPECT_EQ(clear(), 1);
      EXPECT_FALSE(fs::exists(ws));
      ws = workspace();
      EXPECT_TRUE(fs::is_empty(ws));
    }
    EXPECT_EQ(Vuz_AddFiles(src.c_str(), "\\", 0), 1);
  }
  EXPECT_FALSE(fs::exists(ws));
  EXPECT_TRUE(fs::exists(src + "/a.mp3"));
}

}  // namespace
}  // namespace dorvik::test
