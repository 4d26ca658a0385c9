// Byte-level checks of the catalogue, the layout file and the playlist, and
// the temporary names.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <sstream>

#include "collection/temp_names.h"
#include "collection_fixture.h"
#include "support/pipe_guard.h"

namespace dorvik::test {
namespace {

TEST_F(CollectionTest, CatalogueRecordIsTwoZeroFilledFields) {
  const std::string file = src + "/x.txt";
  WriteFile(file);
  collection->AddFiles(file, "", false);
  std::string expected(520, '\0');
  expected.replace(0, file.size(), file);
  expected.replace(260, 5, "x.txt");
  EXPECT_EQ(ReadBytes(Workspace() + "/file.ls"), expected);
}

TEST_F(CollectionTest, LayoutFileHeaderAndFolderEntries) {
  // A fresh workspace: the header, an entry list of length 0, nothing else.
  collection->PrepareForWrite(root / "fresh.bcd", false, "ABC");
  std::string header(452, '\0');
  header[0] = 0x00, header[1] = 0x01, header[4] = 2;
  header.replace(5, 3, "ABC");
  header[256] = header[257] = header[258] = 1;
  header[320] = header[321] = header[322] = header[323] = 1;
  header[384] = 1, header[385] = 2, header[386] = 1;
  EXPECT_EQ(ReadBytes(root / "fresh.bcd"), header);

  // A file under \A\B\ brings the folder entries \A\ and \A\B\ before it.
  const std::string file = src + "/x.txt";
  WriteFile(file);
  collection->AddFiles(file, "\\A\\B\\", false);
  collection->PrepareForWrite(root / "ab.bcd", false, "ABC");
  std::string list = std::string("\x01\x00\x00\x03\x00", 5) + "\\A\\" + std::string("\x01\x00\x00\x05\x00", 5) +
                     "\\A\\B\\" + "\x02" + char(file.size()) + '\0' + file + std::string("\x0A\x00", 2) + "\\A\\B\\x.txt";
  header[448] = char(list.size());
  EXPECT_EQ(ReadBytes(root / "ab.bcd"), header + list);
}

TEST(TempNames, FollowTheSeededGeneratorAndStopWhenNothingCanBeMade) {
  EXPECT_EQ(RuntimeRandom(1), 41u);  // the classic runtime's first value after srand(1)
  EXPECT_EQ(RuntimeRandom(1000), 3304u);
  TempFolder dir;
  {
    PrivateTempDir env(dir.Path());
    const std::string ws = CreateWorkspaceFolder();
    EXPECT_TRUE(fs::is_directory(ws) && fs::is_empty(ws));
    const std::string reserved = ReserveTempFileName();
    EXPECT_EQ(reserved.rfind(dir.Path() + "/Temp", 0), 0u);
    EXPECT_EQ(reserved.substr(reserved.size() - 4), ".tmp");
    EXPECT_TRUE(fs::is_regular_file(reserved) && fs::is_empty(reserved));
  }
  PrivateTempDir env("/proc");  // nothing can be made there, whoever runs the test
  EXPECT_EQ(CreateWorkspaceFolder(), "");
  EXPECT_EQ(ReserveTempFileName("bcd"), "");
  EXPECT_EQ(FileCollection().GetWorkspacePath(), "");
}

// After fork both processes draw the very same names; a reserved file must
// still belong to one of them only.
TEST(TempNames, TwoProcessesReserveDifferentFiles) {
  TempFolder dir;
  PrivateTempDir env(dir.Path());
  std::fflush(nullptr);
  const pid_t child = ::fork();
  ASSERT_NE(-1, child);
  std::string names;
  for (int i = 0; i < 50; ++i) names += ReserveTempFileName("m3u") + "\n";
  if (child == 0) {
    std::ofstream(dir / "child.txt") << names;
    _exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  std::istringstream lines(names + ReadBytes(dir / "child.txt"));
  std::set<std::string> unique;
  for (std::string line; std::getline(lines, line);) EXPECT_TRUE(unique.insert(line).second) << "shared: " << line;
  EXPECT_EQ(100u, unique.size());
  EXPECT_FALSE(unique.count(""));
}

// Another process may give a name up again between our failed try and our
// look at it: that name was taken, not the folder unusable.
TEST(TempNames, NamesTakenAndGivenUpByAnotherProcessAreSkipped) {
  TempFolder dir;
  PrivateTempDir env(dir.Path());
  std::fflush(nullptr);
  const pid_t child = ::fork();
  ASSERT_NE(-1, child);
  int failures = 0;
  for (int i = 0; i < 2000; ++i) {
    const std::string name = ReserveTempFileName("tmp");
    const std::string folder = CreateWorkspaceFolder();
    failures += name.empty() + folder.empty();
    fs::remove(name);
    fs::remove(folder);
  }
  if (child == 0) _exit(failures == 0 ? 0 : 1);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(0, failures);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the other process failed to get a name";
}

TEST_F(CollectionTest, PlaylistListsEveryRecordWithItsDiscFolder) {
  WriteFile(src + "/a.mp3");
  WriteFile(src + "/b.mp3");
  WriteFile(src + "/c.txt");
  collection->AddFiles(src + "/a.mp3", "", false);
  collection->AddFiles(src + "/b.mp3", "\\CD1\\", false);
  collection->AddFiles(src + "/c.txt", "\\CD1\\Deep\\", false);
  // Without the switch no playlist is made and the root catalogue stays.
  const std::string before = ReadBytes(Workspace() + "/file.ls");
  EXPECT_EQ(LayoutPaths().size(), 5u);
  EXPECT_EQ(ReadBytes(Workspace() + "/file.ls"), before);
  EXPECT_EQ(collection->GetPlaylistPath(), "");

  const auto paths = LayoutPaths(true);
  const std::string playlist = collection->GetPlaylistPath();
  EXPECT_EQ(playlist.rfind(tmp + "/Temp", 0), 0u);
  EXPECT_EQ(playlist.substr(playlist.size() - 4), ".m3u");
  // Workspace order: the folder CD1 sorts before file.ls.
  EXPECT_EQ(ReadBytes(playlist), "\\CD1\\Deep\\c.txt\r\n\\CD1\\b.mp3\r\na.mp3\r\n");
  EXPECT_EQ(Records().back(), (CatalogueRecord{playlist, "Playlist.M3U"}));
  EXPECT_EQ(paths.back(), "\\Playlist.M3U");
}

// The playlist and layout files are made again on every preparation, in
// the shared temporary directory: truncated in place, never unlinked and
// made anew, which would let another local user plant a link in between.
TEST_F(CollectionTest, SecondPreparationRewritesBothFilesInPlace) {
  WriteFile(src + "/a.mp3");
  collection->AddFiles(src + "/a.mp3", "", false);
  Layout(true);
  const std::string playlist = collection->GetPlaylistPath(), layout = root / "layout.bcd";
  // Held open: a file unlinked and made anew would leave these nameless.
  const int playlistFd = ::open(playlist.c_str(), O_RDONLY), layoutFd = ::open(layout.c_str(), O_RDONLY);
  const auto entries = Layout(true);
  struct stat held {};
  EXPECT_TRUE(::fstat(playlistFd, &held) == 0 && held.st_nlink == 1 && held.st_size == 21);
  EXPECT_TRUE(::fstat(layoutFd, &held) == 0 && held.st_nlink == 1 && uint64_t(held.st_size) == fs::file_size(layout));
  ::close(playlistFd);
  ::close(layoutFd);
  EXPECT_EQ(collection->GetPlaylistPath(), playlist);
  EXPECT_EQ(ReadBytes(playlist), "a.mp3\r\nPlaylist.M3U\r\n");
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[1], (LayoutEntry{kLayoutEntryFile, playlist, "\\Playlist.M3U"}));
  EXPECT_EQ(entries[2], entries[1]);

  // Links planted under both names are refused, never written through.
  WriteFile(root / "victim", "keep");
  for (const std::string& name : {playlist, layout}) {
    fs::remove(name);
    fs::create_symlink(root / "victim", name);
  }
  collection->PrepareForWrite(layout, true, "L");
  collection->PrepareForWrite(layout, false, "L");
  EXPECT_EQ(ReadBytes(root / "victim"), "keep");
}

// The playlist is written before the image is composed; it must not name
// a file that the image will leave out.
TEST_F(CollectionTest, PlaylistNamesOnlyFilesTheDiscWillHold) {
  for (const char* name : {"ok.mp3", "smile\xf0\x9f\x98\x80.mp3", "caf\xe9.mp3", "Emoji\xf0\x9f\x8e\xb5/in.mp3",
                           "gone.mp3", "piped.mp3"})
    WriteFile(src + "/M/" + name);
  collection->AddFiles(src + "/M", "\\", false);
  fs::remove(src + "/M/gone.mp3");
  fs::remove(src + "/M/piped.mp3");
  PipeGuard piped(src + "/M/piped.mp3");
  Layout(true);
  EXPECT_FALSE(piped.Released());
  // The folder without a Joliet name stays on the disc, and so in the list.
  EXPECT_EQ(ReadBytes(collection->GetPlaylistPath()), "\\M\\Emoji\xf0\x9f\x8e\xb5\\in.mp3\r\n\\M\\ok.mp3\r\n");
}

}  // namespace
}  // namespace dorvik::test
