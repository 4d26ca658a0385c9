// A disc outlives the recorder object and the process that wrote it; an
// existing image without a state is a pressed disc.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "emulator/disc_state_file.h"
#include "mmc_host.h"
#include "platform/files.h"
#include "support/library_fixture.h"

namespace dorvik::emulator::test {
namespace {

using dorvik::test::TempFolder;

// One multisession track-at-once session of blocks at the NWA.
bool AppendSession(const std::string& path, uint32_t blocks, uint8_t seed, uint32_t* start) {
  auto r = NewRecorder(path, "cd-r");
  if (!r) return false;
  MmcHost host(r.get());
  auto invisible = host.TrackInformation(1, 0xFF);
  if (!invisible.Good()) return false;
  *start = Be32(invisible.data.data() + 12);
  if (!host.WriteParameters(0x41, 0xC4).Good()) return false;
  for (uint32_t done = 0; done < blocks; done += 16)
    if (!host.Write10(*start + done, Pattern(*start + done, std::min<uint32_t>(16, blocks - done), seed)).Good())
      return false;
  return host.Close(1, 0xFF).Good() && host.Close(2).Good();
}

TEST(Persistence, ANewRecorderObjectSeesTheDiscAsLeft) {
  TempFolder dir;
  const std::string path = dir / "disc.img";
  uint32_t first = 0;
  ASSERT_TRUE(AppendSession(path, 40, 1, &first));
  {
    // Stopped mid-track: the open track and its NWA survive too.
    auto r = NewRecorder(path, "dvd-r");  // the medium name no longer matters
    MmcHost host(r.get());
    EXPECT_EQ(r->CurrentProfile(), 0x09);
    ASSERT_TRUE(host.WriteParameters(0x41, 0xC4).Good());
    ASSERT_TRUE(host.Write10(11440, Pattern(11440, 16, 2)).Good());
  }
  auto r = NewRecorder(path, "");
  MmcHost host(r.get());
  auto incomplete = host.TrackInformation(1, 0xFF);
  EXPECT_EQ(incomplete.data[2], 2);
  EXPECT_EQ(Be32(incomplete.data.data() + 12), 11456u);
  EXPECT_EQ(host.Read10(0, 40).data, Pattern(0, 40, 1));
  EXPECT_EQ(host.Read10(11440, 16).data, Pattern(11440, 16, 2));
}

TEST(Persistence, AnotherProcessAppendsTheNextSession) {
  TempFolder dir;
  const std::string path = dir / "disc.img";
  uint32_t start = 0;
  ASSERT_TRUE(AppendSession(path, 32, 1, &start));
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    uint32_t childStart = 0;
    const bool ok = AppendSession(path, 48, 2, &childStart) && childStart == 32 + 11400;
    ::_exit(ok ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 0);
  auto r = NewRecorder(path, "");
  MmcHost host(r.get());
  auto sessions = host.Toc(1);
  ASSERT_TRUE(sessions.Good());
  EXPECT_EQ(sessions.data[3], 2);
  EXPECT_EQ(Be32(sessions.data.data() + 8), 11432u);
  EXPECT_EQ(host.Read10(11432, 48).data, Pattern(11432, 48, 2));
}

TEST(Persistence, DamagedStatesAreRefused) {
  std::string error;
  const Disc blank = Disc::Blank(MediumKind::CdR, kCdCapacity);
  auto roundTrip = ParseDiscState(FormatDiscState(blank), &error);
  ASSERT_TRUE(roundTrip) << error;
  const std::string good = "dorvik-virtual-disc 1\nmedium cd-r\ncapacity 1000\nformatted 0\nclosed-sessions 1\nfinalized 0\n";
  EXPECT_TRUE(ParseDiscState(good + "track 1 0 0 100 1 4\nend\n", &error)) << error;
  for (const std::string& bad : {
           good + "track 1 0 0 100 1 4\n",                               // no end
           good + "track 1 0 0 2000 1 4\nend\n",                         // beyond the medium
           good + "track 1 50 0 10 1 4\ntrack 1 0 0 10 1 4\nend\n",      // out of order
           good + "track 1 0 0 10 0 4\ntrack 1 20 0 10 1 4\nend\n",      // open track not last
           good + "track 3 0 0 10 1 4\nend\n",                           // session beyond the open one
           good + "track 1 0 0 -5 1 4\nend\n",
           std::string("dorvik-virtual-disc 2\nend\n"),
           std::string("dorvik-virtual-disc 1\nmedium floppy\nend\n"),
       })
    EXPECT_FALSE(ParseDiscState(bad, &error)) << bad;
}

TEST(Persistence, AnImageWithoutStateIsAPressedDisc) {
  DORVIK_REQUIRE_TOOL("genisoimage");
  TempFolder dir;
  ASSERT_EQ(dorvik::test::RunCommand("mkdir -p " + dir / "tree && echo x > " + dir / "tree/a.txt && genisoimage -quiet -o " +
                                     dir / "pressed.iso " + dir / "tree"),
            0);
  const uint64_t blocks = platform::Stat(dir / "pressed.iso").size / 2048;
  auto r = NewRecorder(dir / "pressed.iso", "");
  MmcHost host(r.get());
  EXPECT_EQ(r->CurrentProfile(), 0x08);
  EXPECT_EQ(host.DiscInformation().data[2], 0x0E);
  auto toc = host.Toc(0);
  EXPECT_EQ(Be32(toc.data.data() + 12 + 4), blocks);
  auto pvd = host.Read10(16, 1);
  ASSERT_TRUE(pvd.Good());
  EXPECT_EQ(std::string(pvd.data.begin() + 1, pvd.data.begin() + 6), "CD001");
  EXPECT_EQ(host.Write10(static_cast<uint32_t>(blocks), Pattern(0, 1, 0)).Sense(), "05/30/05");
  EXPECT_EQ(host.Read10(static_cast<uint32_t>(blocks), 1).Sense(), "05/21/00");
  EXPECT_FALSE(platform::PathExists(dir / "pressed.iso.state"));  // nothing written beside the user's image

  // Larger than a CD: a DVD-ROM.
  {
    platform::LargeFile big(dir / "big.iso", platform::LargeFile::Mode::Create);
    big.SetLength(static_cast<uint64_t>(kCdCapacity + 1) * 2048);
  }
  auto dvd = NewRecorder(dir / "big.iso", "");
  EXPECT_EQ(dvd->CurrentProfile(), 0x10);
  EXPECT_EQ(MmcHost(dvd.get()).Blank(1).Sense(), "05/30/05");
}

TEST(Persistence, AReadOnlyDiscFileIsWriteProtected) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes anything";
  TempFolder dir;
  const std::string path = dir / "disc.img";
  { NewRecorder(path, "dvd+rw"); }
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  auto r = NewRecorder(path, "");
  MmcHost host(r.get());
  EXPECT_EQ(host.Write10(0, Pattern(0, 1, 0)).Sense(), "07/27/00");
}

}  // namespace
}  // namespace dorvik::emulator::test
