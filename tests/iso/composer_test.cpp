// Layouts composed from hand-built workspaces: where directories, path
// tables and file data land, and what the stream hands out.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "api/library.h"
#include "iso/previous_session_descriptor.h"
#include "iso_test_support.h"
#include "platform/notify.h"

namespace dorvik::test {
namespace {

struct PathTableRecord {
  std::string identifier;
  uint32_t extent;
  uint16_t parent;
};

std::vector<PathTableRecord> ReadPathTable(const uint8_t* p, uint32_t size, bool bigEndian) {
  std::vector<PathTableRecord> out;
  for (uint32_t at = 0; at < size && p[at] != 0;) {
    const uint8_t n = p[at];
    PathTableRecord r;
    r.identifier.assign(reinterpret_cast<const char*>(p + at + 8), n);
    const uint8_t* e = p + at + 2;
    r.extent = bigEndian ? (uint32_t{e[0]} << 24 | e[1] << 16 | e[2] << 8 | e[3]) : Le32(e);
    r.parent = static_cast<uint16_t>(bigEndian ? (p[at + 6] << 8 | p[at + 7]) : (p[at + 6] | p[at + 7] << 8));
    out.push_back(r);
    at += 8 + n + (n % 2);
  }
  return out;
}

// The directory a record names, read at the extent and length of its own
// "." record.
std::vector<ParsedRecord> Open(const ComposedImage& image, const ParsedRecord& record) {
  const auto head = ReadDirectory(image, record.extent, 34);
  return ReadDirectory(image, record.extent, head.at(0).dataLength);
}

std::vector<ParsedRecord> Root(const ComposedImage& image, bool joliet) {
  const uint8_t* descriptor = image.Sector(image.start + (joliet ? 17 : 16));
  return ReadDirectory(image, Both32(descriptor + 156 + 2), Both32(descriptor + 156 + 10));
}

TEST(ComposedLayout, PathTablesNumberDirectoriesLevelByLevel) {
  HandWorkspace workspace;
  workspace.Folder("A/C");
  workspace.Folder("B/D");
  workspace.Folder("B/LONGFOLDERNAME");
  ComposedImage image;
  Compose(image, workspace);
  ASSERT_TRUE(image.ok);

  const uint8_t* pvd = image.Sector(16);
  const uint8_t* svd = image.Sector(17);
  const auto primaryL = ReadPathTable(image.Sector(Le32(pvd + 140)), 2048, false);
  const auto primaryM = ReadPathTable(image.Sector(pvd[148] << 24 | pvd[149] << 16 | pvd[150] << 8 | pvd[151]), 2048, true);
  const auto jolietL = ReadPathTable(image.Sector(Le32(svd + 140)), 2048, false);
  ASSERT_EQ(6u, primaryL.size());
  const std::vector<std::pair<std::string, uint16_t>> expected = {
      {std::string(1, '\0'), 1}, {"A", 1}, {"B", 1}, {"C", 2}, {"D", 3}, {"LONGFO~1", 3}};
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(expected[i].first, primaryL[i].identifier);
    EXPECT_EQ(expected[i].second, primaryL[i].parent) << expected[i].first;
    EXPECT_EQ(primaryL[i].extent, primaryM[i].extent);
    EXPECT_EQ(primaryL[i].parent, primaryM[i].parent);
    EXPECT_EQ(primaryL[i].parent, jolietL[i].parent);
  }
  EXPECT_EQ(Ucs2("LONGFOLDERNAME"), jolietL[5].identifier);

  // Each table entry is the extent its directory really has, in both trees;
  // children come before their parents, the root last.
  const auto primaryRoot = Root(image, false);
  const auto jolietRoot = Root(image, true);
  EXPECT_EQ(primaryL[0].extent, primaryRoot[0].extent);
  EXPECT_EQ(jolietL[0].extent, jolietRoot[0].extent);
  const auto b = Find(primaryRoot, "B");
  EXPECT_EQ(primaryL[2].extent, b.extent);
  EXPECT_EQ(primaryL[4].extent, Find(Open(image, b), "D").extent);
  EXPECT_EQ(jolietL[4].extent, Find(Open(image, Find(jolietRoot, Ucs2("B"))), Ucs2("D")).extent);
  EXPECT_LT(primaryL[3].extent, primaryL[1].extent);
  EXPECT_LT(primaryL[1].extent, primaryL[0].extent);
  EXPECT_EQ(27u, primaryL[3].extent) << "the deepest first directory opens the directory area";
}

TEST(ComposedLayout, DirectoryOfManyEntriesSpansSectorsWithoutSplittingRecords) {
  HandWorkspace workspace;
  const std::string source = workspace.Source("one", "x");
  // Enough entries for both trees to outgrow the in-memory buffer as well.
  for (int i = 0; i < 400; ++i) workspace.Record("BIG", source, "entry-with-a-long-name-" + std::to_string(i) + ".txt");
  ComposedImage image;
  Compose(image, workspace);
  ASSERT_TRUE(image.ok);
  for (bool joliet : {false, true}) {
    const auto big = Find(Root(image, joliet), joliet ? Ucs2("BIG") : "BIG");
    EXPECT_EQ(0u, big.dataLength % 2048) << "the parent gives whole sectors";
    EXPECT_GT(big.dataLength, 2048u);
    const auto head = ReadDirectory(image, big.extent, 34);
    EXPECT_LT(head[0].dataLength, big.dataLength) << "'.' gives the exact byte length";
    EXPECT_GT(head[0].dataLength, big.dataLength - 2048);
    const auto records = Open(image, big);  // checks no record crosses a sector
    EXPECT_EQ(402u, records.size());
    EXPECT_EQ(image.composer.FirstFileSector() + 399, records.back().extent) << "relocated in the spilled part too";
    // The sector's tail before a record that would not fit is zero.
    bool sawPadding = false;
    for (size_t i = 1; i < records.size(); ++i) {
      const uint32_t end = records[i - 1].offset + records[i - 1].length;
      if (records[i].offset != end) {
        sawPadding = true;
        EXPECT_EQ(0u, records[i].offset % 2048);
        for (uint32_t at = end; at < records[i].offset; ++at) EXPECT_EQ(0, image.Sector(big.extent)[at]);
      }
    }
    EXPECT_TRUE(sawPadding);
  }
}

TEST(ComposedLayout, RecordsCarryShortAndFullNames) {
  HandWorkspace workspace;
  const std::string source = workspace.Source("s", "data");
  for (const char* name : {"README.TXT", "Annual Report 2006.doc", "archive.tar.gz", "MAKEFILE", "LONGNAMEFILE"})
    workspace.Record("", source, name);
  ComposedImage image;
  Compose(image, workspace);
  ASSERT_TRUE(image.ok);
  const auto primary = Root(image, false);
  const auto joliet = Root(image, true);
  EXPECT_EQ(44, Find(primary, "README.TXT").length);
  EXPECT_EQ(54, Find(joliet, Ucs2("README.TXT")).length);
  Find(primary, "Annual~1.doc");
  Find(joliet, Ucs2("Annual Report 2006.doc"));
  EXPECT_EQ(0, Find(primary, "MAKEFILE").flags);
  EXPECT_EQ(4u, Find(primary, "MAKEFILE").dataLength);
}

TEST(ComposedLayout, FileDataFollowsThePathTablesAtAbsoluteAddresses) {
  FixedClock clock("1173085447");
  HandWorkspace workspace;
  const std::string a = workspace.Source("a", std::string(2048, 'a'));
  const std::string b = workspace.Source("b", std::string(2049, 'b'));
  const std::string c = workspace.Source("c", "");
  std::string pattern(3000, '\0');
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<char>(i * 7);
  const std::string d = workspace.Source("d", pattern);
  workspace.Record("", a, "a.bin");
  workspace.Record("", b, "b.bin");
  workspace.Record("", c, "c.bin");
  workspace.Record("", d, "d.bin");
  ComposedImage image;
  Compose(image, workspace, 1000);
  ASSERT_TRUE(image.ok);

  EXPECT_EQ(0, std::memcmp(image.Sector(1016), "\x01" "CD001", 6));
  EXPECT_EQ(1000 + image.composer.TotalSectors(), Both32(image.Sector(1016) + 80)) << "the volume from sector 0 on";
  EXPECT_EQ(1000 + image.composer.TotalSectors(), Both32(image.Sector(1017) + 80));
  EXPECT_EQ(1027u + 2 /* root, both trees */ + 4 /* path tables */, image.composer.FirstFileSector());
  const uint32_t f = image.composer.FirstFileSector();
  const auto root = Root(image, false);
  EXPECT_EQ(1027u, root[0].extent);
  EXPECT_EQ(f, Find(root, "a.bin").extent);
  EXPECT_EQ(f + 1, Find(root, "b.bin").extent) << "2048 bytes take one sector";
  EXPECT_EQ(f + 3, Find(root, "c.bin").extent) << "2049 bytes take two";
  EXPECT_EQ(f + 4, Find(root, "d.bin").extent) << "an empty file takes one";
  EXPECT_EQ(0u, Find(root, "c.bin").dataLength);
  EXPECT_EQ(f + 6 - 1000, image.composer.TotalSectors());
  EXPECT_EQ(Find(root, "d.bin").extent, Find(Root(image, true), Ucs2("d.bin")).extent);

  EXPECT_EQ(0, std::memcmp(image.Sector(f + 4), pattern.data(), 2048));
  EXPECT_EQ(0, std::memcmp(image.Sector(f + 5), pattern.data() + 2048, 952));
  for (size_t i = 952; i < 2048; ++i) ASSERT_EQ(0, image.Sector(f + 5)[i]);
  for (size_t i = 0; i < 2048; ++i) ASSERT_EQ(0, image.Sector(f + 3)[i]) << "the empty file's sector";
  EXPECT_EQ('b', image.Sector(f + 2)[0]);
  EXPECT_EQ(0, image.Sector(f + 2)[1]);
}

TEST(ComposedLayout, PreviousSessionEntryKeepsItsExtentAndDateAndTakesNoSector) {
  HandWorkspace workspace;
  const uint8_t date[7] = {106, 5, 17, 10, 20, 30, 32};
  workspace.Record("OLD", MakeFileDescriptor("A.TXT", date, 5000, 300), "A.TXT");
  const uint8_t shortDate[7] = {106, 5, 17, 10, 20, 0, 32};  // second 0 ends the text early
  workspace.Record("OLD", MakeFileDescriptor("B.TXT", shortDate, 10, 310), "B.TXT");
  workspace.Record("", workspace.Source("new", "new data"), "NEW.TXT");
  ComposedImage image;
  Compose(image, workspace, 2000);
  ASSERT_TRUE(image.ok);

  for (bool joliet : {false, true}) {
    const auto old = Open(image, Find(Root(image, joliet), joliet ? Ucs2("OLD") : "OLD"));
    const auto a = Find(old, joliet ? Ucs2("A.TXT") : "A.TXT");
    EXPECT_EQ(300u, a.extent);
    EXPECT_EQ(5000u, a.dataLength);
    EXPECT_EQ(0, std::memcmp(a.date, date, 7));
    const auto b = Find(old, joliet ? Ucs2("B.TXT") : "B.TXT");
    EXPECT_EQ(310u, b.extent);
    const uint8_t cutDate[7] = {106, 5, 17, 10, 20, 0, 0};  // the missing bytes are 0
    EXPECT_EQ(0, std::memcmp(b.date, cutDate, 7));
  }
  const uint32_t f = image.composer.FirstFileSector();
  EXPECT_EQ(f, Find(Root(image, false), "NEW.TXT").extent);
  EXPECT_EQ(f + 1 - 2000, image.composer.TotalSectors()) << "only the new file adds data";
}

struct Notifications {
  std::vector<std::string> paths;
  static void Receive(void* context, uint32_t, uint32_t, uint32_t wParam, const char* lParam) {
    if (wParam == 600) static_cast<Notifications*>(context)->paths.push_back(lParam);
  }
};

TEST(ImageStream, FilesKeepTheirExtentsWhenSourcesVanishOrChange) {
  LibraryRestart library;
  Notifications seen;
  platform::SetHostCallback(&Notifications::Receive, &seen);
  Library::Get().state.messageWindow = 1;

  HandWorkspace workspace;
  const std::string gone = workspace.Source("gone", std::string(5000, 'g'));
  const std::string shrinks = workspace.Source("shrinks", std::string(4096, 's'));
  const std::string grows = workspace.Source("grows", "g");
  const std::string last = workspace.Source("last", "LAST");
  for (const auto& [path, name] : {std::pair{gone, "gone"}, {shrinks, "shrinks"}, {grows, "grows"}, {last, "last"}})
    workspace.Record("", path, name);
  iso::ImageComposer composer;
  ASSERT_TRUE(composer.Compose(workspace.Layout(), 1, 1, workspace.Root(), 0));
  const uint32_t f = composer.FirstFileSector();

  std::filesystem::remove(gone);
  std::filesystem::resize_file(shrinks, 100);
  std::ofstream(grows, std::ios::app) << std::string(9000, 'G');

  std::vector<uint8_t> sector(2048);
  std::string nameWhileLast;
  for (uint32_t i = 0; i < composer.PaddedSize(); ++i) {
    std::fill(sector.begin(), sector.end(), 0);
    composer.ReadNextSector(sector.data(), 2048);
    if (i == f + 4) {
      EXPECT_EQ(0, sector[0]) << "the shrunk file's second sector is zero";
    }
    if (i == f + 6) {
      EXPECT_EQ(0, std::memcmp(sector.data(), "LAST", 4)) << "the last file stays on its extent";
      nameWhileLast = composer.CurrentSourcePath();
    }
  }
  EXPECT_EQ(last, nameWhileLast);
  ASSERT_EQ(1u, seen.paths.size()) << "one message for the vanished file";
  EXPECT_EQ(gone, seen.paths[0]);
  platform::SetHostCallback(nullptr, nullptr);
}

TEST(ComposedLayout, UnusableEntriesAreLeftOutWholly) {
  HandWorkspace workspace;
  const std::string huge = workspace.Source("huge", "");
  std::filesystem::resize_file(huge, (uint64_t{1} << 32));  // sparse: 4 GiB
  workspace.Record("", huge, "huge.bin");
  workspace.Record("", workspace.Root() + "/missing", "missing.bin");
  workspace.Record("", workspace.Source("e", "emoji"), "smile\xf0\x9f\x98\x80.txt");
  workspace.Folder("bad\xff" "folder/inner");
  const std::string ok = workspace.Source("ok", "fine");
  workspace.Record("", ok, "ok.txt");
  ComposedImage image;
  Compose(image, workspace);
  ASSERT_TRUE(image.ok);
  const auto root = Root(image, false);
  EXPECT_EQ(3u, root.size()) << "only '.', '..' and ok.txt";
  EXPECT_EQ(image.composer.FirstFileSector(), Find(root, "ok.txt").extent);
  EXPECT_EQ(0, std::memcmp(image.Sector(image.composer.FirstFileSector()), "fine", 4));
  const auto table = ReadPathTable(image.Sector(Le32(image.Sector(16) + 140)), 2048, false);
  EXPECT_EQ(1u, table.size());
}

TEST(ComposedLayout, SameInputsAndClockGiveIdenticalImages) {
  FixedClock clock("1500000000");
  HandWorkspace workspace;
  const std::string s = workspace.Source("s", "same");
  workspace.Record("X/Y", s, "s.txt");
  ComposedImage first, second;
  Compose(first, workspace, 0, "L");
  Compose(second, workspace, 0, "L");
  ASSERT_TRUE(first.ok);
  ASSERT_TRUE(second.ok);
  EXPECT_TRUE(first.bytes == second.bytes);
}

TEST(ComposedLayout, ComposingAgainStartsFresh) {
  HandWorkspace workspace;
  workspace.Record("", workspace.Source("s", "abc"), "s.txt");
  iso::ImageComposer composer;
  ASSERT_TRUE(composer.Compose(workspace.Layout(), 1, 1, workspace.Root(), 0));
  const uint32_t total = composer.TotalSectors();
  uint8_t sector[2048];
  for (int i = 0; i < 40; ++i) composer.ReadNextSector(sector, 2048);
  ASSERT_TRUE(composer.Compose(workspace.Layout(), 1, 1, workspace.Root(), 0));
  EXPECT_EQ(total, composer.TotalSectors());
  for (int i = 0; i < 17; ++i) {
    std::memset(sector, 0, sizeof sector);
    composer.ReadNextSector(sector, 2048);
  }
  EXPECT_EQ(1, sector[0]) << "the stream restarted at sector 0";
}

}  // namespace
}  // namespace dorvik::test

namespace dorvik::test {
namespace {

// After fork both processes draw the very same temporary names; each must
// still end up with files of its own.
TEST(TemporaryFiles, TwoProcessesWithTheSameNameSequenceComposeApart) {
  HandWorkspace mine, theirs;
  mine.Record("", mine.Source("s", "MINE"), "m.txt");
  theirs.Record("", theirs.Source("s", "THEIRS"), "t.txt");
  auto composeRepeatedly = [](const HandWorkspace& workspace, char first) {
    for (int i = 0; i < 60; ++i) {
      ComposedImage image;
      Compose(image, workspace);
      if (!image.ok || image.Sector(image.composer.FirstFileSector())[0] != first) return false;
    }
    return true;
  };
  std::fflush(nullptr);
  const pid_t child = fork();
  ASSERT_NE(-1, child);
  if (child == 0) _exit(composeRepeatedly(theirs, 'T') ? 0 : 1);
  const bool ok = composeRepeatedly(mine, 'M');
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(ok);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace dorvik::test
