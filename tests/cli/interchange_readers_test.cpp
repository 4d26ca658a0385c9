// `dorvik image --layout interchange` against every reader on the machine:
// a tree of awkward names composed once, then listed and extracted by
// readers nobody here wrote, each of which must give every file back.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include "support/library_fixture.h"
#include "support/tree_files.h"

namespace dorvik::test {
namespace {

namespace fs = std::filesystem;
using tree_files::Quote;
using tree_files::ReadFile;
using tree_files::Snapshot;
using tree_files::Tree;
using tree_files::WriteFile;

int Shell(const std::string& command, std::string* output = nullptr) {
  return RunCommand("LC_ALL=C.UTF-8 " + command, output);
}
// A reader's standard output alone (some warn on stderr).
int Stdout(const std::string& command, std::string* output) {
  return RunCommand("{ LC_ALL=C.UTF-8 " + command + " 2>/dev/null ; }", output);
}

std::string Dorvik() { return DORVIK_CLI; }
std::string Script(const std::string& name) { return Quote(std::string(DORVIK_SOURCE_DIR) + "/tests/cli/" + name); }

size_t CountLines(const std::string& text, const std::string& prefix) {
  std::istringstream lines(text);
  size_t n = 0;
  for (std::string line; std::getline(lines, line);) n += line.rfind(prefix, 0) == 0;
  return n;
}

// Host name -> the name every Joliet reader shows; the same unless listed.
struct Entry {
  std::string host, disc, content;
};

// The awkward tree: names that collide when shortened, long names, dots,
// no extension, other scripts, characters beyond UCS-2, bytes that are no
// UTF-8, characters Joliet forbids, deep folders, empty files and folders,
// a folder of 2,000 entries.
std::vector<Entry> AwkwardTree() {
  std::vector<Entry> tree = {
      {"Annual Report 2006.doc", "", "2006"},
      {"Annual Report 2007.doc", "", "2007"},
      {"annual report 2006.DOC", "annual report 2006~1.DOC", "a twin but for case"},
      {"track number 1 of the album.mp3", "", std::string(3000, '1')},
      {"track number 2 of the album.mp3", "", std::string(3000, '2')},
      {"track number 3 of the album.mp3", "", std::string(3000, '3')},
      {std::string(150, 'L') + ".txt", std::string(60, 'L') + ".txt", "long"},
      {std::string(70, 'x'), std::string(64, 'x'), "long, no dot"},
      {"README", "", "no extension"},
      {"archive.tar.gz", "", "many dots"},
      {"a.b.c.d.e", "", "more dots"},
      {".hidden", "", "a leading dot"},
      {"trail.", "trail", "a trailing dot"},
      {"...", "_", "dots only"},
      {"Grüß.txt", "", "latin"},
      {"GRUSS.TXT", "", "its 8.3 twin"},
      {"日本語のファイル.txt", "", "cjk"},
      {"Ελληνικά.txt", "", "greek"},
      {"Русский.txt", "", "cyrillic"},
      {"עברית.txt", "", "hebrew"},
      {"caf\xe9.txt", "caf\xef\xbf\xbd.txt", "a Latin-1 name"},
      {"colon:semi;star*q?.txt", "colon_semi_star_q_.txt", "forbidden in Joliet"},
      {"empty.dat", "", ""},
      {"v1.2.3/inside.txt", "", "a folder with dots"},
      // libcdio cannot list a directory holding these (see IsoInfo below).
      {"beyond-ucs2/smile\xf0\x9f\x98\x80.txt", "", "emoji"},
      {"beyond-ucs2/\xf0\x9f\x8e\xb5/music.txt", "", "emoji folder"},
  };
  std::string deep = "deep";
  for (int i = 1; i <= 12; ++i) deep += "/level" + std::to_string(i);
  tree.push_back({deep + "/bottom.txt", "", "bottom"});
  for (int i = 0; i < 2000; ++i) {
    char name[40];
    std::snprintf(name, sizeof name, "many/entry number %04d.txt", i);
    tree.push_back({name, "", std::to_string(i)});
  }
  for (Entry& e : tree) {
    if (e.disc.empty()) e.disc = e.host;
    else if (e.host.find('/') != std::string::npos) e.disc = e.host.substr(0, e.host.rfind('/') + 1) + e.disc;
  }
  return tree;
}

class InterchangeImage : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    work_ = new TempFolder;
    const std::string tree = *work_ / "tree";
    expected_.clear();
    std::ofstream manifest(*work_ / "manifest", std::ios::binary);
    for (const Entry& e : AwkwardTree()) {
      WriteFile(tree + "/" + e.host, e.content);
      expected_["tree/" + e.disc] = e.content;
      manifest << "tree/" << e.disc << '\0' << tree << "/" << e.host << '\0';
      for (size_t slash = e.disc.find('/'); slash != std::string::npos; slash = e.disc.find('/', slash + 1))
        expected_["tree/" + e.disc.substr(0, slash + 1)] = "";
    }
    fs::create_directories(tree + "/empty folder");
    expected_["tree/"] = expected_["tree/empty folder/"] = "";
    for (const auto& [path, content] : expected_) files_ += path.back() != '/';
    std::string out;
    ASSERT_EQ(0, Shell(Dorvik() + " image --layout interchange " + Quote(Image()) + " " + Quote(tree) +
                         " --label 'Awkward Ä'", &out))
        << out;
  }
  static void TearDownTestSuite() { delete work_; }

  static std::string Image() { return *work_ / "interchange.iso"; }
  static void ExpectExtracted(const std::string& dir, const std::string& reader) {
    const Tree got = Snapshot(dir);
    for (const auto& [path, content] : expected_) {
      const auto it = got.find(path);
      EXPECT_TRUE(it != got.end() && it->second == content) << reader << ": " << path << " missing or different";
    }
    for (const auto& [path, content] : got) EXPECT_TRUE(expected_.count(path)) << reader << " made " << path;
  }

  static inline TempFolder* work_ = nullptr;
  static inline Tree expected_;
  static inline size_t files_ = 0;
};

TEST_F(InterchangeImage, BsdtarListsAndExtractsEveryFile) {
  DORVIK_REQUIRE_TOOL("bsdtar");
  std::string listing, out;
  ASSERT_EQ(0, Shell("bsdtar -tf " + Quote(Image()), &listing)) << listing;
  EXPECT_EQ(expected_.size() + 1, CountLines(listing, "")) << "every entry and '.'";
  const std::string dir = *work_ / "bsdtar";
  fs::create_directories(dir);
  ASSERT_EQ(0, Shell("bsdtar -xf " + Quote(Image()) + " -C " + Quote(dir), &out)) << out;
  ExpectExtracted(dir, "bsdtar");
}

TEST_F(InterchangeImage, SevenZipAndXorrisoExtractEveryFile) {
  DORVIK_REQUIRE_TOOL("7zz");
  DORVIK_REQUIRE_TOOL("xorriso");
  const std::string z = *work_ / "7z", x = *work_ / "xorriso";
  std::string out;
  ASSERT_EQ(0, Shell("7zz x -y -o" + Quote(z) + " " + Quote(Image()), &out)) << out;
  ExpectExtracted(z, "7zz");
  ASSERT_EQ(0, Shell("xorriso -indev " + Quote(Image()) + " -osirrox on -extract / " + Quote(x), &out)) << out;
  ExpectExtracted(x, "xorriso");
}

TEST_F(InterchangeImage, PycdlibOpensBothTreesAndReadsEveryFile) {
  DORVIK_REQUIRE_TOOL("pycdlib");
  std::string out;
  ASSERT_EQ(0, Shell("/usr/bin/python3 " + Script("read_with_pycdlib.py") + " " + Quote(Image()) + " " + Quote(*work_ / "manifest"),
                   &out))
      << out;
  EXPECT_EQ("files " + std::to_string(files_) + " " + std::to_string(files_) + "\n", out);
}

TEST_F(InterchangeImage, IsoinfoFindsUniqueEightDotThreeNamesWithinEightLevels) {
  DORVIK_REQUIRE_TOOL("isoinfo");
  std::string primary, joliet, got;
  ASSERT_EQ(0, Stdout("isoinfo -l -i " + Quote(Image()), &primary));
  std::istringstream lines(primary);
  std::string directory;
  std::set<std::string> seen;
  size_t files = 0;
  const std::regex fileName("[A-Z0-9_]{1,8}\\.[A-Z0-9_]{0,3};1"), folderName("[A-Z0-9_]{1,8}");
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("Directory listing of ", 0) == 0) {
      directory = line.substr(21);
      EXPECT_LE(std::count(directory.begin(), directory.end(), '/'), 8) << directory << " lies below level 8";
      continue;
    }
    if (line.size() < 10 || (line[0] != '-' && line[0] != 'd')) continue;
    const std::string name = line.substr(line.find("]  ") + 3, line.size() - line.find("]  ") - 4);
    if (name == "." || name == "..") continue;
    files += line[0] == '-';
    EXPECT_TRUE(std::regex_match(name, line[0] == '-' ? fileName : folderName)) << directory << name;
    // Readers that show no version or extension dot must not see two alike.
    std::string shown = name.substr(0, name.find(';'));
    if (!shown.empty() && shown.back() == '.') shown.pop_back();
    EXPECT_TRUE(seen.insert(directory + shown).second) << "two entries named " << directory << shown;
  }
  EXPECT_EQ(files_, files);
  ASSERT_EQ(0, Stdout("isoinfo -J -l -i " + Quote(Image()), &joliet));
  EXPECT_EQ(files_, CountLines(joliet, "----------"));
  ASSERT_EQ(0, Stdout("isoinfo -J -i " + Quote(Image()) + " -x '/tree/many/entry number 1999.txt'", &got));
  EXPECT_EQ("1999", got);
}

TEST_F(InterchangeImage, IsoInfoListsThePrimaryTreeWholeAndJolietBesideNamesBeyondUcs2) {
  DORVIK_REQUIRE_TOOL("iso-info");
  std::string primary, joliet;
  ASSERT_EQ(0, Stdout("iso-info --no-joliet -l " + Quote(Image()), &primary));
  EXPECT_EQ(files_, CountLines(primary, "  - [LSN"));
  EXPECT_NE(std::string::npos, primary.find("Volume      : AWKWARD_A")) << "the label in d-characters";
  // libcdio reads Joliet names as UCS-2 and gives up on a directory that
  // holds a surrogate pair; every other directory lists whole.
  Stdout("iso-info -l " + Quote(Image()), &joliet);
  EXPECT_EQ(files_ - 2, CountLines(joliet, "  - [LSN"));
  // libcdio sizes its UTF-8 buffer by the UCS-2 length, so it cuts the
  // extension off names in other scripts.
  for (const char* name : {"Annual Report 2006.doc", "日本語のファイル", "entry number 1999.txt"})
    EXPECT_NE(std::string::npos, joliet.find(name)) << name;
}

TEST(InterchangeLayoutChoice, TheSettingChoosesAndTheFlagOverrides) {
  TempFolder work;
  WriteFile(work / "src/a.txt", "a");
  std::string out;
  auto jolietStructureVersion = [&](const std::string& args) {
    const std::string image = work / "out.iso";
    EXPECT_EQ(0, Shell(args + " " + Quote(image) + " " + Quote(work / "src"), &out)) << out;
    return ReadFile(image).at(17 * 2048 + 881);
  };
  // The program's default is interchange; the setting and the flag choose.
  EXPECT_EQ(1, jolietStructureVersion(Dorvik() + " image"));
  EXPECT_EQ(0, jolietStructureVersion("DORVIK_ISO_LAYOUT=classic " + Dorvik() + " image"));
  EXPECT_EQ(1, jolietStructureVersion("DORVIK_ISO_LAYOUT=classic " + Dorvik() + " image --layout interchange"));
  EXPECT_EQ(0, jolietStructureVersion("DORVIK_ISO_LAYOUT=interchange " + Dorvik() + " image --layout classic"));
  EXPECT_EQ(1, jolietStructureVersion(Dorvik() + " image --layout=interchange"));
  EXPECT_EQ(2, Shell(Dorvik() + " image o.iso src --layout sideways", &out));
  EXPECT_NE(std::string::npos, out.find("--layout"));
}

// A file of 4 GiB or more, sparse so the test costs neither time nor disk:
// written in sections by the interchange layout and read back whole, left
// out by the classic layout, which cannot describe it.
TEST(InterchangeLargeFile, ReadersJoinTheSectionsIntoTheWholeFile) {
  DORVIK_REQUIRE_TOOL("bsdtar");
  DORVIK_REQUIRE_TOOL("7zz");
  DORVIK_REQUIRE_TOOL("xorriso");
  DORVIK_REQUIRE_TOOL("pycdlib");
  TempFolder work;
  const std::string huge = work / "src/huge.bin";
  const uint64_t length = (uint64_t{1} << 32) + (1 << 20) + 77;
  const uint64_t boundary = 0xFFFFF800;  // where the first section ends
  {
    WriteFile(huge, "START");
    fs::resize_file(huge, length);
    std::fstream f(huge, std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(boundary - 3)).write("ABCDEF", 6);
    f.seekp(static_cast<std::streamoff>(length - 4)).write("END!", 4);
  }
  WriteFile(work / "src/small.txt", "small");
  const std::string image = work / "big.iso", classic = work / "classic.iso";
  std::string out;
  ASSERT_EQ(0, Shell(Dorvik() + " image --layout interchange " + Quote(image) + " " + Quote(work / "src"), &out)) << out;
  EXPECT_LT(fs::file_size(image), length + (2u << 20));

  // Extracted whole by the streaming reader (its length and marks, without
  // a second 4 GiB read to compare with) and by pycdlib; the others are
  // asked where it costs no 4 GiB copy: 7-Zip for the joined size, xorriso
  // for the bytes on both sides of the first section's end.
  ASSERT_EQ(0, Shell("bsdtar -xOf " + Quote(image) + " src/huge.bin | /usr/bin/python3 " + Script("sparse_digest.py"), &out))
      << out;
  EXPECT_EQ(std::to_string(length) + " 0:START " + std::to_string(boundary - 3) + ":ABCDEF " +
                std::to_string(length - 4) + ":END!\n",
            out);
  ASSERT_EQ(0, Stdout("7zz l -slt " + Quote(image), &out));
  EXPECT_NE(std::string::npos, out.find("Path = src/huge.bin\nFolder = -\nSize = " + std::to_string(length) + "\n"));
  const std::string cut = work / "cut";
  ASSERT_EQ(0, Shell("xorriso -indev " + Quote(image) + " -osirrox on -extract_cut /src/huge.bin " +
                       std::to_string(boundary - 3) + " 6 " + Quote(cut),
                   &out))
      << out;
  EXPECT_EQ("ABCDEF", ReadFile(cut));
  std::ofstream(work / "manifest", std::ios::binary) << "src/huge.bin" << '\0' << huge << '\0' << "src/small.txt"
                                                     << '\0' << work / "src/small.txt" << '\0';
  ASSERT_EQ(0, Shell("/usr/bin/python3 " + Script("read_with_pycdlib.py") + " " + Quote(image) + " " + Quote(work / "manifest"),
                   &out))
      << out;
  EXPECT_EQ("files 2 2\n", out);

  ASSERT_EQ(0, Shell(Dorvik() + " image --layout classic " + Quote(classic) + " " + Quote(work / "src"), &out)) << out;
  EXPECT_NE(std::string::npos, out.find(huge)) << "the host is told, before anything is written: " << out;
  std::string listing;
  ASSERT_EQ(0, Stdout("isoinfo -J -f -i " + Quote(classic), &listing));
  EXPECT_EQ("/src\n/src/small.txt\n", listing) << "nothing of the large file, not even a cut copy";
}

}  // namespace
}  // namespace dorvik::test
