// The previous-session walk over discs in memory: sessions the library and
// other mastering tools wrote, read whole, as Mode 2 and as user data only;
// then discs nobody should write, each of which must end in a clear report.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "collection/disc_path.h"
#include "iso/session_names.h"
#include "session_fixture.h"

namespace dorvik::test {
namespace {

namespace fs = std::filesystem;
using iso::MemoryDisc;
using iso::SessionWalkResult;
using Strings = std::vector<std::string>;

// The disc path of an entry: a folder's as it is, a file's without its size and extent.
std::string PathOf(const std::string& entry) {
  return entry.back() == '\\' ? entry : entry.substr(0, entry.rfind(' '));
}

const std::vector<std::pair<std::string, std::string>> kTree = {
    {"a.txt", "alpha"},
    {"Annual Report 2006.doc", std::string(3000, 'r')},
    {"Grüß.txt", "gruss"},
    {"empty.dat", ""},
    {"sub/deeper/x.bin", std::string(5000, 'x')},
    {"sub/y.txt", "why"},
};

// Every old file's descriptor must point at its bytes on the disc.
void ExpectContents(const Bytes& disc, const Walked& walked, const std::map<std::string, std::string>& contents) {
  for (const auto& [descriptor, folder] : walked.raw) {
    const SessionDescriptor d = ParseSessionDescriptor(descriptor);
    if (d.kind != SessionEntryKind::File) continue;
    const std::string path = folder + d.name;
    auto it = contents.find(path);
    if (it == contents.end()) continue;
    ASSERT_LE(uint64_t(d.extent) * 2048 + d.size, disc.size()) << path;
    EXPECT_EQ(it->second, std::string(disc.begin() + d.extent * 2048ull, disc.begin() + d.extent * 2048ull + d.size))
        << path;
  }
}

class ComposedSession : public ::testing::TestWithParam<MemoryDisc::Options> {};

TEST_P(ComposedSession, GivesBackTheTreeWithEveryFileOnItsOldExtent) {
  TempFolder scratch;
  WriteTree(scratch / "src", kTree);
  for (int i = 0; i < 90; ++i)  // a folder of several sectors
    WriteTree(scratch / "src", {{"many/file number " + std::to_string(1000 + i) + ".txt", std::to_string(i)}});
  fs::create_directories(scratch / "src/void");
  Strings sources;
  for (const auto& e : fs::directory_iterator(scratch / "src")) sources.push_back(e.path());
  std::sort(sources.begin(), sources.end());

  const uint32_t start = 11400;
  const Bytes disc = ComposeDisc(sources, start, scratch.Path());
  ASSERT_FALSE(disc.empty());
  MemoryDisc reader(disc, GetParam());
  const Walked walked = Walk(reader, {start, static_cast<uint32_t>(disc.size() / 2048), GetParam().mode});

  EXPECT_EQ(SessionWalkResult::Imported, walked.report.result);
  EXPECT_TRUE(walked.report.joliet);
  EXPECT_EQ(0u, walked.report.skipped);
  EXPECT_EQ(4u, walked.report.folders);  // many, sub, sub\deeper, void
  EXPECT_EQ(kTree.size() + 90, walked.report.files);

  Strings paths;
  for (const auto& e : walked.entries) paths.push_back(PathOf(e));
  const Strings expectedStart = {"\\Annual Report 2006.doc", "\\Grüß.txt", "\\a.txt", "\\empty.dat", "\\many\\"};
  ASSERT_GE(paths.size(), 5u);
  EXPECT_EQ(expectedStart, Strings(paths.begin(), paths.begin() + 5));
  // Depth first: a folder's contents follow it before the next entry of its parent.
  const auto at = [&](const std::string& p) { return std::find(paths.begin(), paths.end(), p) - paths.begin(); };
  EXPECT_LT(at("\\sub\\"), at("\\sub\\deeper\\"));
  EXPECT_EQ(at("\\sub\\deeper\\") + 1, at("\\sub\\deeper\\x.bin"));
  EXPECT_EQ(at("\\sub\\deeper\\x.bin") + 1, at("\\sub\\y.txt"));
  EXPECT_EQ(at("\\sub\\y.txt") + 1, at("\\void\\"));

  std::map<std::string, std::string> contents;
  for (const auto& [path, content] : kTree) {
    std::string disc_path = "\\" + path;
    std::replace(disc_path.begin(), disc_path.end(), '/', '\\');
    contents[disc_path] = content;
  }
  contents["\\many\\file number 1042.txt"] = "42";
  ExpectContents(disc, walked, contents);
  EXPECT_NE(paths.end(), std::find(paths.begin(), paths.end(), "\\many\\file number 1089.txt"));
}

INSTANTIATE_TEST_SUITE_P(Reads, ComposedSession,
                         ::testing::Values(MemoryDisc::Options{true, 1}, MemoryDisc::Options{true, 2},
                                           MemoryDisc::Options{false, 1}),
                         [](const auto& info) {
                           return std::string(info.param.rawReads ? "Raw" : "UserData") + "Mode" +
                                  std::to_string(info.param.mode);
                         });

// Sessions mastered by other tools: names from the Joliet tree when there is
// one, from the primary tree (without ";1" and an empty extension's ".")
// when not.
TEST(ForeignSession, NamesComeFromJolietWhenPresentAndFromThePrimaryTreeOtherwise) {
  TempFolder scratch;
  WriteTree(scratch / "src", {{"Makefile", "make"}, {"readme.txt", "read me"}, {"sub/Long Name File.text", "long"}});
  struct Case {
    std::string tool, command;
    bool joliet;
    Strings entries;
  };
  const std::vector<Case> cases = {
      {"genisoimage", "genisoimage -quiet -o", false, {"\\MAKEFILE", "\\README.TXT", "\\SUB\\", "\\SUB\\LONG_NAM.TEX"}},
      {"genisoimage", "genisoimage -quiet -J -o", true, {"\\Makefile", "\\readme.txt", "\\sub\\", "\\sub\\Long Name File.text"}},
      {"xorriso", "xorriso -as mkisofs -quiet -J -o", true, {"\\Makefile", "\\readme.txt", "\\sub\\", "\\sub\\Long Name File.text"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    DORVIK_REQUIRE_TOOL(c.tool);
    const std::string iso = scratch / "foreign.iso";
    fs::remove(iso);
    ASSERT_EQ(0, RunCommand(c.command + " " + iso + " " + (scratch / "src")));
    std::ifstream in(iso, std::ios::binary);
    const Bytes disc((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    MemoryDisc reader(disc);
    const Walked walked = Walk(reader, {0, static_cast<uint32_t>(disc.size() / 2048), 1});
    EXPECT_EQ(c.joliet, walked.report.joliet);
    Strings paths;
    for (const auto& e : walked.entries) paths.push_back(PathOf(e));
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(c.entries, paths);
    ExpectContents(disc, walked, {{c.entries[0], "make"}, {c.entries[1], "read me"}, {c.entries[3], "long"}});
  }
}

// A reader that remembers what was asked and can refuse chosen sectors.
class ScriptedReader : public MemoryDisc {
 public:
  using MemoryDisc::MemoryDisc;
  bool ReadRaw(uint32_t lba, uint8_t* sector) override {
    log.push_back("raw " + std::to_string(lba));
    return !failRaw.count(lba) && !failAll.count(lba) && MemoryDisc::ReadRaw(lba, sector);
  }
  bool ReadUser(uint32_t lba, uint8_t* sector) override {
    log.push_back("user " + std::to_string(lba));
    return !failAll.count(lba) && MemoryDisc::ReadUser(lba, sector);
  }
  std::set<uint32_t> failRaw, failAll;
  Strings log;
};

TEST(SessionReads, DirectoriesAreReadSectorBySectorAndFallBackToUserData) {
  HandDisc hand;
  std::vector<HandDisc::Record> many;
  for (int i = 0; i < 120; ++i) many.push_back(HandDisc::File("FILE" + std::to_string(100 + i) + ".TXT;1", 60, 10));
  const uint32_t length = hand.Directory(30, many, 20);
  ASSERT_EQ(3u * 2048, length);  // three sectors
  hand.PrimaryRoot({HandDisc::Dir("BIG", 30, length), HandDisc::Dir("NEXT", 40)});
  hand.Directory(40, {HandDisc::File("LAST.TXT;1", 60, 1)}, 20);

  {
    ScriptedReader reader(hand.bytes());
    const Walked walked = Walk(reader, {0, 64, 1});
    EXPECT_EQ(121u, walked.report.files);
    EXPECT_EQ(2u, walked.report.folders);
    const Strings directoryReads(std::find(reader.log.begin(), reader.log.end(), "raw 30"), reader.log.end());
    EXPECT_EQ((Strings{"raw 30", "raw 31", "raw 32", "raw 40"}), directoryReads);
  }
  {  // whole sectors refused at BIG: it and all below it are read as user data; NEXT is read whole again
    ScriptedReader reader(hand.bytes());
    reader.failRaw = {30};
    const Walked walked = Walk(reader, {0, 64, 1});
    EXPECT_EQ(121u, walked.report.files);
    const Strings directoryReads(std::find(reader.log.begin(), reader.log.end(), "raw 30"), reader.log.end());
    EXPECT_EQ((Strings{"raw 30", "user 30", "user 31", "user 32", "raw 40"}), directoryReads);
  }
  {  // a sector that cannot be read ends its directory, and only that one
    ScriptedReader reader(hand.bytes());
    reader.failAll = {31};
    const Walked walked = Walk(reader, {0, 64, 1});
    EXPECT_EQ(1u, walked.report.skipped);
    EXPECT_EQ("\\NEXT\\LAST.TXT 1@60", walked.entries.back());
    EXPECT_LT(walked.report.files, 60u);
  }
  {  // a directory whose first sector cannot be read at all stays an empty folder
    ScriptedReader reader(hand.bytes());
    reader.failAll = {40};
    const Walked walked = Walk(reader, {0, 64, 1});
    EXPECT_EQ("\\NEXT\\", walked.entries.back());
    EXPECT_EQ(1u, walked.report.skipped);
  }
}

// Records placed by hand at the offsets given, in the root's two sectors.
struct HostileRoot {
  HandDisc hand;
  HostileRoot() {
    hand.Descriptor(16, 1, 20, 4096);
    hand.Descriptor(17, 255);
    Put(20, 0, HandDisc::Encode({std::string(1, '\0'), 20, 4096, 2}));
    Put(20, 34, HandDisc::Encode({std::string(1, '\1'), 20, 4096, 2}));
  }
  void Put(uint32_t lba, size_t at, const std::string& bytes) { std::memcpy(hand.Sector(lba) + at, bytes.data(), bytes.size()); }
  Walked Walk(uint32_t end = 64) {
    MemoryDisc reader = hand.Disc();
    return test::Walk(reader, {0, end, 1});
  }
};

TEST(HostileRecords, LengthsThatBreakTheSectorDropOnlyTheRestOfThatSector) {
  const std::string a = HandDisc::Encode(HandDisc::File("A.TXT;1", 40, 5));  // 40 bytes
  const std::string b = HandDisc::Encode(HandDisc::File("B.TXT;1", 41, 5));
  {  // a length that runs past the sector
    HostileRoot root;
    // Records may carry system-use bytes after their identifier: seven long
    // "." records bring the next ones near the end of the sector.
    std::string filler = HandDisc::Encode({std::string(1, '\0'), 20, 4096, 2});
    filler.resize(254);
    filler[0] = char(254);
    for (int i = 0; i < 7; ++i) root.Put(20, 68 + 254 * i, filler);
    root.Put(20, 1846, a);
    std::string bad = b;
    bad[0] = char(254);
    root.Put(20, 1886, bad);
    root.Put(21, 0, b);
    const Walked w = root.Walk();
    EXPECT_EQ((Strings{"\\A.TXT 5@40", "\\B.TXT 5@41"}), w.entries);
    EXPECT_EQ(1u, w.report.skipped);
  }
  {  // too short for a record, and an identifier longer than its record
    for (const uint8_t damage : {0, 1}) {
      HostileRoot root;
      std::string bad = a;
      if (damage == 0) bad[0] = 20;
      else bad[32] = 30;
      root.Put(20, 68, bad);
      root.Put(20, 108, b);  // unreachable after the damage
      root.Put(21, 0, b);
      const Walked w = root.Walk();
      EXPECT_EQ((Strings{"\\B.TXT 5@41"}), w.entries);
      EXPECT_EQ(1u, w.report.skipped);
    }
  }
  {  // a zero length is padding: the walk goes on at the next sector
    HostileRoot root;
    root.Put(20, 68, a);
    root.Put(20, 200, b);  // behind the padding
    root.Put(21, 0, HandDisc::Encode(HandDisc::File("C.TXT;1", 42, 5)));
    const Walked w = root.Walk();
    EXPECT_EQ((Strings{"\\A.TXT 5@40", "\\C.TXT 5@42"}), w.entries);
    EXPECT_EQ(0u, w.report.skipped);
  }
  {  // odd lengths that stay inside the sector are read like even ones
    HostileRoot root;
    std::string odd = HandDisc::Encode(HandDisc::File("ODD.TX;1", 43, 5));  // 33 + 8 = 41, padded to 42
    odd.pop_back();
    odd[0] = 41;
    root.Put(20, 68, odd);
    root.Put(20, 68 + 41, a);
    const Walked w = root.Walk();
    EXPECT_EQ((Strings{"\\ODD.TX 5@43", "\\A.TXT 5@40"}), w.entries);
  }
}

TEST(HostileRecords, ExtentsOutsideTheTrackAreLeftOut) {
  HostileRoot root;
  size_t at = 68;
  for (const auto& r : {HandDisc::File("FITS;1", 62, 4096), HandDisc::File("EMPTY;1", 0, 0),
                        HandDisc::File("PAST;1", 63, 4096), HandDisc::File("HUGE;1", 0xFFFFFFF0u, 10),
                        HandDisc::File("LONG;1", 30, 0x80000000u), HandDisc::Dir("AWAY", 500)}) {
    const std::string bytes = HandDisc::Encode(r);
    root.Put(20, at, bytes);
    at += bytes.size();
  }
  const Walked w = root.Walk(64);
  EXPECT_EQ((Strings{"\\FITS 4096@62", "\\EMPTY 0@0"}), w.entries);
  EXPECT_EQ((Strings{"\\PAST", "\\HUGE", "\\LONG", "\\AWAY\\"}), w.leftOut);
}

TEST(HostileRecords, ADirectoryIsWalkedOnceWhateverPointsAtIt) {
  HandDisc hand;
  hand.PrimaryRoot({HandDisc::Dir("A", 22), HandDisc::Dir("SELF", 20), HandDisc::Dir("TWIN", 22),
                    HandDisc::Dir("HALF", 21, 4096)});
  hand.Directory(22, {HandDisc::Dir("B", 23), HandDisc::Dir("UP", 20)}, 20);
  hand.Directory(23, {HandDisc::Dir("BACK", 22), HandDisc::File("F.TXT;1", 40, 3)}, 22);
  MemoryDisc reader = hand.Disc();
  const Walked w = Walk(reader, {0, 64, 1});
  EXPECT_EQ((Strings{"\\A\\", "\\A\\B\\", "\\A\\B\\F.TXT 3@40"}), w.entries);
  // Depth first; HALF overlaps the root.
  EXPECT_EQ((Strings{"\\A\\B\\BACK\\", "\\A\\UP\\", "\\SELF\\", "\\TWIN\\", "\\HALF\\"}), w.leftOut);
  EXPECT_LT(reader.Reads(), 20u);
}

TEST(HostileRecords, AbsurdDepthAndPathLengthStopTheDescent) {
  HandDisc deep(300);
  deep.Descriptor(16, 1, 20, 2048);
  deep.Descriptor(17, 255);
  for (uint32_t i = 0; i < 200; ++i) deep.Directory(20 + i, {HandDisc::Dir("D", 21 + i)}, i ? 19 + i : 20);
  MemoryDisc reader = deep.Disc();
  const Walked w = Walk(reader, {0, 300, 1});
  EXPECT_EQ(iso::kImportDepthLimit, w.report.folders);
  EXPECT_EQ(1u, w.report.skipped);

  HandDisc wide(300);
  wide.Descriptor(16, 1, 20, 2048);
  wide.Descriptor(17, 255);
  const std::string name(200, 'N');
  for (uint32_t i = 0; i < 20; ++i) wide.Directory(20 + i, {HandDisc::Dir(name, 21 + i)}, i ? 19 + i : 20);
  MemoryDisc wideReader = wide.Disc();
  const Walked v = Walk(wideReader, {0, 300, 1});
  EXPECT_EQ(iso::kImportPathLimit / (name.size() + 1), v.report.folders);
  for (const auto& e : v.entries) EXPECT_LE(e.size(), iso::kImportPathLimit);
}

TEST(HostileRecords, NamesThatCannotNameAnEntryAreLeftOut) {
  const Strings bad = {std::string("A\0B", 3), "a/b", "a\\b", ".", "..", ""};
  for (const bool joliet : {false, true}) {
    HandDisc hand;
    std::vector<HandDisc::Record> records;
    for (const auto& n : bad) records.push_back(HandDisc::File(joliet ? Ucs2(n) : n, 40, 1));
    records.push_back(HandDisc::File(joliet ? Ucs2("x>y") : "x>y", 40, 1));
    records.push_back(HandDisc::Dir(joliet ? Ucs2("d/e") : "d/e", 22));
    const uint32_t length = hand.Directory(20, records);
    hand.Directory(22, {HandDisc::File("INSIDE;1", 40, 1)}, 20);
    hand.Descriptor(16, 1, 20, length);
    if (joliet) hand.Descriptor(17, 2, 20, length);
    hand.Descriptor(18, 255);
    MemoryDisc reader = hand.Disc();
    const Walked w = Walk(reader, {0, 64, 1});
    EXPECT_EQ(joliet, w.report.joliet);
    EXPECT_EQ((Strings{"\\x_y 1@40"}), w.entries);
    EXPECT_EQ(bad.size() + 1, w.report.skipped);
    EXPECT_EQ(bad.size() + 1, w.leftOut.size());  // by their folder, as they have no name to give
    for (const auto& [descriptor, folder] : w.raw) EXPECT_TRUE(IsSafeEntryName(ParseSessionDescriptor(descriptor).name));
  }
}

TEST(HostileRecords, FilesOneDescriptorCannotCarryAreLeftOut) {
  HostileRoot root;
  HandDisc::Record part = HandDisc::File("BIG;1", 30, 2048);
  part.flags = 0x80;
  HandDisc::Record last = HandDisc::File("BIG;1", 31, 100);
  HandDisc::Record associated = HandDisc::File("A.TXT;1", 32, 10);
  associated.flags = 0x04;
  HandDisc::Record withAttributes = HandDisc::File("XA.TXT;1", 33, 10);
  withAttributes.extendedAttributes = 2;
  std::string interleaved = HandDisc::Encode(HandDisc::File("IL.TXT;1", 36, 10));
  interleaved[26] = 1;
  interleaved[27] = 1;
  size_t at = 68;
  for (const std::string& bytes : {HandDisc::Encode(part), HandDisc::Encode(part), HandDisc::Encode(last),
                                   HandDisc::Encode(associated), HandDisc::Encode(withAttributes), interleaved,
                                   HandDisc::Encode(HandDisc::File("A.TXT;1", 37, 10))}) {
    root.Put(20, at, bytes);
    at += bytes.size();
  }
  const Walked w = root.Walk();
  // The data of a file with extended attributes begins after them.
  EXPECT_EQ((Strings{"\\XA.TXT 10@35", "\\A.TXT 10@37"}), w.entries);
  EXPECT_EQ(3u, w.report.skipped);
  EXPECT_EQ((Strings{"\\BIG", "\\IL.TXT"}), w.leftOut);
}

TEST(HostileDescriptors, AJolietTreeThatCannotBeWalkedLeavesThePrimaryTree) {
  TempFolder scratch;
  WriteTree(scratch / "src", {{"Annual Report 2006.doc", "report"}});
  const Bytes composed = ComposeDisc({scratch / "src/Annual Report 2006.doc"}, 0, scratch.Path());
  ASSERT_FALSE(composed.empty());
  const uint32_t sectors = static_cast<uint32_t>(composed.size() / 2048);
  const uint32_t fileExtent = [&] {
    MemoryDisc reader(composed);
    const Walked w = Walk(reader, {0, sectors, 1});
    return static_cast<uint32_t>(ParseSessionDescriptor(w.raw.at(0).first).extent);
  }();
  for (const uint32_t root : {0u, sectors + 100, fileExtent}) {
    SCOPED_TRACE(root);
    Bytes disc = composed;
    PutBoth32(disc.data() + 17 * 2048 + 158, root);
    MemoryDisc reader(disc);
    const Walked w = Walk(reader, {0, sectors, 1});
    EXPECT_EQ(SessionWalkResult::Imported, w.report.result);
    EXPECT_FALSE(w.report.joliet);
    EXPECT_EQ((Strings{"\\Annual~1.doc 6@" + std::to_string(fileExtent)}), w.entries);
  }
  {  // neither tree: a clear result, nothing handed on
    Bytes disc = composed;
    PutBoth32(disc.data() + 16 * 2048 + 158, 0);
    PutBoth32(disc.data() + 17 * 2048 + 158, 0);
    MemoryDisc reader(disc);
    const Walked w = Walk(reader, {0, sectors, 1});
    EXPECT_EQ(SessionWalkResult::NoRoot, w.report.result);
    EXPECT_TRUE(w.entries.empty());
  }
  {  // path tables that disagree with the tree are not read at all
    Bytes disc = composed;
    for (const uint32_t d : {16u, 17u}) {
      const uint8_t* s = disc.data() + d * 2048;
      const uint32_t l = s[140] | s[141] << 8 | s[142] << 16 | uint32_t(s[143]) << 24;
      const uint32_t m = uint32_t(s[148]) << 24 | s[149] << 16 | s[150] << 8 | s[151];
      for (const uint32_t t : {l, m}) std::fill(disc.begin() + t * 2048ull, disc.begin() + t * 2048ull + 2048, 0xA5);
    }
    MemoryDisc reader(disc);
    const Walked w = Walk(reader, {0, sectors, 1});
    EXPECT_TRUE(w.report.joliet);
    EXPECT_EQ((Strings{"\\Annual Report 2006.doc 6@" + std::to_string(fileExtent)}), w.entries);
  }
}

TEST(HostileDescriptors, OnlyTheDescriptorSetBeforeItsTerminatorCounts) {
  HandDisc hand;
  hand.Directory(20, {HandDisc::File("P.TXT;1", 40, 1)});
  hand.Directory(22, {HandDisc::File(Ucs2("joliet.txt"), 40, 1)});
  {
    HandDisc h = hand;
    h.Descriptor(16, 255);
    h.Descriptor(17, 1, 20);
    MemoryDisc reader = h.Disc();
    EXPECT_EQ(SessionWalkResult::NoDescriptor, Walk(reader, {0, 64, 1}).report.result);
  }
  {  // an enhanced descriptor (no escape sequences) is not Joliet; the one after it is
    HandDisc h = hand;
    h.Descriptor(16, 1, 20);
    h.Descriptor(17, 2, 20);
    std::memset(h.Sector(17) + 88, 0, 3);
    h.Descriptor(18, 2, 22);
    h.Descriptor(19, 255);
    MemoryDisc reader = h.Disc();
    EXPECT_EQ((Strings{"\\joliet.txt 1@40"}), Walk(reader, {0, 64, 1}).entries);
  }
  {  // nothing at all
    HandDisc h;
    MemoryDisc reader = h.Disc();
    EXPECT_EQ(SessionWalkResult::NoDescriptor, Walk(reader, {0, 64, 1}).report.result);
  }
}

TEST(HostileRecords, LongNamesAreCutToFitTheCatalogue) {
  std::string name;
  for (int i = 0; i < 100; ++i) name += "\xe4\xb8\x80";  // U+4E00, three bytes each
  std::string joliet;
  for (int i = 0; i < 100; ++i) joliet += std::string("\x4e\x00", 2);
  joliet += Ucs2(".txt");
  HandDisc hand;
  const uint32_t length = hand.Directory(20, {HandDisc::File(joliet, 40, 1234)});
  hand.Descriptor(16, 1, 20, length);
  hand.Descriptor(17, 2, 20, length);
  hand.Descriptor(18, 255);
  MemoryDisc reader = hand.Disc();
  const Walked w = Walk(reader, {0, 64, 1});
  ASSERT_EQ(1u, w.raw.size());
  EXPECT_LE(w.raw[0].first.size(), iso::kDescriptorLimit);
  const std::string kept = ParseSessionDescriptor(w.raw[0].first).name;
  EXPECT_EQ(".txt", kept.substr(kept.size() - 4));
  EXPECT_EQ(0u, (kept.size() - 4) % 3) << "a character was split";
  EXPECT_EQ(name.substr(0, kept.size() - 4), kept.substr(0, kept.size() - 4));
  EXPECT_EQ(1u, w.report.shortened);
}

TEST(ImportedNames, ReadAsTheHostSpellsThem) {
  auto name = [](const std::string& id, bool joliet, bool directory = false) {
    auto n = iso::ImportedName(reinterpret_cast<const uint8_t*>(id.data()), id.size(), joliet, directory);
    return n ? *n : std::string("<none>");
  };
  EXPECT_EQ("MAKEFILE", name("MAKEFILE.;1", false));
  EXPECT_EQ("README.TXT", name("README.TXT;1", false));
  EXPECT_EQ("README.TXT;2", name("README.TXT;2", false));
  EXPECT_EQ("SUB;1", name("SUB;1", false, true));
  EXPECT_EQ("caf\xc3\xa9", name("caf\xe9", false));           // a Latin-1 byte
  EXPECT_EQ("caf\xc3\xa9", name("caf\xc3\xa9", false));       // UTF-8 kept
  EXPECT_EQ("Gr\xc3\xbc\xc3\x9f", name(std::string("\0G\0r\0\xfc\0\xdf", 8), true));
  EXPECT_EQ("name.", name(Ucs2("name.;1"), true));
  EXPECT_EQ("\xf0\x9f\x98\x80", name(std::string("\xd8\x3d\xde\x00", 4), true));  // a surrogate pair
  EXPECT_EQ("\xef\xbf\xbd" "a", name(std::string("\xd8\x3d\x00\x61", 4), true));  // a lone one
  EXPECT_EQ("ab", name(Ucs2("ab") + std::string(1, '\0'), true));                              // odd byte ignored
  EXPECT_EQ("<none>", name(".;1", false));
  EXPECT_EQ("<none>", name(std::string("\0", 1) + "x", false));

  EXPECT_EQ("abcdef.txt", iso::FitName("abcdefghij.txt", 10));
  EXPECT_EQ("abcdefghij", iso::FitName("abcdefghij.extension-too-long", 10));
  EXPECT_EQ("\xc3\xa4\xc3\xa4.t", iso::FitName("\xc3\xa4\xc3\xa4\xc3\xa4.t", 7));
}

}  // namespace
}  // namespace dorvik::test
