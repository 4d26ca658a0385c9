// Nothing outside the collection's own workspace is created or deleted,
// every walk ends, and damaged or oversized input is skipped.
#include <unistd.h>

#include <algorithm>

#include "collection_fixture.h"
#include "collection/previous_session_descriptor.h"
#include "support/pipe_guard.h"

namespace dorvik::test {
namespace {

TEST_F(CollectionTest, DiscPathsAndSourcesCannotReachOutside) {
  // The workspace lives in tmp; these are its sibling and its parent's.
  WriteFile(tmp + "/victim/keep.txt");
  WriteFile(root / "victim/keep.txt");
  WriteFile(src + "/sub/f.txt");
  const std::string outside = root / "abs";
  for (const std::string& path : Strings{"\\..\\victim", "..\\..\\victim", "\\..\\..\\victim", "\\A\\..\\..\\victim",
                                 "\\.\\..\\victim", "x/../../victim", "/../victim", outside, "\\" + outside}) {
    SCOPED_TRACE(path);
    collection->DeleteFiles(path, true);
    collection->DeleteFiles(path + "\\keep.txt", false);
    collection->AddFiles(src + "/sub/f.txt", path, false);
    collection->AddFiles(src, path, false);
    EXPECT_TRUE(fs::exists(tmp + "/victim/keep.txt"));
    EXPECT_TRUE(fs::exists(root / "victim/keep.txt"));
    EXPECT_FALSE(fs::exists(tmp + "/victim/f.txt") || fs::exists(tmp + "/victim/file.ls") || fs::exists(outside));
  }
  fs::create_directories(outside);
  collection->DeleteFiles(outside, true);
  EXPECT_TRUE(fs::exists(outside));
  // Sources that name no entry of their own, and session names that climb.
  const uint8_t date[7] = {106, 1, 1, 0, 0, 0, 0};
  for (const std::string& source : Strings{src + "/sub/..", src + "/sub/../", src + "/.", "/", "", "<2><../escaped>",
                                           "<2><..>", "<2><a\\b>", MakeFileDescriptor("../x", date, 1, 1)})
    collection->AddFiles(source, "\\", false);
  EXPECT_FALSE(fs::exists(tmp + "/escaped"));
  EXPECT_TRUE(fs::is_empty(Workspace()));
  EXPECT_TRUE(fs::exists(src + "/sub/f.txt"));
}

TEST_F(CollectionTest, NothingIsTouchedOnceTheRootIsGone) {
  WriteFile(src + "/f.txt");
  collection->AddFiles(src + "/f.txt", "", false);
  const std::string old = Workspace();
  collection->DeleteFiles("\\", true);
  EXPECT_FALSE(fs::exists(old));
  ASSERT_EQ(Workspace(), "");
  // Another workspace now stands under the old name; it is not ours.
  WriteFile(old + "/file.ls", "theirs");
  WriteFile(old + "/Sub/keep.txt");
  collection->AddFiles(src + "/f.txt", "\\", false);
  collection->AddFiles(src + "/f.txt", "\\Sub\\", false);
  collection->DeleteFiles("\\Sub", true);
  collection->DeleteFiles("", true);
  collection->PrepareForWrite(root / "none.bcd", true, "");
  EXPECT_FALSE(fs::exists(root / "none.bcd"));
  collection->Clear();
  collection->AddFiles(src + "/f.txt", "", false);
  EXPECT_EQ(Names(), (Strings{"f.txt"}));
  collection.reset();
  EXPECT_EQ(ReadBytes(old + "/file.ls"), "theirs");
  EXPECT_TRUE(fs::exists(old + "/Sub/keep.txt"));
  EXPECT_FALSE(fs::exists(old + "/Sub/file.ls"));

  // Without a temporary directory the path is empty and must not mean "/".
  const std::string probe = "dorvik-probe-" + std::to_string(::getpid());
  PrivateTempDir missing(root / "missing");
  FileCollection none;
  none.AddFiles(src + "/f.txt", "\\" + probe + "\\", false);
  none.AddFiles(src, "\\", false);
  none.DeleteFiles("\\tmp", true);
  none.PrepareForWrite(root / "l.bcd", true, "");
  none.Clear();
  EXPECT_EQ(none.GetWorkspacePath(), "");
  EXPECT_FALSE(fs::exists("/" + probe) || fs::exists("/file.ls") || fs::exists(root / "l.bcd"));
  EXPECT_TRUE(fs::is_directory("/tmp"));
}

TEST_F(CollectionTest, WalksSkipTheWorkspaceAndEndInLinkLoops) {
  WriteFile(tmp + "/note.txt");
  collection->AddFiles(tmp, "\\", false);
  const std::string tmpName = fs::path(tmp).filename(), wsName = fs::path(Workspace()).filename();
  EXPECT_EQ(Names(tmpName), (Strings{"note.txt"}));
  EXPECT_FALSE(fs::exists(Workspace() + "/" + tmpName + "/" + wsName));
  // Nor may the workspace, or a folder inside it, be added to itself.
  collection->AddFiles(Workspace(), "\\", false);
  collection->AddFiles(Workspace() + "/" + tmpName + "/", "\\Again\\", false);
  EXPECT_FALSE(fs::exists(Workspace() + "/" + wsName));
  EXPECT_FALSE(fs::exists(Workspace() + "/Again/" + tmpName));

  WriteFile(src + "/L/a/f.txt");
  WriteFile(src + "/other/g.txt");
  fs::create_directory_symlink(src + "/L", src + "/L/a/up");
  fs::create_directory_symlink(src + "/L/a", src + "/L/a/self");
  fs::create_directory_symlink(src + "/other", src + "/L/side");
  collection->AddFiles(src + "/L", "\\", false);
  EXPECT_EQ(Names("L/a"), (Strings{"f.txt"}));
  EXPECT_EQ(Names("L/side"), (Strings{"g.txt"}));  // a link to elsewhere is followed
  EXPECT_FALSE(fs::exists(Workspace() + "/L/a/up") || fs::exists(Workspace() + "/L/a/self"));
  // A link planted in the workspace is removed, not followed.
  fs::create_directory_symlink(src, Workspace() + "/link");
  collection->Clear();
  EXPECT_TRUE(fs::exists(src + "/other/g.txt"));
}

// Whatever the workspace holds, nothing is created, written or deleted
// through a link in it: the host (or anything else able to write there) may
// plant one where a folder or a catalogue is expected.
TEST_F(CollectionTest, LinksInTheWorkspaceAreNeverFollowed) {
  const std::string outside = root / "outside";
  WriteFile(outside + "/name/keep.txt");
  const auto record = *EncodeCatalogueRecord({"/s/f.txt", "f.txt"});
  const std::string catalogue(record.begin(), record.end());
  WriteFile(outside + "/file.ls", catalogue);
  WriteFile(src + "/f.txt");
  WriteFile(src + "/g.txt");
  WriteFile(src + "/name/new.txt");
  fs::create_directory_symlink(outside, Workspace() + "/A");
  fs::create_directory_symlink(outside, Workspace() + "/name");
  collection->AddFiles(src + "/g.txt", "\\A\\", false);
  collection->AddFiles(src + "/f.txt", "\\A\\B\\", false);
  collection->AddFiles(src + "/name", "\\A\\", false);
  collection->AddFiles(src + "/name", "\\", false);  // would replace the "folder" name
  collection->DeleteFiles("\\A\\name", true);
  collection->DeleteFiles("\\A\\f.txt", false);
  collection->AddFiles(src + "/missing", "\\C\\", false);
  fs::create_symlink(outside + "/file.ls", Workspace() + "/C/file.ls");
  collection->AddFiles(src + "/g.txt", "\\C\\", false);
  collection->DeleteFiles("\\C\\f.txt", false);
  EXPECT_EQ(LayoutPaths(), (Strings{"\\C\\"})) << "no walk went through a link";
  collection->Clear();
  EXPECT_EQ(ReadBytes(outside + "/file.ls"), catalogue);
  EXPECT_TRUE(fs::exists(outside + "/name/keep.txt"));
  Strings left;
  for (const auto& e : fs::recursive_directory_iterator(outside)) left.push_back(fs::relative(e.path(), outside));
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (Strings{"file.ls", "name", "name/keep.txt"}));
  // Private to its owner, and so is every folder made in it.
  collection->AddFiles(src + "/name", "\\D\\", false);
  for (const std::string& folder : {Workspace(), Workspace() + "/D", Workspace() + "/D/name"})
    EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all) << folder;
}

// A named pipe, socket or device has no end: added alone it is refused at
// once, never opened and waited on.
TEST_F(CollectionTest, PipesAndDevicesAreRefusedWithoutWaiting) {
  fs::create_directories(src);
  PipeGuard pipe(src + "/pipe");
  ASSERT_TRUE(pipe.Made());
  collection->AddFiles(src + "/pipe", "\\", false);
  collection->AddFiles("/dev/null", "\\", false);
  collection->AddFiles(src, "\\", false);  // a folder walk passes the pipe over
  EXPECT_FALSE(pipe.Released()) << "Vuz_AddFiles waited on a pipe";
  EXPECT_TRUE(Records().empty());
  EXPECT_TRUE(Records("src").empty());
}

TEST_F(CollectionTest, OverlongEntriesAndPartialRecordsAreSkipped) {
  std::string deep = src + "/";
  while (deep.size() < 200) deep += "d";
  const std::string longName(70, 'n');  // source path over 259 bytes
  WriteFile(deep + "/" + longName);
  WriteFile(deep + "/ok.txt");
  collection->AddFiles(deep, "\\", false);
  collection->AddFiles(deep + "/" + longName, "\\", false);
  collection->AddFiles("<1><" + std::string(300, 'x') + "><j><1><2>", "\\", false);
  EXPECT_EQ(Names(fs::path(deep).filename()), (Strings{"ok.txt"}));
  EXPECT_TRUE(Records().empty());

  // A record cut short is ignored, and the next one starts on a boundary.
  const std::string cat = Workspace() + "/file.ls";
  const auto a = *EncodeCatalogueRecord({"/s/a", "a"});
  WriteFile(cat, std::string(a.begin(), a.end()) + std::string(100, 'z'));
  EXPECT_EQ(Names(), (Strings{"a"}));
  collection->AddFiles(deep + "/ok.txt", "\\", false);
  EXPECT_EQ(Names(), (Strings{"a", "ok.txt"}));
  EXPECT_EQ(fs::file_size(cat), 2 * 520u);
}

}  // namespace
}  // namespace dorvik::test
