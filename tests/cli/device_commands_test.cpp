// The device commands drive the exports the way a host does; a pressed disc
// made from our own image must read back as a complete CD-ROM.
#include <gtest/gtest.h>

#include "support/library_fixture.h"

namespace {

using dorvik::test::RunCommand;

std::string Cli(const std::string& env, const std::string& args) {
  return "DORVIK_TIME_SCALE=0.001 DORVIK_VIRTUAL_DRIVES='" + env + "' " + std::string(DORVIK_CLI) + " " + args;
}

TEST(DeviceCommands, ListQueryAndEraseVirtualRecorders) {
  dorvik::test::TempFolder dir;
  std::string out;
  ASSERT_EQ(RunCommand(Cli("", "image " + (dir / "a.iso") + " " + DORVIK_SOURCE_DIR "/samples")), 0);
  const std::string drives = (dir / "a.iso") + ";" + (dir / "rw.img") + ":cd-rw";

  ASSERT_EQ(RunCommand(Cli(drives, "devices"), &out), 0) << out;
  EXPECT_NE(out.find("1    DORVIK"), std::string::npos) << out;
  EXPECT_NE(out.find("2    DORVIK"), std::string::npos) << out;

  ASSERT_EQ(RunCommand(Cli(drives, "info 1"), &out), 0) << out;
  EXPECT_NE(out.find("CD-ROM"), std::string::npos) << out;
  EXPECT_NE(out.find("blank:       no"), std::string::npos) << out;
  EXPECT_NE(out.find("writable:    no"), std::string::npos) << out;
  EXPECT_NE(out.find("no write speed"), std::string::npos) << out;

  ASSERT_EQ(RunCommand(Cli(drives, "erase 2"), &out), 0) << out;
  EXPECT_EQ(RunCommand(Cli(drives, "erase 1"), &out), 1) << out;  // pressed discs cannot be erased
  EXPECT_NE(out.find("cannot be erased"), std::string::npos) << out;

  EXPECT_EQ(RunCommand(Cli(drives, "info 9"), &out), 1);
  EXPECT_NE(out.find("no recorder"), std::string::npos) << out;
  EXPECT_EQ(RunCommand(Cli(drives, "info"), &out), 2);
  EXPECT_EQ(RunCommand(Cli(drives, "info x1"), &out), 2);  // not an id: a usage error
}

TEST(DeviceCommands, LeaveNoWorkspaceBehind) {
  dorvik::test::TempFolder dir, tmp;
  const std::string env = "TMPDIR=" + tmp.Path() + " ";
  ASSERT_EQ(RunCommand(env + Cli(dir / "a.img:cd-r", "devices")), 0);
  ASSERT_EQ(RunCommand(env + Cli("", "image " + (dir / "a.iso") + " " + DORVIK_SOURCE_DIR "/samples")), 0);
  std::string left;
  RunCommand("ls -A " + tmp.Path(), &left);
  EXPECT_EQ(left, "");
}

}  // namespace
