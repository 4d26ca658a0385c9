// The interchange layout composed from hand-built workspaces: where every
// piece lies, what the trees hold, files in several sections, entries of an
// earlier session, and the stream that hands it all out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "collection/previous_session_descriptor.h"
#include "iso/file_sections.h"
#include "iso/interchange_names.h"
#include "iso_image.h"

namespace dorvik::test {
namespace {

using iso::IsoLayout;

struct FixedClock {
  FixedClock() { ::setenv("SOURCE_DATE_EPOCH", "1173085447", 1); }
  ~FixedClock() { ::unsetenv("SOURCE_DATE_EPOCH"); }
};

// Every directory of one tree, walked from the root through its records,
// with the extent of its parent.
struct Walked {
  uint32_t extent, parent, level;
  std::vector<Record> records;
};
std::vector<Walked> WalkTree(const Image& image, bool joliet) {
  const uint32_t root = Both32(image.Descriptor(joliet) + 158);
  std::vector<Walked> out{{root, root, 1, image.Directory(root)}};
  for (size_t i = 0; i < out.size(); ++i) {
    for (size_t r = 2; r < out[i].records.size(); ++r) {
      const Record record = out[i].records[r];
      if (record.flags & 2) out.push_back({record.extent, out[i].extent, out[i].level + 1, image.Directory(record.extent)});
    }
  }
  return out;
}

TEST(InterchangeLayout, AStreamingReaderMeetsParentsBeforeChildrenAndAllDirectoriesBeforeData) {
  FixedClock clock;
  Workspace workspace;
  workspace.Folder("Zeta/Inner/Innermost");
  workspace.Folder("alpha/Beta");
  workspace.Folder("empty");
  workspace.Record("", workspace.Source("r", "root file"), "root.txt");
  workspace.Record("alpha/Beta", workspace.Source("b", "beta file"), "b.txt");
  workspace.Record("Zeta/Inner", workspace.Source("e", ""), "empty.dat");
  workspace.Record("Zeta", workspace.root / "missing", "gone.txt");  // unreadable: left out
  Image image(workspace, IsoLayout::Interchange, 1000);
  ASSERT_TRUE(image.ok);

  for (bool joliet : {false, true}) {
    const uint8_t* d = image.Descriptor(joliet);
    EXPECT_EQ(1, d[881]) << "file structure version";
    // The tables follow the descriptors: primary L and M, then Joliet L and M.
    EXPECT_EQ(joliet ? 1021u : 1019u, Le32(d + 140));
    EXPECT_EQ(joliet ? 1022u : 1020u, Be32(d + 148));
  }
  EXPECT_EQ(0, std::memcmp(image.Descriptor(true) + 88, "%/E\0\0\0", 6));

  uint32_t lastDirectorySector = 0, firstDataSector = UINT32_MAX;
  std::set<uint32_t> primaryExtents;
  for (bool joliet : {false, true}) {
    const std::vector<Walked> tree = WalkTree(image, joliet);
    ASSERT_EQ(7u, tree.size());
    const auto table = image.PathTable(joliet, false), tableM = image.PathTable(joliet, true);
    ASSERT_EQ(tree.size(), table.size());
    std::map<uint32_t, uint32_t> numberOf;  // extent -> path table number
    for (size_t i = 0; i < table.size(); ++i) {
      numberOf[table[i].extent] = static_cast<uint32_t>(i + 1);
      EXPECT_EQ(table[i].extent, tableM[i].extent);
      EXPECT_EQ(table[i].parent, tableM[i].parent);
      if (i > 0) {
        EXPECT_GT(table[i].extent, table[i - 1].extent) << "laid out in path table order";
      }
    }
    for (const Walked& dir : tree) {
      ASSERT_TRUE(numberOf.count(dir.extent)) << "every directory is in the path table";
      EXPECT_EQ(numberOf[dir.parent], table[numberOf[dir.extent] - 1].parent);
      EXPECT_GE(dir.extent, dir.parent) << "a parent lies before its children";
      EXPECT_EQ(dir.extent, dir.records[0].extent) << "'.'";
      EXPECT_EQ(dir.parent, dir.records[1].extent) << "'..' names the parent";
      EXPECT_EQ(0u, dir.records[0].length % 2048);
      for (size_t r = 3; r < dir.records.size(); ++r) {
        const std::string &a = dir.records[r - 1].id, &b = dir.records[r].id;
        EXPECT_TRUE(joliet ? iso::JolietIdentifierLess(a, b) : iso::PrimaryIdentifierLess(a, b)) << "sorted";
      }
      for (const Record& record : dir.records) {
        if (record.flags & 2) lastDirectorySector = std::max(lastDirectorySector, record.extent);
        else firstDataSector = std::min(firstDataSector, record.extent);
      }
      if (joliet) {
        EXPECT_GT(dir.extent, *primaryExtents.rbegin()) << "the Joliet tree follows the primary one";
      } else {
        primaryExtents.insert(dir.extent);
      }
    }
  }
  EXPECT_LT(lastDirectorySector, firstDataSector) << "every directory before any file data";

  const auto root = image.Root(false);
  EXPECT_EQ(6u, root.size()) << "., .., ALPHA, EMPTY, ROOT.TXT;1, ZETA";
  EXPECT_EQ("ROOT.TXT;1", root[4].id);
  EXPECT_EQ(0, std::memcmp(image.Sector(root[4].extent), "root file", 9));
  const auto zeta = image.Directory(Find(root, "ZETA")->extent);
  ASSERT_EQ(3u, zeta.size()) << "gone.txt has no record in either tree";
  EXPECT_EQ(std::vector<std::string>{workspace.root / "missing"}, image.reported) << "and the host is told";
  const auto inner = image.Directory(zeta[2].extent);
  const Record* empty = Find(inner, "EMPTY.DAT;1");
  ASSERT_TRUE(empty);
  EXPECT_EQ(0u, empty->length);
  // Three files, one sector each (the empty one too, so no two files share
  // an extent a reader would take for a hard link).
  EXPECT_EQ(firstDataSector + 3, Both32(image.Descriptor(false) + 80));
}

TEST(InterchangeLayout, FoldersBelowTheEighthLevelMoveInThePrimaryTreeOnly) {
  Workspace workspace;
  std::string path = "deep";
  for (int i = 1; i <= 12; ++i) path += "/level" + std::to_string(i);
  workspace.Record(path, workspace.Source("bottom", "bottom"), "bottom.txt");
  workspace.Folder("DEEPER");  // the name the primary tree would give the moved folders' home
  Image image(workspace, IsoLayout::Interchange);
  ASSERT_TRUE(image.ok);

  const auto primary = WalkTree(image, false), joliet = WalkTree(image, true);
  uint32_t deepestPrimary = 0, deepestJoliet = 0;
  for (const Walked& dir : primary) deepestPrimary = std::max(deepestPrimary, dir.level);
  for (const Walked& dir : joliet) deepestJoliet = std::max(deepestJoliet, dir.level);
  EXPECT_EQ(8u, deepestPrimary);
  EXPECT_EQ(14u, deepestJoliet) << "root, deep, level1 to level12";
  EXPECT_EQ(joliet.size() + 1, primary.size()) << "one more folder holds the moved ones";
  const auto root = image.Root(false);
  ASSERT_TRUE(Find(root, "DEEPER"));
  const auto moved = image.Directory(Find(root, "DEEPER_1")->extent);
  ASSERT_EQ(3u, moved.size()) << "level7, the ninth level, stands in it, and below it the rest";
  EXPECT_EQ("LEVEL7", moved[2].id);
  // The file at the bottom is one file, reached through either tree.
  uint32_t viaPrimary = 0, viaJoliet = 0;
  for (const Walked& dir : primary)
    for (const Record& r : dir.records)
      if (r.id == "BOTTOM.TXT;1") viaPrimary = r.extent;
  for (const Walked& dir : joliet)
    for (const Record& r : dir.records)
      if (r.id == Utf16(u"bottom.txt")) viaJoliet = r.extent;
  EXPECT_NE(0u, viaPrimary);
  EXPECT_EQ(viaPrimary, viaJoliet);
  EXPECT_EQ(primary.size(), image.PathTable(false, false).size());
  EXPECT_EQ(joliet.size(), image.PathTable(true, false).size());
}

TEST(InterchangeLayout, FileOfFourGibibytesOrMoreIsWrittenInSections) {
  Workspace workspace;
  const std::string huge = workspace.Source("huge", "");
  const uint64_t length = (uint64_t{1} << 32) + 5000;
  std::filesystem::resize_file(huge, length);  // sparse
  workspace.Record("", huge, "huge.bin");
  workspace.Record("", workspace.Source("after", "after"), "zz.txt");
  Image image(workspace, IsoLayout::Interchange, 0, 64);  // the metadata is enough here
  ASSERT_TRUE(image.ok);

  for (bool joliet : {false, true}) {
    const auto root = image.Root(joliet);
    ASSERT_EQ(5u, root.size());
    const Record &first = root[2], &last = root[3], &after = root[4];
    EXPECT_EQ(first.id, last.id) << "the sections share the name";
    EXPECT_EQ(iso::kMultiExtentFlag, first.flags) << "more follows";
    EXPECT_EQ(0, last.flags);
    EXPECT_EQ(iso::kSectionBytes, first.length);
    EXPECT_EQ(length - iso::kSectionBytes, last.length);
    EXPECT_EQ(first.extent + iso::kSectionBytes / 2048, last.extent) << "one run of sectors";
    EXPECT_EQ(last.extent + 4, after.extent) << "2048 + 5000 bytes in the last section: 4 sectors";
    EXPECT_EQ(after.extent + 1, Both32(image.Descriptor(joliet) + 80));
  }
  // The classic layout cannot describe it and leaves it out.
  Image classic(workspace, IsoLayout::Classic);
  ASSERT_TRUE(classic.ok);
  EXPECT_EQ(3u, classic.Root(false).size());
  EXPECT_EQ(3u, classic.Root(true).size());
}

TEST(InterchangeLayout, EntriesOfAnEarlierSessionKeepTheirDataAndTheirNamesStayUnique) {
  FixedClock clock;
  Workspace workspace;
  const uint8_t date[7] = {106, 5, 17, 10, 20, 30, 8};
  // What an import of an earlier session leaves: descriptors, appended after
  // the host's own additions, names as that session's Joliet tree gave them.
  workspace.Record("", workspace.Source("n6", "new 2006"), "annual report 2006.DOC");
  workspace.Record("", workspace.Source("n7", "new 2007"), "Annual Report 2007.doc");
  workspace.Record("", MakeFileDescriptor("Annual Report 2006.doc", date, 5000, 300), "Annual Report 2006.doc");
  workspace.Record("", MakeFileDescriptor(std::string(100, 'k') + ".txt", date, 10, 310), std::string(100, 'k') + ".txt");
  workspace.Record("OLD", MakeFileDescriptor("a.txt", date, 1, 320), "a.txt");
  Image image(workspace, IsoLayout::Interchange, 20000);
  ASSERT_TRUE(image.ok);

  const auto primary = image.Root(false), joliet = image.Root(true);
  ASSERT_EQ(7u, primary.size());
  ASSERT_EQ(7u, joliet.size());
  // Named first, the file already on the disc keeps the plain Joliet name
  // and the first number; the new files give way.
  const Record* old = Find(joliet, Utf16(u"Annual Report 2006.doc"));
  const Record* twin = Find(joliet, Utf16(u"annual report 2006~1.DOC"));
  ASSERT_TRUE(old && twin);
  EXPECT_EQ(300u, old->extent);
  EXPECT_EQ(5000u, old->length);
  EXPECT_EQ(0, std::memcmp(old->date.data(), date, 7));
  EXPECT_EQ(old->extent, Find(primary, "ANNUAL_1.DOC;1")->extent);
  EXPECT_EQ(twin->extent, Find(primary, "ANNUAL_2.DOC;1")->extent);
  EXPECT_EQ(310u, Find(joliet, Utf16(std::u16string(60, u'k') + u".txt"))->extent) << "cut to 64";
  EXPECT_EQ(320u, Find(image.Directory(Find(primary, "OLD")->extent), "A.TXT;1")->extent);

  // Only the two new files add data, right after the metadata.
  const uint32_t end = Both32(image.Descriptor(false) + 80);
  EXPECT_EQ(end - 2, std::min(twin->extent, Find(primary, "ANNUAL_3.DOC;1")->extent));
  EXPECT_EQ(0, std::memcmp(image.Sector(twin->extent), "new 2006", 8));
}

TEST(ImageStream, ManySectorsAtOnceAreWhatOneAtATimeGives) {
  FixedClock clock;
  for (IsoLayout layout : {IsoLayout::Classic, IsoLayout::Interchange}) {
    Workspace workspace;
    std::string big(5 * 2048 + 100, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + 1);
    workspace.Record("", workspace.Source("big", big), "big.bin");
    workspace.Record("", workspace.Source("gone", std::string(3000, 'g')), "gone.bin");
    workspace.Record("A", workspace.Source("shrinks", std::string(5000, 's')), "shrinks.bin");
    workspace.Record("A", workspace.Source("last", "LAST"), "last.txt");
    const auto goneTime = std::filesystem::last_write_time(workspace.sources / "gone");
    const auto shrinksTime = std::filesystem::last_write_time(workspace.sources / "shrinks");
    std::vector<std::string> reported[2];
    std::vector<uint8_t> bytes[2];
    for (int way = 0; way < 2; ++way) {
      iso::ImageComposer composer([&, way](const char* path) { reported[way].push_back(path); }, layout);
      ASSERT_TRUE(composer.Compose(workspace.Layout(), 1, 1, workspace.root.Path(), 0));
      std::filesystem::remove(workspace.sources / "gone");
      std::filesystem::resize_file(workspace.sources / "shrinks", 10);
      bytes[way].assign(composer.PaddedSize() * 2048ull, 0);
      const uint32_t sectors = composer.PaddedSize();
      for (uint32_t at = 0; at < sectors;) {
        const uint32_t n = way == 0 ? 1 : std::min<uint32_t>(7, sectors - at);  // runs that cut across files
        if (way == 0) composer.ReadNextSector(bytes[way].data() + at * 2048ull, 2048);
        else composer.ReadNextSectors(bytes[way].data() + at * 2048ull, n);
        at += n;
      }
      // Put both files back as they were, times included: the records carry
      // file times, and a second ticking over between the two compositions
      // must not make the images differ.
      std::ofstream(workspace.sources / "gone") << std::string(3000, 'g');
      std::filesystem::resize_file(workspace.sources / "shrinks", 5000);
      std::filesystem::last_write_time(workspace.sources / "gone", goneTime);
      std::filesystem::last_write_time(workspace.sources / "shrinks", shrinksTime);
    }
    EXPECT_TRUE(bytes[0] == bytes[1]) << iso::IsoLayoutName(layout);
    EXPECT_EQ(std::vector<std::string>{workspace.sources / "gone"}, reported[1]);
    EXPECT_EQ(reported[0], reported[1]);
    EXPECT_NE(std::string::npos, std::string(bytes[1].begin(), bytes[1].end()).find("LAST"));
  }
}

}  // namespace
}  // namespace dorvik::test
