// Layouts composed from hand-built workspaces: the head of the smallest
// image byte for byte, path tables, directories, previous-session entries,
// and what the stream hands out.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "collection/catalogue.h"
#include "collection/layout_file.h"
#include "iso/image_composer.h"
#include "collection/previous_session_descriptor.h"
#include "support/library_fixture.h"
#include "support/pipe_guard.h"
#include "iso_image.h"

namespace dorvik::test {
namespace {

// Composes and reads every sector of the padded track.
struct ComposedImage {
  ComposedImage(const Workspace& workspace, uint32_t start = 0, const std::string& label = "") : start(start) {
    ok = composer.Compose(workspace.Layout(label), 1, 1, workspace.root.Path(), start);
    bytes.assign(ok ? composer.PaddedSize() * 2048ull : 0, 0);
    for (size_t at = 0; at < bytes.size(); at += 2048) composer.ReadNextSector(bytes.data() + at, 2048);
  }
  const uint8_t* Sector(uint32_t absolute) const { return bytes.data() + (absolute - start) * 2048ull; }
  uint32_t FirstFileSector() const;

  iso::ImageComposer composer;
  uint32_t start;
  bool ok = false;
  std::vector<uint8_t> bytes;  // the track, from its first sector
};

// New file data starts right after the Joliet M path table, the last piece
// of metadata, as the supplementary descriptor places and sizes it.
uint32_t FirstFileSector(const uint8_t* svd) {
  return Be32(svd + 148) + Le32(svd + 132) / 2048;
}
uint32_t ComposedImage::FirstFileSector() const { return dorvik::test::FirstFileSector(Sector(start + 17)); }

struct ParsedRecord {
  uint32_t offset = 0, length = 0, extent = 0, dataLength = 0, flags = 0;  // offset within the directory
  uint8_t date[7] = {};
  std::string identifier;
};

// Every record of a directory of byteLength bytes at an absolute sector.
std::vector<ParsedRecord> ReadDirectory(const ComposedImage& image, uint32_t extent, uint32_t byteLength) {
  std::vector<ParsedRecord> out;
  const uint8_t* base = image.Sector(extent);
  for (uint32_t at = 0; at < byteLength;) {
    const uint8_t* r = base + at;
    if (r[0] == 0) {  // padding to the end of the sector
      at = (at / 2048 + 1) * 2048;
      continue;
    }
    ParsedRecord p{at, r[0], Both32(r + 2), Both32(r + 10), r[25], {r[18], r[19], r[20], r[21], r[22], r[23], r[24]},
                   std::string(reinterpret_cast<const char*>(r + 33), r[32])};
    EXPECT_LE(at % 2048 + r[0], 2048u) << "record crosses a sector boundary";
    out.push_back(p);
    at += r[0];
  }
  return out;
}

// The directory a record names, read at the extent and length of its "." record.
std::vector<ParsedRecord> Open(const ComposedImage& image, const ParsedRecord& record) {
  return ReadDirectory(image, record.extent, ReadDirectory(image, record.extent, 34).at(0).dataLength);
}

std::vector<ParsedRecord> Root(const ComposedImage& image, bool joliet) {
  const uint8_t* descriptor = image.Sector(image.start + (joliet ? 17 : 16));
  return ReadDirectory(image, Both32(descriptor + 158), Both32(descriptor + 166));
}

ParsedRecord Find(const std::vector<ParsedRecord>& records, const std::string& identifier) {
  for (const auto& r : records)
    if (r.identifier == identifier) return r;
  ADD_FAILURE() << "no record " << identifier;
  return {};
}

std::string Ucs2(const std::string& ascii) {
  std::string out;
  for (char c : ascii) out += std::string(1, '\0') + c;
  return out;
}

struct PathTableRecord {
  std::string identifier;
  uint32_t extent, parent;
};

std::vector<PathTableRecord> ReadPathTable(const uint8_t* p, bool bigEndian) {
  std::vector<PathTableRecord> out;
  for (uint32_t at = 0; at < 2048 && p[at] != 0; at += 8 + p[at] + p[at] % 2) {
    const uint8_t* e = p + at + 2;
    out.push_back({std::string(reinterpret_cast<const char*>(p + at + 8), p[at]),
                   bigEndian ? Be32(e) : Le32(e),
                   uint32_t(bigEndian ? (e[4] << 8 | e[5]) : (e[4] | e[5] << 8))});
  }
  return out;
}

TEST(ComposedLayout, PathTablesNumberDirectoriesLevelByLevel) {
  Workspace workspace;
  workspace.Folder("A/C");
  workspace.Folder("B/D");
  workspace.Folder("B/LONGFOLDERNAME");
  workspace.Folder("B/D/N\nL");  // a line break is a legal folder name on POSIX
  ComposedImage image(workspace);
  ASSERT_TRUE(image.ok);
  const uint8_t *pvd = image.Sector(16), *svd = image.Sector(17);
  const auto primaryL = ReadPathTable(image.Sector(Le32(pvd + 140)), false);
  const auto primaryM = ReadPathTable(image.Sector(pvd[148] << 24 | pvd[149] << 16 | pvd[150] << 8 | pvd[151]), true);
  const auto jolietL = ReadPathTable(image.Sector(Le32(svd + 140)), false);
  const std::vector<std::pair<std::string, uint32_t>> expected = {
      {std::string(1, '\0'), 1}, {"A", 1}, {"B", 1}, {"C", 2}, {"D", 3}, {"LONGFO~1", 3}, {"N\nL", 5}};
  ASSERT_TRUE(primaryL.size() == 7 && primaryM.size() == 7 && jolietL.size() == 7);
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(expected[i].first, primaryL[i].identifier);
    EXPECT_EQ(expected[i].second, primaryL[i].parent) << expected[i].first;
    EXPECT_EQ(primaryL[i].extent, primaryM[i].extent);
    EXPECT_EQ(primaryL[i].parent, primaryM[i].parent);
    EXPECT_EQ(primaryL[i].parent, jolietL[i].parent);
  }
  EXPECT_EQ(Ucs2("LONGFOLDERNAME"), jolietL[5].identifier);
  // Each entry is the extent its directory really has, in both trees; the
  // deepest directory comes first, the root last.
  const auto primaryRoot = Root(image, false), jolietRoot = Root(image, true);
  EXPECT_EQ(primaryL[0].extent, primaryRoot[0].extent);
  EXPECT_EQ(jolietL[0].extent, jolietRoot[0].extent);
  EXPECT_EQ(primaryL[2].extent, Find(primaryRoot, "B").extent);
  EXPECT_EQ(primaryL[4].extent, Find(Open(image, Find(primaryRoot, "B")), "D").extent);
  EXPECT_EQ(jolietL[4].extent, Find(Open(image, Find(jolietRoot, Ucs2("B"))), Ucs2("D")).extent);
  const auto d = Open(image, Find(Open(image, Find(primaryRoot, "B")), "D"));
  EXPECT_EQ(primaryL[6].extent, Find(d, "N\nL").extent);
  EXPECT_EQ(27u, primaryL[3].extent);
  EXPECT_LT(primaryL[1].extent, primaryL[0].extent);
}

TEST(ComposedLayout, DirectoryOfManyEntriesSpansSectorsWithoutSplittingRecords) {
  Workspace workspace;
  const std::string source = workspace.Source("one", "x");
  // Enough entries for both trees to outgrow the in-memory buffer as well.
  for (int i = 0; i < 400; ++i) workspace.Record("BIG", source, "entry-with-a-long-name-" + std::to_string(i) + ".txt");
  ComposedImage image(workspace);
  ASSERT_TRUE(image.ok);
  for (bool joliet : {false, true}) {
    const auto big = Find(Root(image, joliet), joliet ? Ucs2("BIG") : "BIG");
    EXPECT_EQ(0u, big.dataLength % 2048) << "the parent gives whole sectors";
    const auto records = Open(image, big);  // checks that no record crosses a sector
    EXPECT_GT(records[0].dataLength, big.dataLength - 2048) << "'.' gives the exact byte length";
    EXPECT_LT(records[0].dataLength, big.dataLength);
    ASSERT_EQ(402u, records.size());
    EXPECT_EQ(image.FirstFileSector() + 399, records.back().extent) << "relocated in the spilled part too";
    // The tail of a sector before a record that would not fit is zero.
    int padded = 0;
    for (size_t i = 1; i < records.size(); ++i) {
      const uint32_t end = records[i - 1].offset + records[i - 1].length;
      if (records[i].offset == end) continue;
      ++padded;
      EXPECT_EQ(0u, records[i].offset % 2048);
      for (uint32_t at = end; at < records[i].offset; ++at) EXPECT_EQ(0, image.Sector(big.extent)[at]);
    }
    EXPECT_GT(padded, 0);
  }
}

TEST(ComposedLayout, PreviousSessionEntryKeepsItsExtentAndDateAndTakesNoSector) {
  Workspace workspace;
  const uint8_t date[7] = {106, 5, 17, 10, 20, 30, 32}, shortDate[7] = {106, 5, 17, 10, 20, 0, 32};
  workspace.Record("OLD", MakeFileDescriptor("A.TXT", date, 5000, 300), "A.TXT");
  workspace.Record("OLD", MakeFileDescriptor("B.TXT", shortDate, 10, 310), "B.TXT");
  workspace.Record("", workspace.Source("new", "new data"), "NEW.TXT");
  ComposedImage image(workspace, 2000);
  ASSERT_TRUE(image.ok);
  for (bool joliet : {false, true}) {
    auto id = [joliet](const std::string& name) { return joliet ? Ucs2(name) : name; };
    const auto old = Open(image, Find(Root(image, joliet), id("OLD")));
    const auto a = Find(old, id("A.TXT")), b = Find(old, id("B.TXT"));
    EXPECT_EQ(300u, a.extent);
    EXPECT_EQ(5000u, a.dataLength);
    EXPECT_EQ(0, std::memcmp(a.date, date, 7));
    EXPECT_EQ(310u, b.extent);
    EXPECT_EQ(0, std::memcmp(b.date, "\x6a\x05\x11\x0a\x14\x00\x00", 7)) << "bytes after the first zero are 0";
  }
  const uint32_t f = image.FirstFileSector();
  EXPECT_EQ(f, Find(Root(image, false), "NEW.TXT").extent);
  EXPECT_EQ(f + 1, Le32(image.Sector(2016) + 80)) << "only the new file adds data to the volume";
}

TEST(ImageStream, UnreadableFileIsReportedAndLaterFilesKeepTheirExtents) {
  std::vector<std::string> reported;
  Workspace workspace;
  const std::string gone = workspace.Source("gone", std::string(5000, 'g'));
  const std::string shrinks = workspace.Source("shrinks", std::string(4096, 's'));
  const std::string last = workspace.Source("last", "LAST");
  for (const auto& [path, name] : {std::pair{gone, "gone"}, {shrinks, "shrinks"}, {last, "last"}})
    workspace.Record("", path, name);
  iso::ImageComposer composer([&reported](const char* path) { reported.push_back(path); });
  ASSERT_TRUE(composer.Compose(workspace.Layout(), 1, 1, workspace.root.Path(), 0));
  std::filesystem::remove(gone);
  std::filesystem::resize_file(shrinks, 100);
  std::vector<uint8_t> image(composer.PaddedSize() * 2048ull);
  for (size_t at = 0; at < image.size(); at += 2048) composer.ReadNextSector(image.data() + at, 2048);
  const uint8_t* f = image.data() + FirstFileSector(image.data() + 17 * 2048) * 2048ull;
  EXPECT_EQ(std::vector<std::string>{gone}, reported);
  EXPECT_EQ(std::vector<uint8_t>(3 * 2048, 0), std::vector<uint8_t>(f, f + 3 * 2048)) << "the vanished file";
  EXPECT_EQ(std::string(100, 's'), std::string(f + 3 * 2048, f + 3 * 2048 + 100));
  EXPECT_EQ(std::vector<uint8_t>(2048 - 100 + 2048, 0), std::vector<uint8_t>(f + 3 * 2048 + 100, f + 5 * 2048));
  EXPECT_EQ("LAST", std::string(f + 5 * 2048, f + 5 * 2048 + 4)) << "the last file stays on its extent";
}

// Whatever does not reach the disc reaches the host instead: one message
// per file, in walk order, with the path it was added from.
TEST(ComposedLayout, FilesLeftOutAreToldAndFoldersWithoutJolietNamesStay) {
  Workspace workspace;
  const std::string huge = workspace.Source("huge", "");
  std::filesystem::resize_file(huge, uint64_t{1} << 32);  // sparse: 4 GiB, as a folder walk may find it
  const std::string missing = workspace.root / "missing", emoji = workspace.Source("e", "emoji"),
                    latin1 = workspace.Source("l", "latin");
  workspace.Record("", huge, "huge.bin");
  workspace.Record("", missing, "missing.bin");
  workspace.Record("", emoji, "smile\xf0\x9f\x98\x80.txt");  // beyond UCS-2
  workspace.Record("", latin1, "caf\xe9.txt");                 // not UTF-8
  workspace.Record("", workspace.Source("ok", "fine"), "ok.txt");
  workspace.Record("bad\xff" "folder/inner", workspace.Source("in", "inside"), "in.txt");
  std::vector<std::string> told;
  iso::ImageComposer composer([&told](const char* path) { told.push_back(path); });
  ASSERT_TRUE(composer.Compose(workspace.Layout(), 1, 1, workspace.root.Path(), 0));
  ComposedImage image(workspace, 0, "\xc3\x84\xc3\x84\xc3\x84\xc3\x84\xc3\x84\xc3\x84\xc3\x84");  // 14 bytes
  ASSERT_TRUE(image.ok);
  EXPECT_EQ((std::vector<std::string>{huge, missing, emoji, latin1}), told);
  ASSERT_EQ(5u, composer.Notices().size());
  EXPECT_EQ("\\bad\xff" "folder", composer.Notices()[0].discPath);
  EXPECT_EQ(iso::ComposeNotice::Kind::FolderWithoutJolietName, composer.Notices()[0].kind);
  EXPECT_EQ(LeftOutReason::TooLarge, composer.Notices()[1].reason);
  EXPECT_EQ(LeftOutReason::Unreadable, composer.Notices()[2].reason);
  EXPECT_EQ(LeftOutReason::NameNotJoliet, composer.Notices()[4].reason);

  // The folder keeps its primary records and its subtree, data included;
  // only the Joliet tree and tables go without it, and stay consistent.
  const auto root = Root(image, false), jolietRoot = Root(image, true);
  EXPECT_EQ(4u, root.size()) << "'.', '..', the folder and ok.txt";
  EXPECT_EQ(3u, jolietRoot.size()) << "'.', '..' and ok.txt";
  const auto in = Find(Open(image, Find(Open(image, Find(root, "bad\xff" "fo~1")), "inner")), "in.txt");
  EXPECT_EQ(0, std::memcmp(image.Sector(in.extent), "inside", 6));
  EXPECT_EQ(0, std::memcmp(image.Sector(Find(root, "ok.txt").extent), "fine", 4));
  EXPECT_EQ(image.FirstFileSector() + 2, Le32(image.Sector(16) + 80)) << "two files' data, nothing for the rest";
  const auto primaryTable = ReadPathTable(image.Sector(Le32(image.Sector(16) + 140)), false);
  ASSERT_EQ(3u, primaryTable.size());
  EXPECT_EQ(2u, primaryTable[2].parent) << "inner under the folder";
  EXPECT_EQ(1u, ReadPathTable(image.Sector(Le32(image.Sector(17) + 140)), false).size());

  // The label's 13th byte would split a character: both trees keep the six whole ones.
  EXPECT_EQ(std::string(12, '\0'), std::string(reinterpret_cast<const char*>(image.Sector(16) + 40 + 12), 12));
  EXPECT_EQ(Ucs2("\xc4\xc4\xc4\xc4\xc4\xc4") + std::string(4, '\0'), std::string(reinterpret_cast<const char*>(image.Sector(17) + 40), 16));
  // A missing or short layout file gives no image.
  EXPECT_FALSE(composer.Compose(workspace.root / "none.bcd", 1, 1, workspace.root.Path(), 0));
  EXPECT_FALSE(composer.Compose(workspace.Source("short.bcd", std::string(100, '\0')), 1, 1, workspace.root.Path(), 0));
}

// A catalogued file replaced by a pipe (or a device) is never waited for,
// neither while composing nor while streaming.
TEST(ComposedLayout, SourcesThatAreNoRegularFilesAreToldNotWaitedFor) {
  Workspace workspace;
  PipeGuard early(workspace.sources / "early");
  ASSERT_TRUE(early.Made());
  const std::string late = workspace.Source("late", std::string(3000, 'l'));
  workspace.Record("", workspace.sources / "early", "early");
  workspace.Record("", "/dev/zero", "zero");
  workspace.Record("", late, "late");
  workspace.Record("", workspace.Source("last", "LAST"), "last");
  std::vector<std::string> told;
  iso::ImageComposer composer([&told](const char* path) { told.push_back(path); });
  ASSERT_TRUE(composer.Compose(workspace.Layout(), 1, 1, workspace.root.Path(), 0));
  EXPECT_EQ((std::vector<std::string>{workspace.sources / "early", "/dev/zero"}), told);
  EXPECT_EQ(LeftOutReason::NotRegularFile, composer.Notices().at(0).reason);

  std::filesystem::remove(late);
  PipeGuard lateGuard(late);
  std::vector<uint8_t> image(composer.PaddedSize() * 2048ull);
  for (size_t at = 0; at < image.size(); at += 2048) composer.ReadNextSector(image.data() + at, 2048);
  EXPECT_FALSE(early.Released() || lateGuard.Released()) << "something waited on a pipe";
  EXPECT_EQ((std::vector<std::string>{workspace.sources / "early", "/dev/zero", late}), told);
  const uint8_t* f = image.data() + FirstFileSector(image.data() + 17 * 2048) * 2048ull;
  EXPECT_EQ("LAST", std::string(f + 2 * 2048, f + 2 * 2048 + 4)) << "the file after it stays on its extent";
}

// The smallest image: descriptors, root directories and path tables, dated
// by SOURCE_DATE_EPOCH.
bool AllBytes(const uint8_t* p, size_t n, uint8_t value) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != value) return false;
  return true;
}

TEST(EmptyImage, DescriptorsRootsAndPathTablesByteForByte) {
  struct FixedClock {  // 5 March 2007, 09:04:07
    FixedClock() { ::setenv("SOURCE_DATE_EPOCH", "1173085447", 1); }
    ~FixedClock() { ::unsetenv("SOURCE_DATE_EPOCH"); }
  } clock;
  Workspace workspace;
  ComposedImage image(workspace, 0, "MY DISC");
  ASSERT_TRUE(image.ok);
  EXPECT_EQ(608u, image.composer.PaddedSize());
  EXPECT_TRUE(AllBytes(image.Sector(0), 16 * 2048, 0));
  EXPECT_TRUE(AllBytes(image.Sector(19), 8 * 2048, 0));
  EXPECT_TRUE(AllBytes(image.Sector(33), (608 - 33) * 2048, 0)) << "padding";

  const uint8_t* d = image.Sector(16);
  EXPECT_EQ(0, std::memcmp(d, "\x01" "CD001\x01\x00", 8));
  EXPECT_TRUE(AllBytes(d + 8, 32, ' '));
  EXPECT_EQ(0, std::memcmp(d + 40, "MY DISC", 7));
  EXPECT_TRUE(AllBytes(d + 47, 25, 0)) << "the label is padded with zeros, not spaces";
  EXPECT_EQ(33u, Both32(d + 80));
  EXPECT_EQ(0, std::memcmp(d + 120, "\x01\x00\x00\x01\x01\x00\x00\x01\x00\x08\x08\x00", 12));
  EXPECT_EQ(2048u, Both32(d + 132)) << "path table size in whole sectors";
  EXPECT_EQ(0, std::memcmp(d + 140, "\x1d\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x1e\x00\x00\x00\x00", 16));
  EXPECT_EQ(0, std::memcmp(d + 156, "\x22\x00\x1b\x00\x00\x00\x00\x00\x00\x1b\x00\x08\x00\x00\x00\x00\x08\x00"
                                    "\x6b\x03\x05\x09\x04\x07\x20\x02\x00\x00\x01\x00\x00\x01\x01\x00", 34));
  EXPECT_TRUE(AllBytes(d + 190, 384, ' '));
  EXPECT_EQ(0, std::memcmp(d + 574, "KILNOR", 6));
  EXPECT_TRUE(AllBytes(d + 580, 123, 0)) << "application id padding and byte 702";
  EXPECT_TRUE(AllBytes(d + 703, 110, ' '));
  EXPECT_EQ(0, std::memcmp(d + 813, "2007030509040700\x20" "2007030509040700\x20", 34));
  EXPECT_EQ(0, std::memcmp(d + 847, "0000000000000000\x00" "0000000000000000\x00\x01", 35));
  EXPECT_TRUE(AllBytes(d + 882, 2048 - 882, 0));

  const uint8_t* j = image.Sector(17);
  EXPECT_EQ(0, std::memcmp(j, "\x02" "CD001\x01\x00", 8));
  EXPECT_EQ(Ucs2(std::string(15, ' ')) + std::string(2, '\0'), std::string(reinterpret_cast<const char*>(j + 8), 32));
  EXPECT_EQ(Ucs2("MY DISC"), std::string(reinterpret_cast<const char*>(j + 40), 14));
  EXPECT_TRUE(AllBytes(j + 54, 18, 0));
  EXPECT_EQ(33u, Both32(j + 80));
  EXPECT_EQ(0, std::memcmp(j + 88, "\x25\x2f\x45", 3));
  EXPECT_TRUE(AllBytes(j + 91, 29, ' '));
  EXPECT_EQ(2048u, Both32(j + 132));
  EXPECT_EQ(0, std::memcmp(j + 140, "\x1f\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x20", 12));
  EXPECT_EQ(28u, Both32(j + 158));
  EXPECT_TRUE(AllBytes(j + 190, 2048 - 190, 0)) << "identifiers, dates and structure version";
  EXPECT_EQ(0, std::memcmp(image.Sector(18), "\xff" "CD001\x01", 7));
  EXPECT_TRUE(AllBytes(image.Sector(18) + 7, 2048 - 7, 0));

  for (uint32_t extent : {27u, 28u}) {
    const auto records = ReadDirectory(image, extent, 2048);
    ASSERT_EQ(2u, records.size());
    for (const auto& r : records) {
      EXPECT_EQ(34u, r.length);
      EXPECT_EQ(extent, r.extent) << "'..' names the directory itself";
      EXPECT_EQ(68u, r.dataLength) << "the exact byte length";
      EXPECT_EQ(2u, r.flags);
      EXPECT_EQ(0, std::memcmp(r.date, "\x6b\x03\x05\x09\x04\x07\x02", 7));
    }
    EXPECT_EQ(std::string(1, '\0'), records[0].identifier);
    EXPECT_EQ(std::string(1, '\1'), records[1].identifier);
  }
  EXPECT_EQ(0, std::memcmp(image.Sector(29), "\x01\x00\x1b\x00\x00\x00\x01\x00\x00\x00", 10));
  EXPECT_EQ(0, std::memcmp(image.Sector(30), "\x01\x00\x00\x00\x00\x1b\x00\x01\x00\x00", 10));
  EXPECT_EQ(0, std::memcmp(image.Sector(31), "\x01\x00\x1c\x00\x00\x00\x01\x00\x00\x00", 10));
  EXPECT_EQ(0, std::memcmp(image.Sector(32), "\x01\x00\x00\x00\x00\x1c\x00\x01\x00\x00", 10));
}

}  // namespace
}  // namespace dorvik::test
