// `dorvik image` end to end in the classic layout: ISO readers nobody here
// wrote must list the tree and give back every file byte for byte.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/text.h"
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

// A reader's standard output alone (isoinfo warns on stderr).
int Stdout(const std::string& command, std::string* output) {
  return RunCommand("{ LC_ALL=C.UTF-8 " + command + " 2>/dev/null ; }", output);
}

int Dorvik(const std::string& args, std::string* output) { return RunCommand(std::string(DORVIK_CLI) + " " + args, output); }

size_t CountLines(const std::string& text, const std::string& prefix) {
  std::istringstream lines(text);
  size_t n = 0;
  for (std::string line; std::getline(lines, line);) n += line.rfind(prefix, 0) == 0;
  return n;
}

class ImageCommand : public ::testing::Test {
 protected:
  // One tree and one image for every reader.
  static void SetUpTestSuite() {
    work_ = new TempFolder;
    const std::string tree = *work_ / "tree";
    WriteFile(tree + "/README.TXT", "read me\n");
    WriteFile(tree + "/empty.dat", "");
    std::string three(3000, '\0');
    for (size_t i = 0; i < three.size(); ++i) three[i] = static_cast<char>(i * 31 + 7);
    WriteFile(tree + "/three-thousand.bin", three);
    WriteFile(tree + "/Annual Report 2006.doc", "annual");
    WriteFile(tree + "/Ünïcødé Fïlé.txt", "latin");
    WriteFile(tree + "/日本語のファイル.txt", "cjk");
    WriteFile(tree + "/nested/deeper/deepest/file.txt", "deep");
    fs::create_directories(tree + "/nested/empty folder");
    WriteFile(tree + "/A folder with a rather long name that goes on/" + std::string(96, 'L') + ".txt", "long");
    for (int i = 0; i < 300; ++i)
      WriteFile(tree + "/many/item-" + std::to_string(1000 + i) + ".txt", std::string(i * 13, char('a' + i % 26)));
    expected_ = Snapshot(tree);
    for (const auto& [path, content] : expected_) files_ += path.back() != '/';
    std::string out;
    ASSERT_EQ(0, Dorvik("image --layout classic " + Quote(*work_ / "out.iso") + " " + Quote(tree) + " --label TESTDISC", &out)) << out;
  }
  static void TearDownTestSuite() { delete work_; }

  static std::string Image() { return *work_ / "out.iso"; }
  static void ExpectExtracted(const std::string& dir) {
    const Tree got = Snapshot(fs::path(dir) / "tree");
    EXPECT_EQ(expected_.size(), got.size());
    for (const auto& [path, content] : expected_) {
      const auto it = got.find(path);
      EXPECT_TRUE(it != got.end() && it->second == content) << path << " missing or different";
    }
  }

  static inline TempFolder* work_ = nullptr;
  static inline Tree expected_;
  static inline size_t files_ = 0;
};

TEST_F(ImageCommand, XorrisoAndSevenZipExtractTheWholeTree) {
  DORVIK_REQUIRE_TOOL("xorriso");
  DORVIK_REQUIRE_TOOL("7zz");
  const std::string x = *work_ / "xorriso", z = *work_ / "7z";
  for (const std::string& command : {"xorriso -indev " + Quote(Image()) + " -osirrox on -extract / " + Quote(x),
                                    "7zz x -y -o" + Quote(z) + " " + Quote(Image())}) {
    std::string out;
    ASSERT_EQ(0, RunCommand("LC_ALL=C.UTF-8 " + command, &out)) << out;
  }
  ExpectExtracted(x);
  ExpectExtracted(z);
}

TEST_F(ImageCommand, IsoinfoAndIsoInfoListTheTreeAndReadEveryFile) {
  DORVIK_REQUIRE_TOOL("isoinfo");
  DORVIK_REQUIRE_TOOL("iso-info");
  std::string listing, primary, info;
  ASSERT_EQ(0, Stdout("isoinfo -J -j iso8859-1 -f -i " + Quote(Image()), &listing));
  EXPECT_EQ(expected_.size() + 1, CountLines(listing, "/")) << "every entry, and /tree itself";
  for (const auto& [path, content] : expected_) {
    if (path.back() == '/') continue;
    // With -j iso8859-1 isoinfo names files in Latin-1, '_' for the rest.
    std::string latin1, got;
    const std::u16string ucs2 = platform::ToUcs2(path).value();
    for (char16_t c : ucs2) latin1.push_back(c <= 0xFF ? char(c) : '_');
    ASSERT_EQ(0, Stdout("isoinfo -J -j iso8859-1 -i " + Quote(Image()) + " -x " + Quote("/tree/" + latin1), &got)) << path;
    EXPECT_TRUE(got == content) << path;
  }
  ASSERT_EQ(0, Stdout("isoinfo -l -i " + Quote(Image()), &primary));
  EXPECT_EQ(files_, CountLines(primary, "----------"));
  for (const char* name : {"Annual~1.doc", "three-~1.bin", "LLLLLL~1.txt"}) EXPECT_NE(std::string::npos, primary.find(name));
  ASSERT_EQ(0, Stdout("iso-info -l " + Quote(Image()), &info));
  EXPECT_EQ(files_, CountLines(info, "  - [LSN"));
  // libcdio sizes its UTF-8 name buffer by the UCS-2 length, so it cuts the
  // extension off this name.
  for (const char* text : {"Application : KILNOR", "Volume      : TESTDISC", "日本語のファイル", "Annual Report 2006.doc"})
    EXPECT_NE(std::string::npos, info.find(text)) << text;
}

TEST_F(ImageCommand, TrackAtAStartAddressReadsInPlaceOnTheDisc) {
  DORVIK_REQUIRE_TOOL("xorriso");
  DORVIK_REQUIRE_TOOL("isoinfo");
  std::string out;
  const std::string track = *work_ / "track.iso", disc = *work_ / "disc.img", dir = *work_ / "at1000";
  ASSERT_EQ(0, Dorvik("image --layout classic --start 1000 " + Quote(track) + " " + Quote(*work_ / "tree"), &out)) << out;
  // The track alone, meant for byte 1000 * 2048 of the disc.
  std::ofstream(disc, std::ios::binary) << std::string(1000 * 2048, '\0') << ReadFile(track);
  ASSERT_EQ(0, RunCommand("LC_ALL=C.UTF-8 xorriso -rom_toc_scan force -load sbsector 1000 -indev " + Quote(disc) +
                              " -osirrox on -extract / " + Quote(dir), &out)) << out;
  ExpectExtracted(dir);
  ASSERT_EQ(0, Stdout("isoinfo -T 1000 -J -i " + Quote(disc) + " -x /tree/nested/deeper/deepest/file.txt", &out));
  EXPECT_EQ("deep", out);
  ASSERT_EQ(0, Stdout("isoinfo -T 1000 -J -i " + Quote(disc) + " -x /tree/three-thousand.bin", &out));
  EXPECT_TRUE(out == expected_.at("three-thousand.bin"));
}

// Files the image cannot carry are named on stderr; a folder Joliet cannot
// name stays in the primary tree; a pipe as a source is refused at once; and
// whatever happens, stopped by a signal included, nothing is left in the
// temporary directory.
TEST(ImageCommandLosses, WarnedAboutNeverWaitedOnAndCleanedUp) {
  DORVIK_REQUIRE_TOOL("isoinfo");
  TempFolder work;
  const std::string tree = work / "tree", tmp = work / "tmp", image = work / "o.iso";
  WriteFile(tree + "/Emoji\xf0\x9f\x8e\xb5/in.txt", "inside");
  WriteFile(tree + "/Music/\xf0\x9f\x98\x80.txt", "x");
  WriteFile(tree + "/caf\xe9.txt", "latin");
  WriteFile(tree + "/ok.txt", "ok");
  fs::create_directories(tmp);
  const std::string run = "TMPDIR=" + Quote(tmp) + " timeout 60 " + DORVIK_CLI + " image ";
  std::string out, got;
  // The classic layout is the one that has names it cannot carry.
  ASSERT_EQ(0, RunCommand(run + Quote(image) + " " + Quote(tree) + " --playlist --layout classic", &out)) << out;
  for (const std::string& warning :
       std::vector<std::string>{tree + "/Music/\xf0\x9f\x98\x80.txt: its name cannot be written in the classic layout; it will not be on the disc",
                                tree + "/caf\xe9.txt: its name cannot be written in the classic layout; it will not be on the disc",
                                tree + "/Emoji\xf0\x9f\x8e\xb5: its name cannot be written as a Joliet name"})
    EXPECT_NE(std::string::npos, out.find(warning)) << out;
  ASSERT_EQ(0, Stdout("isoinfo -i " + Quote(image) + " -x '/tree/Emoji~1/in.txt'", &got));
  EXPECT_EQ("inside", got);
  ASSERT_EQ(0, Stdout("isoinfo -J -i " + Quote(image) + " -x /Playlist.M3U", &got));
  EXPECT_EQ("\\tree\\Emoji\xf0\x9f\x8e\xb5\\in.txt\r\n\\tree\\ok.txt\r\n", got);
  EXPECT_TRUE(fs::is_empty(tmp));

  ASSERT_EQ(0, ::mkfifo((work / "pipe").c_str(), 0600));
  EXPECT_EQ(1, RunCommand(run + Quote(work / "p.iso") + " " + Quote(work / "pipe"), &out)) << out;
  EXPECT_NE(std::string::npos, out.find("not a regular file or folder")) << out;
  EXPECT_TRUE(fs::is_empty(tmp));

  // A sparse file just under 4 GiB takes a while to stream: interrupted on
  // the way, the command still takes its workspace and files with it.
  WriteFile(tree + "/big/huge.bin", "");
  fs::resize_file(tree + "/big/huge.bin", (uint64_t{1} << 32) - 1);
  RunCommand("TMPDIR=" + Quote(tmp) + " timeout -s INT 1 " + DORVIK_CLI + " image /dev/null " + Quote(tree + "/big"), &out);
  EXPECT_TRUE(fs::is_empty(tmp)) << out;
}

TEST(ImageCommandUsage, UsageErrorsExitTwoAndBadSourcesOne) {
  std::string out;
  EXPECT_EQ(0, Dorvik("image --help", &out));
  EXPECT_NE(std::string::npos, out.find("--start LBA"));
  for (const char* args : {"", "burn-everything", "image only-an-output.iso", "image o.iso src --start -5",
                           "image o.iso src --frobnicate"})
    EXPECT_EQ(2, Dorvik(args, &out)) << args;
  TempFolder work;
  EXPECT_EQ(1, Dorvik("image " + Quote(work / "o.iso") + " " + Quote(work / "does-not-exist"), &out));
  EXPECT_NE(std::string::npos, out.find("does-not-exist"));
  EXPECT_FALSE(fs::exists(work / "o.iso"));
}

}  // namespace
}  // namespace dorvik::test
