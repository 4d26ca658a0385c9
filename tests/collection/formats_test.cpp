// Byte-level checks of the catalogue, the layout file and the file helpers.
#include <sys/stat.h>

#include "collection/file_tree.h"
#include "collection/temp_names.h"
#include "collection/workspace_walk.h"
#include "collection_fixture.h"

namespace dorvik::test {
namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return {s.begin(), s.end()}; }

TEST_F(CollectionTest, CatalogueRecordIsTwoZeroFilledFields) {
  const std::string file = src + "/x.txt";
  WriteFile(file);
  collection->AddFiles(file, "", false);
  const auto bytes = Bytes(ReadBytes(Workspace() + "/file.ls"));
  ASSERT_EQ(bytes.size(), 520u);
  std::vector<uint8_t> expected(520, 0);
  std::copy(file.begin(), file.end(), expected.begin());
  const std::string name = "x.txt";
  std::copy(name.begin(), name.end(), expected.begin() + 260);
  EXPECT_EQ(bytes, expected);
}

TEST_F(CollectionTest, PartialTrailingRecordIsIgnoredAndNotExtended) {
  const std::string cat = Workspace() + "/file.ls";
  auto a = *EncodeCatalogueRecord({"/s/a", "a"});
  auto b = *EncodeCatalogueRecord({"/s/b", "b"});
  std::string content(a.begin(), a.end());
  content.append(b.begin(), b.end());
  content.append(100, 'z');
  WriteFile(cat, content);
  EXPECT_EQ(Names(), (std::vector<std::string>{"a", "b"}));

  // A new record lands on a record boundary, so it reads back whole.
  WriteFile(src + "/c");
  collection->AddFiles(src + "/c", "\\", false);
  EXPECT_EQ(Names(), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(fs::file_size(cat), 3 * 520u);
}

TEST_F(CollectionTest, FreshWorkspaceGivesHeaderAndZeroLengthOnly) {
  const std::string layout = root / "fresh.bcd";
  collection->PrepareForWrite(layout, false, "ABC");
  const auto bytes = Bytes(ReadBytes(layout));
  std::vector<uint8_t> expected(452, 0);
  expected[0] = 0x00, expected[1] = 0x01;  // 256
  expected[4] = 2;
  expected[5] = 'A', expected[6] = 'B', expected[7] = 'C';
  expected[256] = expected[257] = expected[258] = 1;
  expected[320] = expected[321] = expected[322] = expected[323] = 1;
  expected[384] = 1, expected[385] = 2, expected[386] = 1;
  EXPECT_EQ(bytes, expected);

  auto header = ReadLayoutHeader(layout);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->label, "ABC");
  EXPECT_EQ(header->sessionAreaOffset, 256u);
  EXPECT_EQ(header->trackType, kLayoutTrackData);
  EXPECT_EQ(header->entryListLength, 0u);
}

TEST_F(CollectionTest, FileUnderNewFoldersGivesFolderEntriesFirst) {
  const std::string file = src + "/x.txt";
  WriteFile(file);
  collection->AddFiles(file, "\\A\\B\\", false);
  const std::string layout = root / "ab.bcd";
  collection->PrepareForWrite(layout, false, "");
  const auto bytes = ReadBytes(layout);

  std::string list;
  list += std::string("\x01\x00\x00\x03\x00", 5) + "\\A\\";
  list += std::string("\x01\x00\x00\x05\x00", 5) + "\\A\\B\\";
  list += std::string("\x02", 1) + char(file.size()) + '\0' + file + std::string("\x0A\x00", 2) + "\\A\\B\\x.txt";
  ASSERT_EQ(bytes.size(), 452 + list.size());
  EXPECT_EQ(uint8_t(bytes[448]), list.size());
  EXPECT_EQ(bytes.substr(452), list);

  auto entries = ReadLayoutEntries(layout);
  ASSERT_TRUE(entries);
  ASSERT_EQ(entries->size(), 3u);
  EXPECT_EQ((*entries)[2], (LayoutEntry{kLayoutEntryFile, file, "\\A\\B\\x.txt"}));
}

TEST_F(CollectionTest, CataloguesAreFoundInAnyCaseAndOtherFilesIgnored) {
  const std::string ws = Workspace();
  fs::create_directories(ws + "/D");
  auto rec = *EncodeCatalogueRecord({"/s/u", "u"});
  WriteFile(ws + "/D/FILE.LS", std::string(rec.begin(), rec.end()));
  WriteFile(ws + "/D/other.ls", std::string(rec.begin(), rec.end()));
  EXPECT_EQ(LayoutPaths(), (std::vector<std::string>{"\\D\\", "\\D\\u"}));
}

TEST_F(CollectionTest, DamagedLayoutListIsRejectedNotOverread) {
  const std::string layout = root / "bad.bcd";
  auto header = EncodeLayoutHeader("X");
  std::string content(header.begin(), header.end());
  content += std::string("\xFF\xFF\xFF\x7F", 4) + "\x02\x05";  // claims 2 GiB, holds 2 bytes
  WriteFile(layout, content);
  EXPECT_FALSE(ReadLayoutEntries(layout).has_value());
  content.replace(448, 4, std::string("\x03\x00\x00\x00", 4));
  content += "\x01";  // entry whose source length runs past the list
  WriteFile(layout, content);
  EXPECT_FALSE(ReadLayoutEntries(layout).has_value());
  WriteFile(layout, content.substr(0, 100));
  EXPECT_FALSE(ReadLayoutHeader(layout).has_value());
}

TEST(CollectionFiles, CutRangeMovesTheTailAndRefusesOutOfRange) {
  TempFolder dir;
  const std::string f = dir / "f";
  std::string content;
  for (int i = 0; i < 1000; ++i) content += char('a' + i % 26);
  WriteFile(f, content);
  EXPECT_TRUE(CutRange(f, 10, 300));
  EXPECT_EQ(ReadBytes(f), content.substr(0, 10) + content.substr(310));
  EXPECT_FALSE(CutRange(f, 700, 5));  // at the end
  EXPECT_FALSE(CutRange(f, 0, 0));
  EXPECT_FALSE(CutRange(dir / "missing", 0, 1));
  EXPECT_EQ(ReadBytes(f).size(), 700u);
  EXPECT_TRUE(CutRange(f, 0, 700));
  EXPECT_EQ(ReadBytes(f).size(), 0u);
}

TEST(CollectionFiles, DeleteTreeTakesLinksAwayWithoutFollowingThem) {
  TempFolder dir;
  WriteFile(dir / "outside/keep.txt");
  WriteFile(dir / "tree/a/b/f.txt");
  fs::create_directory_symlink(dir / "outside", dir / "tree/a/link");
  fs::create_symlink(dir / "outside/keep.txt", dir / "tree/filelink");
  EXPECT_TRUE(DeleteTree(dir / "tree/"));
  EXPECT_FALSE(fs::exists(dir / "tree"));
  EXPECT_TRUE(fs::exists(dir / "outside/keep.txt"));
  // A link standing for the folder itself is not a folder to delete.
  fs::create_directory_symlink(dir / "outside", dir / "alias");
  EXPECT_FALSE(DeleteTree(dir / "alias"));
  EXPECT_TRUE(fs::exists(dir / "outside/keep.txt"));
  EXPECT_FALSE(DeleteTree(""));
}

TEST(CollectionFiles, TemporaryNamesFollowTheSeededGenerator) {
  EXPECT_EQ(RuntimeRandom(1), 41u);  // the classic runtime's first value after srand(1)
  EXPECT_EQ(RuntimeRandom(1000), 3304u);
  TempFolder dir;
  PrivateTempDir env(dir.Path());
  const std::string ws = CreateWorkspaceFolder();
  ASSERT_FALSE(ws.empty());
  EXPECT_EQ(ws.rfind(dir.Path() + "/Folder", 0), 0u);
  EXPECT_TRUE(fs::is_directory(ws));
  EXPECT_TRUE(fs::is_empty(ws));
  const std::string t = MakeTempFileName(), m = MakeTempFileName("m3u");
  EXPECT_EQ(t.rfind(dir.Path() + "/Temp", 0), 0u);
  EXPECT_EQ(t.substr(t.size() - 4), ".tmp");
  EXPECT_EQ(m.substr(m.size() - 4), ".m3u");
  EXPECT_FALSE(fs::exists(t));
  EXPECT_FALSE(fs::exists(m));
}

TEST(CollectionFiles, UnwritableTemporaryDirectoryEndsTheSearch) {
  // No folder can be made in /proc, whoever runs the test.
  if (!fs::is_directory("/proc")) GTEST_SKIP() << "no /proc";
  PrivateTempDir env("/proc");
  EXPECT_EQ(CreateWorkspaceFolder(), "");
  FileCollection none;
  EXPECT_EQ(none.GetWorkspacePath(), "");
}

}  // namespace
}  // namespace dorvik::test
