// The collection exports through the C header, on the library's own
// collection.
#include "api/library.h"
#include "collection_fixture.h"
#include "dorvik.h"

namespace dorvik::test {
namespace {

class CollectionExports : public ::testing::Test {
 protected:
  CollectionExports() : tmp(root / "tmp"), env(tmp) { fs::create_directories(tmp); }
  std::string Workspace() { return Library::Get().collection->GetWorkspacePath(); }

  TempFolder root;
  std::string tmp;
  PrivateTempDir env;
};

TEST_F(CollectionExports, BuildRemoveAndClearAlwaysAnswerOne) {
  LibraryRestart library;
  const std::string ws = Workspace();
  ASSERT_EQ(ws.rfind(tmp + "/Folder", 0), 0u);
  WriteFile(root / "src/a.mp3");
  WriteFile(root / "src/b.wav");
  EXPECT_EQ(Vuz_AddFiles((root / "src").c_str(), "MUSIC", 1), 1);
  EXPECT_EQ(ReadCatalogue(ws + "/MUSIC/src/file.ls").size(), 1u);
  EXPECT_EQ(Vuz_DeleteFiles("\\MUSIC\\src\\a.mp3", 0), 1);
  EXPECT_TRUE(ReadCatalogue(ws + "/MUSIC/src/file.ls").empty());
  EXPECT_EQ(Vuz_DeleteFiles("\\MUSIC", 1), 1);
  EXPECT_FALSE(fs::exists(ws + "/MUSIC"));

  EXPECT_EQ(Vuz_AddFiles((root / "missing").c_str(), "\\", 0), 1);
  EXPECT_EQ(Vuz_AddFiles(nullptr, nullptr, 0), 1);
  EXPECT_EQ(Vuz_DeleteFiles(nullptr, 1), 1);
  EXPECT_TRUE(fs::is_directory(ws));

  EXPECT_EQ(Vuz_ClearFiles(), 1);
  const std::string second = Workspace();
  EXPECT_NE(second, ws);
  EXPECT_FALSE(fs::exists(ws));
  EXPECT_EQ(Vuz_WriteClose(), 1);
  EXPECT_NE(Workspace(), second);
  EXPECT_FALSE(fs::exists(second));
  EXPECT_TRUE(fs::is_empty(Workspace()));
}

TEST_F(CollectionExports, UnloadingDeletesTheWorkspaceOnly) {
  std::string ws;
  WriteFile(root / "src/keep.txt");
  {
    LibraryRestart library;
    ws = Workspace();
    Vuz_AddFiles((root / "src").c_str(), "\\", 0);
    EXPECT_TRUE(fs::exists(ws + "/src/file.ls"));
  }
  EXPECT_FALSE(fs::exists(ws));
  EXPECT_TRUE(fs::exists(root / "src/keep.txt"));
}

}  // namespace
}  // namespace dorvik::test
