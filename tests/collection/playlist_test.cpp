// The playlist made for a write and its record in the root catalogue.
#include "collection_fixture.h"

namespace dorvik::test {
namespace {

using Strings = std::vector<std::string>;

TEST_F(CollectionTest, PlaylistListsEveryRecordWithItsDiscFolder) {
  WriteFile(src + "/a.mp3");
  WriteFile(src + "/b.mp3");
  WriteFile(src + "/c.txt");
  collection->AddFiles(src + "/a.mp3", "", false);
  collection->AddFiles(src + "/b.mp3", "\\CD1\\", false);
  collection->AddFiles(src + "/c.txt", "\\CD1\\Deep\\", false);
  auto paths = LayoutPaths(true);
  const std::string playlist = collection->GetPlaylistPath();
  ASSERT_FALSE(playlist.empty());
  EXPECT_EQ(playlist.rfind(tmp + "/Temp", 0), 0u);
  EXPECT_EQ(playlist.substr(playlist.size() - 4), ".m3u");
  // Enumeration order of the workspace: the folder CD1 sorts before file.ls.
  EXPECT_EQ(ReadBytes(playlist), "\\CD1\\Deep\\c.txt\r\n\\CD1\\b.mp3\r\na.mp3\r\n");
  EXPECT_EQ(Records().back(), (CatalogueRecord{playlist, "Playlist.M3U"}));
  EXPECT_EQ(paths.back(), "\\Playlist.M3U");
}

TEST_F(CollectionTest, EmptyCollectionGetsEmptyPlaylistAndItsEntryOnly) {
  auto entries = Layout(true);
  const std::string playlist = collection->GetPlaylistPath();
  EXPECT_EQ(ReadBytes(playlist), "");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0], (LayoutEntry{kLayoutEntryFile, playlist, "\\Playlist.M3U"}));
}

TEST_F(CollectionTest, SecondPreparationListsTheFirstPlaylistRecord) {
  WriteFile(src + "/a.mp3");
  collection->AddFiles(src + "/a.mp3", "", false);
  Layout(true);
  const std::string playlist = collection->GetPlaylistPath();
  auto entries = Layout(true);
  EXPECT_EQ(collection->GetPlaylistPath(), playlist);
  EXPECT_EQ(ReadBytes(playlist), "a.mp3\r\nPlaylist.M3U\r\n");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[1], (LayoutEntry{kLayoutEntryFile, playlist, "\\Playlist.M3U"}));
  EXPECT_EQ(entries[2], entries[1]);
}

TEST_F(CollectionTest, WithoutPlaylistTheRootCatalogueIsUntouched) {
  WriteFile(src + "/a.mp3");
  collection->AddFiles(src + "/a.mp3", "", false);
  const std::string before = ReadBytes(Workspace() + "/file.ls");
  EXPECT_EQ(LayoutPaths(false), (Strings{"\\a.mp3"}));
  EXPECT_EQ(ReadBytes(Workspace() + "/file.ls"), before);
  EXPECT_EQ(collection->GetPlaylistPath(), "");
}

}  // namespace
}  // namespace dorvik::test
