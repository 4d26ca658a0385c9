// What a new user stumbled on: sources left out without a word, software
// recorder settings that did nothing visible, and the commands that answer
// questions (ls, eject, load, log, --json) on the disc they just wrote.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

TEST(SourceCheck, SaysWhatWillNotBeOnTheDiscAndRefusesNameClashes) {
  TempFolder dir;
  RunCommand("mkdir -p " + (dir / "a/same") + " " + (dir / "b/same") + " " + (dir / "tree/sub"));
  WriteFile(dir / "a/same/one.txt", "1");
  WriteFile(dir / "b/same/two.txt", "2");
  WriteFile(dir / "tree/sub/f.txt", "f");
  ASSERT_EQ(::symlink("/nonexistent/target", (dir / "tree/dangling").c_str()), 0);
  const CliProcess cli;

  // Two folders of one name: refused (exit 1, no image), merged on request.
  CliResult r = cli.Run({"image", dir / "x.iso", dir / "a/same", dir / "b/same"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "would both be /same on the disc; rename one, or pass --merge")) << r.err;
  EXPECT_FALSE(Exists(dir / "x.iso"));
  r = cli.Run({"image", dir / "x.iso", dir / "a/same", dir / "b/same", "--merge"});
  ASSERT_EQ(r.status, 0) << r.Both();
  DORVIK_REQUIRE_TOOL("xorriso");
  std::string files;
  RunCommand("xorriso -indev " + (dir / "x.iso") + " -find / -type f 2>/dev/null | sort", &files);
  EXPECT_EQ(files, "'/same/one.txt'\n'/same/two.txt'\n");

  // "." is the folder's contents, not an empty disc; the dangling link is
  // named, and --strict stops before anything is written.
  r = cli.Run({"image", dir / "y.iso", dir / "tree/."});
  ASSERT_EQ(r.status, 0) << r.Both();
  EXPECT_TRUE(Has(r.err, "warning: " + (dir / "tree/dangling") + ": a link to nothing")) << r.err;
  RunCommand("xorriso -indev " + (dir / "y.iso") + " -find / -type f 2>/dev/null | sort", &files);
  EXPECT_EQ(files, "'/sub/f.txt'\n");
  r = cli.Run({"image", dir / "z.iso", dir / "tree/.", "--strict"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "stopped before anything was written (--strict)")) << r.err;
  EXPECT_FALSE(Exists(dir / "z.iso"));
}

TEST(SourceCheck, AFileTheUserCannotReadIsNamed) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the program as another user";
  TempFolder dir;
  ::chmod(dir.Path().c_str(), 0777);
  WriteFile(dir / "secret.txt", "s");
  WriteFile(dir / "open.txt", "o");
  ::chmod((dir / "secret.txt").c_str(), 0600);
  const CliResult r = CliProcess().Env("TMPDIR", dir.Path()).AsUser(65534, 65534)
                          .Run({"image", dir / "out.iso", dir / "secret.txt", dir / "open.txt"});
  EXPECT_EQ(r.status, 0) << r.Both();
  EXPECT_TRUE(Has(r.err, dir / "secret.txt: cannot be read (Permission denied); it will not be on the disc")) << r.err;
}

TEST(RecorderSettings, EachBadEntryIsReportedAndNothingIsMadeOfIt) {
  TempFolder dir;
  CliResult r = CliProcess((dir / "x.img:cdrw") + ";" + (dir / "missing/y.img:cd-r")).Run({"devices"});
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(Has(r.err, "unknown medium \"cdrw\" (did you mean cd-rw?)")) << r.err;
  EXPECT_TRUE(Has(r.err, dir / "missing/y.img")) << r.err;
  EXPECT_FALSE(Exists(dir / "x.img:cdrw")) << "a misspelt medium made a file of that name";

  r = CliProcess(dir / "z.img:cd-r").Env("DORVIK_VIRTUAL_OPTIONS", "speeed=4").Run({"devices"});
  EXPECT_TRUE(Has(r.err, "DORVIK_VIRTUAL_OPTIONS")) << r.err;
  EXPECT_TRUE(Has(r.err, "speeed=4")) << r.err;

  // Ids told apart by their disc files; --json read by a JSON reader.
  r = CliProcess((dir / "cd.img:cd-r") + ";" + (dir / "dvd.img:dvd+rw")).Run({"devices", "--json"});
  ASSERT_EQ(r.status, 0) << r.Both();
  EXPECT_EQ(JsonQuery(r.out, "[(x['id'], x.get('location') == '" + (dir / "dvd.img") + "') for x in d['recorders']]"),
            "[(1, False), (2, True), (0, False)]")
      << r.out;
  r = CliProcess().Run({"info", "0"});
  EXPECT_TRUE(Has(r.out, "recorder 0 is the inert entry")) << r.out;
  r = CliProcess().Run({"info", "0", "--json"});
  EXPECT_EQ(JsonQuery(r.out, "d['kind']"), "inert");
}

// A drive the user may not open: the group to join is named, and a burn to
// the id it would have had points at `dorvik devices`.
TEST(RecorderSettings, ADeviceNodeTheUserMayNotOpenNamesTheGroupToJoin) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the program as another user";
  TempFolder dir;
  ::chmod(dir.Path().c_str(), 0755);
  WriteFile(dir / "sr0", "");
  ASSERT_EQ(::chown((dir / "sr0").c_str(), 0, 24), 0);  // root:cdrom, as udev leaves a drive
  ::chmod((dir / "sr0").c_str(), 0660);
  const CliProcess cli = CliProcess().Env("DORVIK_DEVICE_DIR", dir.Path()).Env("TMPDIR", "/tmp").AsUser(65534, 65534);
  CliResult r = cli.Run({"devices"});
  EXPECT_TRUE(Has(r.err, dir / "sr0: permission denied: join the group 'cdrom' that owns it")) << r.err;
  r = cli.Run({"burn", "1", dir.Path()});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "no recorder has id 1; `dorvik devices` lists them")) << r.err;
  EXPECT_TRUE(Has(r.err, "permission denied")) << r.err;
}

TEST(DiscCommands, LsEjectLoadAndTheLog) {
  TempFolder dir;
  RunCommand("mkdir -p " + (dir / "src/docs"));
  WriteFile(dir / "src/docs/a.txt", "alpha\n");
  const CliProcess cli = CliProcess(dir / "cd.img:cd-r").Env("DORVIK_WRITE_LOG", "1").Env("DORVIK_LOG_DIR", dir.Path());

  CliResult r = cli.Run({"ls", "1"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "holds nothing yet")) << r.err;
  ASSERT_EQ(cli.Run({"burn", "1", dir / "src/.", "--no-eject"}).status, 0);
  r = cli.Run({"ls", "1", "/docs/a.txt"});
  ASSERT_EQ(r.status, 0) << r.Both();
  EXPECT_TRUE(Has(r.out, "6  /docs/a.txt")) << r.out;
  r = cli.Run({"ls", "1", "/nothing"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "/nothing is not on the disc")) << r.err;

  r = cli.Run({"eject", "0"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "inert entry")) << r.err;
  EXPECT_EQ(cli.Run({"eject", "1", "2"}).status, 2);

  // The burn logged the drive it wrote to; the log reads decoded.
  r = cli.Run({"log"});
  ASSERT_EQ(r.status, 0) << r.Both();
  EXPECT_TRUE(Has(r.out, "DORVIK")) << r.out;
  r = cli.Run({"log", dir / "no-such.log"});
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(Has(r.err, "no-such.log: No such file or directory")) << r.err;
}

}  // namespace
