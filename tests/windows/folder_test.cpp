// The Win32 half of the folder held by its handle: names of one component
// only, nothing reached past the folder, and what stands under a name told
// apart (a device name included).
#include <gtest/gtest.h>

#include <windows.h>

#include "platform/files.h"
#include "platform/folder.h"
#include "support/temp_folder.h"

namespace dorvik::platform {
namespace {

using test::TempFolder;

TEST(Win32Folder, OnlyPlainNamesAndNothingOutsideTheFolder) {
  TempFolder dir;
  ASSERT_TRUE(CreateFolder(dir / "ws"));
  { LargeFile(dir / "outside.txt", LargeFile::Mode::Create).Write("keep", 4); }
  const Folder ws = Folder::Open(dir / "ws\\\\");
  ASSERT_TRUE(ws.IsOpen());
  EXPECT_EQ(ws.Path(), dir / "ws");
  EXPECT_EQ(ws.Identity(), IdentifyFolder(dir / "ws"));

  // Every name that could reach past the folder, a stream or an alias of
  // another name is refused by every operation.
  for (const char* bad : {"", ".", "..", "..\\outside.txt", "../outside.txt", "a:b", "C:", "x.", "x ", ". "}) {
    EXPECT_FALSE(Folder::IsPlainName(bad)) << bad;
    EXPECT_EQ(ws.KindOf(bad), Folder::Kind::Missing) << bad;
    EXPECT_FALSE(ws.Child(bad).IsOpen()) << bad;
    EXPECT_FALSE(ws.CreateChild(bad)) << bad;
    EXPECT_FALSE(ws.RemoveFile(bad)) << bad;
    EXPECT_THROW(ws.OpenFile(bad, LargeFile::Mode::Create), FileError) << bad;
  }
  EXPECT_EQ(Stat(dir / "outside.txt").size, 4u);
  EXPECT_TRUE(Folder::IsPlainName("file.ls"));
  EXPECT_FALSE(Folder::Open(dir / "outside.txt").IsOpen());
  EXPECT_FALSE(Folder::Open("").IsOpen());
  EXPECT_EQ(Folder::Open("C:\\").Path(), "C:\\");  // the root keeps its separator
}

TEST(Win32Folder, CreatesListsOpensAndRemovesInside) {
  TempFolder dir;
  ASSERT_TRUE(CreateFolder(dir / "ws"));
  const Folder ws = Folder::Open(dir / "ws");
  ASSERT_TRUE(ws.IsOpen());
  EXPECT_TRUE(ws.CreateChild("sub"));
  EXPECT_FALSE(ws.CreateChild("sub"));
  { ws.OpenFile("file.ls", LargeFile::Mode::CreateNew).Write("abc", 3); }
  EXPECT_THROW(ws.OpenFile("file.ls", LargeFile::Mode::CreateNew), FileError);
  EXPECT_THROW(ws.OpenFile("sub", LargeFile::Mode::Read), FileError);  // a folder is no file
  EXPECT_EQ(ws.OpenFile("file.ls", LargeFile::Mode::Read).Length(), 3u);

  EXPECT_EQ(ws.KindOf("sub"), Folder::Kind::Folder);
  EXPECT_EQ(ws.KindOf("file.ls"), Folder::Kind::File);
  EXPECT_EQ(ws.KindOf("none"), Folder::Kind::Missing);
  EXPECT_NE(ws.KindOf("NUL"), Folder::Kind::File);  // the device, not a file of the folder

  const auto entries = ws.List();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].name, "file.ls");
  EXPECT_EQ(entries[1].name, "sub");
  EXPECT_TRUE(entries[1].isDirectory);

  const Folder sub = ws.Child("sub");
  ASSERT_TRUE(sub.IsOpen());
  { sub.OpenFile("inner", LargeFile::Mode::Create); }
  EXPECT_FALSE(ws.Child("file.ls").IsOpen());
  EXPECT_FALSE(ws.RemoveFile("sub"));   // a folder is not removed as a file
  EXPECT_FALSE(ws.RemoveChild("sub"));  // nor while it holds anything
  EXPECT_FALSE(ws.RemoveChild("file.ls"));
  EXPECT_TRUE(sub.RemoveFile("inner"));
  EXPECT_TRUE(ws.RemoveFile("file.ls"));
  EXPECT_TRUE(ws.List().size() == 1u);
}

TEST(Win32Files, StatTellsFilesFromDevices) {
  TempFolder dir;
  { LargeFile(dir / "a.txt", LargeFile::Mode::Create); }
  EXPECT_TRUE(Stat(dir / "a.txt").isRegular);
  EXPECT_FALSE(Stat(dir.Path()).isRegular);
  EXPECT_FALSE(Stat("NUL").isRegular);
}

}  // namespace
}  // namespace dorvik::platform
