// `dorvik image` end to end: the images it writes are read back by ISO
// tools nobody here wrote, and every file must come out byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "platform/text.h"
#include "support/library_fixture.h"

namespace dorvik::test {
namespace {

namespace fs = std::filesystem;

// Relative path -> content; folders as "path/" -> "".
using Tree = std::map<std::string, std::string>;

std::string Quote(const std::string& s) { return "'" + s + "'"; }

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

Tree Snapshot(const fs::path& root) {
  Tree tree;
  if (!fs::exists(root)) return tree;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = fs::relative(e.path(), root).string();
    if (e.is_directory()) tree[rel + "/"] = "";
    else tree[rel] = ReadFile(e.path());
  }
  return tree;
}

size_t CountFiles(const Tree& tree) {
  size_t n = 0;
  for (const auto& [path, content] : tree) n += path.back() != '/';
  return n;
}

// The name isoinfo gives a Joliet name with -j iso8859-1: Latin-1 bytes,
// '_' for what Latin-1 cannot hold.
std::string IsoinfoName(const std::string& utf8) {
  std::string out;
  const std::u16string ucs2 = platform::ToUcs2(utf8).value();
  for (char16_t c : ucs2) out.push_back(c <= 0xFF ? static_cast<char>(c) : '_');
  return out;
}

// Runs a reader for its standard output alone (isoinfo warns on stderr
// about the descriptor's escape field, which would mix into the data).
int Stdout(const std::string& command, std::string* output) {
  return RunCommand("{ " + command + " 2>/dev/null ; }", output);
}

int Dorvik(const std::string& args, std::string* output = nullptr) {
  return RunCommand(std::string(DORVIK_CLI) + " " + args, output);
}
int DorvikImage(const std::string& args, std::string* output = nullptr) { return Dorvik("image " + args, output); }

class ImageCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    source_ = work_ / "tree";
    WriteFile(source_ + "/README.TXT", "read me\n");
    WriteFile(source_ + "/empty.dat", "");
    std::string three(3000, '\0');
    for (size_t i = 0; i < three.size(); ++i) three[i] = static_cast<char>(i * 31 + 7);
    WriteFile(source_ + "/three-thousand.bin", three);
    WriteFile(source_ + "/Annual Report 2006.doc", "annual");
    WriteFile(source_ + "/Ünïcødé Fïlé.txt", "latin");
    WriteFile(source_ + "/日本語のファイル.txt", "cjk");
    WriteFile(source_ + "/nested/deeper/deepest/file.txt", "deep");
    fs::create_directories(source_ + "/nested/empty folder");
    const std::string longFolder = "A folder with a rather long name that goes on";
    const std::string longName(96, 'L');
    WriteFile(source_ + "/" + longFolder + "/" + longName + ".txt", "long");
    for (int i = 0; i < 300; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "item-%03d.txt", i);
      WriteFile(source_ + "/many/" + name, std::string(static_cast<size_t>(i) * 13, static_cast<char>('a' + i % 26)));
    }
    image_ = work_ / "out.iso";
    std::string out;
    ASSERT_EQ(0, DorvikImage(Quote(image_) + " " + Quote(source_) + " --label TESTDISC", &out)) << out;
    expected_ = Snapshot(source_);
  }

  void ExpectExtracted(const std::string& dir) {
    const Tree got = Snapshot(fs::path(dir) / "tree");
    EXPECT_EQ(expected_.size(), got.size());
    for (const auto& [path, content] : expected_) {
      auto it = got.find(path);
      if (it == got.end()) {
        ADD_FAILURE() << "missing " << path;
        continue;
      }
      EXPECT_TRUE(it->second == content) << path << " differs";
    }
  }

  TempFolder work_;
  std::string source_;
  std::string image_;
  Tree expected_;
};

TEST_F(ImageCommand, XorrisoExtractsTheWholeTree) {
  DORVIK_REQUIRE_TOOL("xorriso");
  const std::string dir = work_ / "xorriso";
  std::string out;
  ASSERT_EQ(0, RunCommand("LC_ALL=C.UTF-8 xorriso -indev " + Quote(image_) + " -osirrox on -extract / " + Quote(dir), &out)) << out;
  ExpectExtracted(dir);
}

TEST_F(ImageCommand, SevenZipExtractsTheWholeTree) {
  DORVIK_REQUIRE_TOOL("7zz");
  const std::string dir = work_ / "7z";
  std::string out;
  ASSERT_EQ(0, RunCommand("LC_ALL=C.UTF-8 7zz x -y -o" + Quote(dir) + " " + Quote(image_), &out)) << out;
  ExpectExtracted(dir);
}

TEST_F(ImageCommand, IsoinfoReadsEveryFileThroughJoliet) {
  DORVIK_REQUIRE_TOOL("isoinfo");
  std::string listing;
  ASSERT_EQ(0, Stdout("isoinfo -J -j iso8859-1 -f -i " + Quote(image_), &listing));
  size_t listed = 0;
  for (char c : listing) listed += c == '\n';
  EXPECT_EQ(expected_.size() + 1, listed) << "every entry, and /tree itself";
  for (const auto& [path, content] : expected_) {
    if (path.back() == '/') continue;
    std::string got;
    const std::string command =
        "isoinfo -J -j iso8859-1 -i " + Quote(image_) + " -x " + Quote("/tree/" + IsoinfoName(path));
    ASSERT_EQ(0, Stdout(command, &got)) << command;
    EXPECT_TRUE(got == content) << path;
  }
}

TEST_F(ImageCommand, PrimaryTreeListsEveryEntryWithShortNames) {
  DORVIK_REQUIRE_TOOL("isoinfo");
  DORVIK_REQUIRE_TOOL("iso-info");
  std::string primary;
  ASSERT_EQ(0, Stdout("isoinfo -l -i " + Quote(image_), &primary));
  size_t files = 0;
  std::istringstream lines(primary);
  for (std::string line; std::getline(lines, line);) files += line.rfind("----------", 0) == 0;
  EXPECT_EQ(CountFiles(expected_), files);
  EXPECT_NE(std::string::npos, primary.find("Annual~1.doc"));
  EXPECT_NE(std::string::npos, primary.find("three-~1.bin"));
  EXPECT_NE(std::string::npos, primary.find("LLLLLL~1.txt"));

  std::string info;
  ASSERT_EQ(0, RunCommand("LC_ALL=C.UTF-8 iso-info -l " + Quote(image_), &info));
  EXPECT_NE(std::string::npos, info.find("Application : KILNOR"));
  EXPECT_NE(std::string::npos, info.find("Volume      : TESTDISC"));
  size_t infoFiles = 0;
  std::istringstream infoLines(info);
  for (std::string line; std::getline(infoLines, line);) infoFiles += line.rfind("  - [LSN", 0) == 0;
  EXPECT_EQ(CountFiles(expected_), infoFiles);
  // libcdio sizes its UTF-8 name buffer by the UCS-2 length, so it shows
  // this name without its extension; the name is checked up to there.
  EXPECT_NE(std::string::npos, info.find("日本語のファイル"));
  EXPECT_NE(std::string::npos, info.find("Annual Report 2006.doc"));
}

TEST_F(ImageCommand, TrackAtAStartAddressReadsInPlaceOnTheDisc) {
  DORVIK_REQUIRE_TOOL("xorriso");
  DORVIK_REQUIRE_TOOL("isoinfo");
  const std::string track = work_ / "track.iso";
  std::string out;
  ASSERT_EQ(0, DorvikImage("--start 1000 " + Quote(track) + " " + Quote(source_), &out)) << out;
  // Nothing before the start: the track alone, meant for byte 1000 * 2048.
  const std::string disc = work_ / "disc.img";
  {
    std::ofstream d(disc, std::ios::binary);
    d << std::string(1000 * 2048, '\0') << ReadFile(track);
  }
  const std::string dir = work_ / "at1000";
  ASSERT_EQ(0, RunCommand("LC_ALL=C.UTF-8 xorriso -rom_toc_scan force -load sbsector 1000 -indev " + Quote(disc) +
                              " -osirrox on -extract / " + Quote(dir),
                          &out))
      << out;
  ExpectExtracted(dir);

  for (const std::string file : {"three-thousand.bin", "many/item-299.txt", "nested/deeper/deepest/file.txt"}) {
    std::string got;
    ASSERT_EQ(0, Stdout("isoinfo -T 1000 -J -i " + Quote(disc) + " -x " + Quote("/tree/" + file), &got));
    EXPECT_TRUE(got == expected_.at(file)) << file;
  }
}

TEST(ImageCommandOptions, LabelPlaylistAndMp3Filter) {
  DORVIK_REQUIRE_TOOL("isoinfo");
  TempFolder work;
  WriteFile(work / "music/a.mp3", "AAA");
  WriteFile(work / "music/sub/b.MP3", "BBB");
  WriteFile(work / "music/c.wav", "CCC");
  std::string out;
  ASSERT_EQ(0, DorvikImage("--playlist --mp3-only --label=MUSIC " + Quote(work / "m.iso") + " " + Quote(work / "music/"), &out))
      << out;
  std::string listing;
  ASSERT_EQ(0, Stdout("isoinfo -J -f -i " + Quote(work / "m.iso"), &listing));
  // The root catalogue (with the playlist) lists before the folder "music".
  EXPECT_EQ("/Playlist.M3U\n/music\n/music/a.mp3\n/music/sub\n/music/sub/b.MP3\n", listing);
  std::string playlist;
  ASSERT_EQ(0, Stdout("isoinfo -J -i " + Quote(work / "m.iso") + " -x /Playlist.M3U", &playlist));
  EXPECT_NE(std::string::npos, playlist.find("a.mp3\r\n"));
  EXPECT_NE(std::string::npos, playlist.find("b.MP3\r\n"));
  std::string descriptor;
  ASSERT_EQ(0, Stdout("isoinfo -d -i " + Quote(work / "m.iso"), &descriptor));
  EXPECT_NE(std::string::npos, descriptor.find("Volume id: MUSIC"));
}

TEST(ImageCommandOptions, FixedClockMakesImagesByteIdentical) {
  TempFolder work;
  WriteFile(work / "src/x/y.txt", "same");
  std::string out;
  ASSERT_EQ(0, DorvikImage(Quote(work / "1.iso") + " " + Quote(work / "src"), &out)) << out;  // clock running
  ASSERT_EQ(0, RunCommand("SOURCE_DATE_EPOCH=1234567890 " + std::string(DORVIK_CLI) + " image " + Quote(work / "2.iso") + " " +
                          Quote(work / "src"), &out)) << out;
  ASSERT_EQ(0, RunCommand("sleep 1; SOURCE_DATE_EPOCH=1234567890 " + std::string(DORVIK_CLI) + " image " +
                          Quote(work / "3.iso") + " " + Quote(work / "src"), &out)) << out;
  EXPECT_TRUE(ReadFile(work / "2.iso") == ReadFile(work / "3.iso"));
  EXPECT_EQ(608u * 2048, ReadFile(work / "1.iso").size()) << "padded to 600, then to multiples of 16 and 32";
}

TEST(ImageCommandOptions, UsageErrorsAndHelp) {
  std::string out;
  EXPECT_EQ(0, Dorvik("--help", &out));
  EXPECT_NE(std::string::npos, out.find("image"));
  EXPECT_EQ(0, Dorvik("image --help", &out));
  EXPECT_NE(std::string::npos, out.find("--start LBA"));
  EXPECT_EQ(2, Dorvik("", &out));
  EXPECT_EQ(2, Dorvik("burn-everything", &out));
  EXPECT_EQ(2, Dorvik("image only-an-output.iso", &out));
  EXPECT_EQ(2, Dorvik("image o.iso src --start -5", &out));
  EXPECT_EQ(2, Dorvik("image o.iso src --frobnicate", &out));
  TempFolder work;
  EXPECT_EQ(1, Dorvik("image " + Quote(work / "o.iso") + " " + Quote(work / "does-not-exist"), &out));
  EXPECT_NE(std::string::npos, out.find("does-not-exist"));
  EXPECT_FALSE(fs::exists(work / "o.iso"));
}

}  // namespace
}  // namespace dorvik::test
