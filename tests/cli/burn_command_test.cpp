// dorvik burn and burn-image run as a user runs them, against software
// recorders: what reaches the disc (read by the library's own walk and by
// xorriso), what the user is told, Ctrl-C, and the read-back check.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

#include "cli/cli_process.h"
#include "support/library_fixture.h"
#include "support/tree_files.h"

namespace {

using dorvik::test::CliProcess;
using dorvik::test::CliResult;
using dorvik::test::JsonQuery;
using dorvik::test::RunCommand;
using dorvik::test::TempFolder;
using dorvik::test::tree_files::WriteFile;


// A file of size bytes whose every 2048-byte sector differs from the others.
void WriteSectors(const std::string& path, size_t size) {
  std::string data(size, '\0');
  for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i / 2048 * 7 + i) & 0xFF);
  WriteFile(path, data);
}

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(BurnCommand, OpenSessionThenAppendListsBothAndXorrisoReadsTheTree) {
  TempFolder dir;
  RunCommand("mkdir -p " + (dir / "more/deep"));
  WriteFile(dir / "more/deep/notes.txt", "second session\n");
  const CliProcess cli(dir / "cd.img:cd-r");

  CliResult r = cli.Run({"burn", "1", DORVIK_SOURCE_DIR "/samples/.", "--open", "--label", "FIRST"});
  ASSERT_EQ(r.status, 0) << r.Both();
  EXPECT_TRUE(Has(r.out, "progress: 100%")) << r.out;  // plain lines without a terminal
  EXPECT_TRUE(Has(r.out, "session is left open")) << r.out;
  r = cli.Run({"burn", "1", dir / "more"});
  ASSERT_EQ(r.status, 0) << r.Both();

  r = cli.Run({"ls", "1"});
  ASSERT_EQ(r.status, 0) << r.Both();
  EXPECT_TRUE(Has(r.out, "/Welcome.txt")) << r.out;          // carried over from the first session
  EXPECT_TRUE(Has(r.out, "/more/deep/notes.txt")) << r.out;  // added in the second
  r = cli.Run({"ls", "1", "more", "--json"});
  ASSERT_EQ(r.status, 0) << r.Both();
  EXPECT_EQ(JsonQuery(r.out, "[e['path'] for e in d['entries'] if not e['folder']]"), "['/more/deep/notes.txt']");
  EXPECT_EQ(JsonQuery(r.out, "[e['size'] for e in d['entries'] if not e['folder']]"), "[15]");

  r = cli.Run({"info", "1", "--json"});
  ASSERT_EQ(r.status, 0) << r.Both();
  const std::string start = JsonQuery(r.out, "[s['start'] for s in d['sessions'] if s['state'] != 'empty'][-1]");
  EXPECT_EQ(JsonQuery(r.out, "len([s for s in d['sessions'] if s['state'] != 'empty'])"), "2") << r.out;

  DORVIK_REQUIRE_TOOL("xorriso");
  std::string tree;
  ASSERT_EQ(RunCommand("xorriso -indev stdio:" + (dir / "cd.img") + " -load sbsector " + start +
                           " -find / -type f 2>/dev/null | sort",
                       &tree),
            0);
  EXPECT_TRUE(Has(tree, "'/Welcome.txt'")) << tree;
  EXPECT_TRUE(Has(tree, "'/more/deep/notes.txt'")) << tree;
}

TEST(BurnCommand, ImageToDvdPlusRwIsVerifiedAndReadableByIsoReaders) {
  TempFolder dir;
  WriteSectors(dir / "big.bin", 600 * 1024);
  const CliProcess cli(dir / "dvd.img:dvd+rw");
  CliResult r = CliProcess().Run({"image", dir / "in.iso", dir / "big.bin", DORVIK_SOURCE_DIR "/samples/music"});
  ASSERT_EQ(r.status, 0) << r.Both();
  r = cli.Run({"burn-image", "1", dir / "in.iso", "--verify"});
  ASSERT_EQ(r.status, 0) << r.Both();
  EXPECT_TRUE(Has(r.out, "verified: all")) << r.out;
  struct stat st {};
  ASSERT_EQ(::stat((dir / "in.iso").c_str(), &st), 0);
  EXPECT_EQ(RunCommand("cmp -n " + std::to_string(st.st_size) + " " + (dir / "in.iso") + " " + (dir / "dvd.img")), 0);
  DORVIK_REQUIRE_TOOL("isoinfo");
  std::string listing;
  ASSERT_EQ(RunCommand("isoinfo -J -f -i " + (dir / "dvd.img"), &listing), 0);
  EXPECT_TRUE(Has(listing, "/big.bin")) << listing;
}

// A drive that records one block wrong without noticing: the write
// succeeds, the read-back names the file the bad sector belongs to.
TEST(BurnCommand, VerifyNamesTheFileACorruptedSectorLandsIn) {
  TempFolder dir;
  RunCommand("mkdir -p " + (dir / "src"));
  WriteSectors(dir / "src/large.bin", 1024 * 1024);  // 512 sectors from about sector 30 on
  WriteFile(dir / "src/small.txt", "small\n");
  // The 20th WRITE(10) of 16 sectors covers sectors 304 to 319.
  CliResult r = CliProcess(dir / "cd.img:cd-r").Env("DORVIK_VIRTUAL_FAULTS", "2A@20=corrupt")
                    .Run({"burn", "1", dir / "src/.", "--verify"});
  EXPECT_EQ(r.status, 1) << r.Both();
  EXPECT_TRUE(Has(r.err, "verify failed: 1 of")) << r.err;
  EXPECT_TRUE(Has(r.err, "sector 304, in /large.bin")) << r.err;

  r = CliProcess(dir / "clean.img:cd-r").Run({"burn", "1", dir / "src/.", "--verify"});
  EXPECT_EQ(r.status, 0) << r.Both();
  EXPECT_TRUE(Has(r.out, "verified: all")) << r.out;
}

// With the software recorder writing at an emulated 4x, Ctrl-C arrives
// while blocks still go out: the write stops, the track is closed, the user
// learns how far it got, and a second Ctrl-C does not cut that short.
TEST(BurnCommand, CtrlCStopsTheWriteAndSaysHowFarItGot) {
  TempFolder dir;
  WriteSectors(dir / "big.bin", 12 * 1024 * 1024);
  const CliProcess cli = CliProcess(dir / "cd.img:cd-r")
                             .Env("DORVIK_VIRTUAL_OPTIONS", "emulate-speed=1")
                             .Env("DORVIK_TIME_SCALE", "0.3");
  // Once blocks are going out: a progress line past 0%.
  auto progressShown = [](const std::string& out, const std::string&) {
    for (size_t at = out.find("progress: "); at != std::string::npos; at = out.find("progress: ", at + 1))
      if (out.compare(at, 14, "progress:   0%") != 0) return true;
    return false;
  };
  auto stopping = [](const std::string&, const std::string& err) { return Has(err, "interrupted"); };
  const CliResult r = cli.RunWithSignals({"burn", "1", dir / "big.bin", "--speed", "4"},
                                         {{progressShown, SIGINT}, {stopping, SIGINT}});
  EXPECT_EQ(r.status, 130) << r.Both();
  EXPECT_TRUE(Has(r.err, "interrupted: stopping the write")) << r.err;
  EXPECT_TRUE(Has(r.err, "still finishing the track")) << r.err;
  EXPECT_TRUE(Has(r.err, "stopped at ")) << r.err;
  EXPECT_FALSE(Has(r.err, "stopped at 100%")) << r.err;
  // The disc is in a state the library reads: the stopped track is closed.
  const CliResult info = cli.Run({"info", "1", "--json"});
  EXPECT_EQ(JsonQuery(info.out, "[t['state'] for t in d['tracks']][0]"), "closed") << info.Both();
}

TEST(BurnCommand, SaysWhyNothingCanBeWritten) {
  TempFolder dir;
  WriteSectors(dir / "big.bin", 3 * 1024 * 1024);
  WriteFile(dir / "junk.iso", std::string(200000, 'x'));
  WriteFile(dir / "a.txt", "a\n");
  const CliProcess cli((dir / "cd.img:cd-r") + ";" + (dir / "small.img:cd-r"));

  CliResult r = cli.Run({"burn", "7", dir / "a.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "no recorder has id 7; `dorvik devices` lists them")) << r.err;
  r = cli.Run({"burn", "0", dir / "a.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "recorder 0 is the inert entry")) << r.err;
  r = cli.Run({"burn", "1"});
  EXPECT_EQ(r.status, 2);
  r = cli.Run({"burn", "1", dir / "a.txt", "--speed", "fast"});
  EXPECT_EQ(r.status, 2);
  EXPECT_TRUE(Has(r.err, "--speed needs a factor")) << r.err;

  r = cli.Run({"burn-image", "1", dir / "junk.iso"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "is not an image this library can write")) << r.err;

  // The disc is gone at the first TEST UNIT READY the command sends.
  r = CliProcess(dir / "gone.img:cd-r").Env("DORVIK_VIRTUAL_FAULTS", "00=remove").Run({"burn", "1", dir / "a.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "no disc in recorder 1")) << r.err;
  r = cli.Run({"eject", "1"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(Has(r.out, "tray opened")) << r.out;
  r = cli.Run({"load", "1"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(Has(r.out, "tray closed")) << r.out;

  r = cli.Run({"burn", "1", dir / "a.txt"});  // closes the CD-R
  ASSERT_EQ(r.status, 0) << r.Both();
  r = cli.Run({"burn", "1", dir / "a.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "the CD-R in it is closed")) << r.err;

  // A disc of 11000 blocks holds 1240 after the library's reserve of 10240.
  r = CliProcess(dir / "tiny.img:cd-r").Env("DORVIK_VIRTUAL_OPTIONS", "capacity=11000").Run({"burn", "1", dir / "big.bin"});
  EXPECT_EQ(r.status, 1) << r.Both();
  EXPECT_TRUE(Has(r.err, "does not fit on the blank CD-R")) << r.err;
  EXPECT_TRUE(Has(r.err, " MB over)")) << r.err;
}

// Drives record DVD+RW, DVD+R, DVD-RAM and restricted-overwrite DVD-RW for
// real whatever the test-write bit says, so a "simulated" burn there would
// overwrite the disc: the command refuses before the drive is asked to write.
TEST(BurnCommand, TestWriteIsRefusedWhereDrivesWouldRecordForReal) {
  TempFolder dir;
  WriteFile(dir / "a.txt", "a\n");
  WriteFile(dir / "zeros.iso", std::string(20 * 2048, '\0'));  // reaches the disc check
  for (const char* medium : {"dvd+rw", "dvd+r", "dvd-ram", "dvd-rw"}) {
    const std::string disc = dir / (std::string(medium) + ".img");
    const CliProcess cli(disc + ":" + medium);
    CliResult r = cli.Run({"burn", "1", dir / "a.txt", "--test"});
    EXPECT_EQ(r.status, 1) << medium << r.Both();
    EXPECT_TRUE(Has(r.err, "--test cannot be used on the")) << medium << r.err;
    struct stat st {};
    EXPECT_TRUE(::stat(disc.c_str(), &st) != 0 || st.st_blocks == 0) << medium << ": something was written";
    r = cli.Run({"burn-image", "1", dir / "zeros.iso", "--test"});
    EXPECT_EQ(r.status, 1) << medium << r.Both();
    EXPECT_TRUE(Has(r.err, "--test cannot be used on the")) << medium << r.err;
  }
  // Where the bit is honoured, the simulated burn runs and records nothing.
  const std::string cd = dir / "cd.img";
  const CliResult r = CliProcess(cd + ":cd-r").Run({"burn", "1", dir / "a.txt", "--test"});
  EXPECT_EQ(r.status, 0) << r.Both();
  EXPECT_TRUE(Has(r.out, "simulated")) << r.out;
}

}  // namespace
