// Nothing outside the collection's own workspace is created or deleted,
// and every walk ends, whatever the host passes.
#include "collection/catalogue_walker.h"
#include "collection_fixture.h"
#include "iso/previous_session_descriptor.h"

namespace dorvik::test {
namespace {

using Strings = std::vector<std::string>;

TEST_F(CollectionTest, DiscPathsCannotClimbOutOfTheWorkspace) {
  // The workspace lives in tmp; these are its siblings and its parent's.
  WriteFile(tmp + "/victim/keep.txt");
  WriteFile(root / "victim/keep.txt");
  WriteFile(src + "/f.txt");
  for (const char* path : {"\\..\\victim", "..\\..\\victim", "\\..\\..\\victim", "\\A\\..\\..\\victim",
                           "\\.\\..\\victim", "x/../../victim", "/../victim"}) {
    collection->DeleteFiles(path, true);
    collection->DeleteFiles(std::string(path) + "\\keep.txt", false);
    collection->AddFiles(src + "/f.txt", path, false);
    collection->AddFiles(src, path, false);
  }
  EXPECT_TRUE(fs::exists(tmp + "/victim/keep.txt"));
  EXPECT_TRUE(fs::exists(root / "victim/keep.txt"));
  EXPECT_FALSE(fs::exists(tmp + "/victim/f.txt"));
  EXPECT_FALSE(fs::exists(tmp + "/victim/file.ls"));
  EXPECT_FALSE(fs::exists(tmp + "/victim/src"));
  EXPECT_TRUE(fs::is_empty(Workspace()));
}

TEST_F(CollectionTest, AbsoluteLookingDiscPathsStayInside) {
  WriteFile(src + "/f.txt");
  const std::string outside = root / "abs";
  collection->AddFiles(src + "/f.txt", outside, false);
  collection->AddFiles(src + "/f.txt", "\\" + outside, false);
  EXPECT_FALSE(fs::exists(outside));
  fs::create_directories(outside);
  collection->DeleteFiles(outside, true);
  EXPECT_TRUE(fs::exists(outside));
}

TEST_F(CollectionTest, SourcesNamingNoEntryAddNothing) {
  WriteFile(src + "/sub/f.txt");
  WriteFile(src + "/keep.txt");
  collection->AddFiles(src + "/keep.txt", "\\sub\\", false);
  for (const std::string& s : {src + "/sub/..", src + "/sub/../", src + "/.", std::string("/"), std::string("")}) {
    collection->AddFiles(s, "\\sub\\", false);
    collection->AddFiles(s, "\\", false);
  }
  EXPECT_EQ(Names("sub"), (Strings{"keep.txt"}));
  EXPECT_TRUE(Records().empty());
  EXPECT_TRUE(fs::exists(src + "/sub/f.txt"));
}

TEST_F(CollectionTest, SessionNamesCannotClimbOutOfTheWorkspace) {
  const uint8_t date[7] = {106, 1, 1, 0, 0, 0, 0};
  collection->AddFiles("<2><../escaped>", "\\", false);
  collection->AddFiles("<2><..>", "\\", false);
  collection->AddFiles(MakeFileDescriptor("../x", date, 1, 1), "\\", false);
  collection->AddFiles("<2><a\\b>", "\\", false);
  EXPECT_FALSE(fs::exists(tmp + "/escaped"));
  EXPECT_TRUE(fs::is_empty(Workspace()));
}

TEST_F(CollectionTest, NothingIsTouchedOnceTheRootIsGone) {
  const std::string old = Workspace();
  collection->DeleteFiles("", true);
  ASSERT_EQ(Workspace(), "");
  // Another workspace now stands under the old name; it is not ours.
  WriteFile(old + "/file.ls", "theirs");
  WriteFile(old + "/Sub/keep.txt");
  WriteFile(src + "/f.txt");
  collection->AddFiles(src + "/f.txt", "\\", false);
  collection->AddFiles(src + "/f.txt", "\\Sub\\", false);
  collection->DeleteFiles("\\Sub", true);
  collection->DeleteFiles("\\", true);
  collection->Clear();
  EXPECT_EQ(ReadBytes(old + "/file.ls"), "theirs");
  EXPECT_TRUE(fs::exists(old + "/Sub/keep.txt"));
  EXPECT_FALSE(fs::exists(old + "/Sub/file.ls"));
  collection.reset();
  EXPECT_TRUE(fs::exists(old + "/Sub/keep.txt"));
}

TEST_F(CollectionTest, WithoutTemporaryDirectoryNothingIsWritten) {
  collection.reset();
  const std::string probe = "dorvik-probe-" + std::to_string(::getpid());
  {
    PrivateTempDir env(root / "missing");
    FileCollection none;
    EXPECT_EQ(none.GetWorkspacePath(), "");
    WriteFile(src + "/f.txt");
    none.AddFiles(src + "/f.txt", "\\" + probe + "\\", false);
    none.AddFiles(src, "\\", false);
    none.DeleteFiles("\\tmp", true);
    none.PrepareForWrite(root / "l.bcd", true, "");
    none.Clear();
    EXPECT_EQ(none.GetWorkspacePath(), "");
  }
  EXPECT_FALSE(fs::exists("/" + probe));
  EXPECT_FALSE(fs::exists("/file.ls"));
  EXPECT_FALSE(fs::exists(root / "l.bcd"));
  EXPECT_TRUE(fs::is_directory("/tmp"));
}

TEST_F(CollectionTest, SourceHoldingTheWorkspaceIsWalkedWithoutIt) {
  WriteFile(tmp + "/note.txt");
  collection->AddFiles(tmp, "\\", false);
  const std::string tmpName = fs::path(tmp).filename();
  const std::string wsName = fs::path(Workspace()).filename();
  EXPECT_EQ(Names(tmpName), (Strings{"note.txt"}));
  EXPECT_FALSE(fs::exists(Workspace() + "/" + tmpName + "/" + wsName));
  // Nor may the workspace, or a folder inside it, be added to itself.
  collection->AddFiles(Workspace(), "\\", false);
  collection->AddFiles(Workspace() + "/" + tmpName, "\\Again\\", false);
  collection->AddFiles(Workspace() + "/" + tmpName + "/", "\\", false);
  EXPECT_FALSE(fs::exists(Workspace() + "/" + wsName));
  EXPECT_FALSE(fs::exists(Workspace() + "/Again/" + tmpName));
  EXPECT_EQ(Names(tmpName), (Strings{"note.txt"}));
}

TEST_F(CollectionTest, LinkLoopsInASourceTreeEnd) {
  WriteFile(src + "/L/a/f.txt");
  fs::create_directory_symlink(src + "/L", src + "/L/a/up");
  fs::create_directory_symlink(src + "/L/a", src + "/L/a/self");
  WriteFile(src + "/other/g.txt");
  fs::create_directory_symlink(src + "/other", src + "/L/side");
  collection->AddFiles(src + "/L", "\\", false);
  EXPECT_EQ(Names("L/a"), (Strings{"f.txt"}));
  EXPECT_EQ(Names("L/side"), (Strings{"g.txt"}));  // a link to elsewhere is followed
  EXPECT_FALSE(fs::exists(Workspace() + "/L/a/up"));
  EXPECT_FALSE(fs::exists(Workspace() + "/L/a/self"));
}

TEST_F(CollectionTest, EntriesTooLongForAFieldAreSkippedNotCut) {
  // Source path of more than 259 bytes, in a folder with a short sibling.
  std::string deep = src + "/";
  while (deep.size() < 200) deep += "d";
  const std::string longName(70, 'n');
  WriteFile(deep + "/" + longName);
  WriteFile(deep + "/ok.txt");
  ASSERT_GT((deep + "/" + longName).size(), 259u);
  collection->AddFiles(deep, "\\", false);
  const std::string folder = fs::path(deep).filename();
  EXPECT_EQ(Names(folder), (Strings{"ok.txt"}));
  EXPECT_EQ(fs::file_size(Workspace() + "/" + folder + "/file.ls"), 520u);
  collection->AddFiles(deep + "/" + longName, "\\", false);
  EXPECT_TRUE(Records().empty());
  // A descriptor too long for the source field is skipped as well.
  collection->AddFiles("<1><" + std::string(300, 'x') + "><j><1><2>", "\\", false);
  EXPECT_TRUE(Records().empty());
}

TEST_F(CollectionTest, ClearDoesNotFollowLinksPlantedInTheWorkspace) {
  WriteFile(src + "/precious.txt");
  fs::create_directory_symlink(src, Workspace() + "/link");
  collection->Clear();
  EXPECT_TRUE(fs::exists(src + "/precious.txt"));
}

}  // namespace
}  // namespace dorvik::test
