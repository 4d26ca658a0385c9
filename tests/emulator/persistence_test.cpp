// A disc outlives the recorder object and the process that wrote it; an
// existing image without a state is a pressed disc; a damaged state is refused.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "mmc_host.h"
#include "platform/files.h"

namespace dorvik::emulator::test {
namespace {

// One multisession track-at-once session at the NWA; its start, or -1.
int64_t AppendSession(const std::string& path, uint32_t blocks, uint8_t seed) {
  auto r = NewRecorder(path, "cd-r");
  MmcHost host(r.get());
  const uint32_t start = host.TrackInformation(1, 0xFF).U32(12);
  const bool ok = host.WriteParameters(0x41, 0xC4).Good() && WriteBlocks(host, start, blocks, seed) &&
                  host.Close(1, 0xFF).Good() && host.Close(2).Good();
  return ok ? start : -1;
}

// Runs work in a child process that ends with _exit (no destructors run,
// as when a process is killed); true when work returned true.
template <typename Work>
bool InChildProcess(Work work) {
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) ::_exit(work() ? 0 : 1);
  int status = 0;
  return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(Persistence, AnotherProcessAppendsAndAnOpenTrackSurvives) {
  TempFolder dir;
  const std::string path = dir / "disc.img";
  ASSERT_EQ(AppendSession(path, 32, 1), 0);
  ASSERT_TRUE(InChildProcess([&] { return AppendSession(path, 48, 2) == 300 + 11400; }));  // 32 padded to 300
  {
    auto r = NewRecorder(path, "dvd-r");  // the medium name no longer matters
    MmcHost host(r.get());
    EXPECT_EQ(r->CurrentProfile(), 0x09);
    EXPECT_EQ(host.Toc(1).data[3], 2);
    EXPECT_EQ(host.Toc(1).U32(8), 11700u);
    EXPECT_EQ(host.Read10(0, 32).data, Pattern(0, 32, 1));
    EXPECT_EQ(host.Read10(11700, 48).data, Pattern(11700, 48, 2));
    // Stopped mid-track: the open track and its NWA survive too.
    ASSERT_TRUE(host.WriteParameters(0x41, 0xC4).Good());
    ASSERT_TRUE(host.Write10(18900, Pattern(18900, 16, 3)).Good());
  }
  {
    auto r = NewRecorder(path, "");
    MmcHost host(r.get());
    EXPECT_EQ(host.TrackInformation(1, 0xFF).data[2], 3);
    EXPECT_EQ(host.TrackInformation(1, 0xFF).U32(12), 18916u);
    EXPECT_EQ(host.Read10(18900, 16).data, Pattern(18900, 16, 3));
  }
  // A process killed while it streams the track: the track still ends
  // where its data end.
  ASSERT_TRUE(InChildProcess([&] {
    MmcHost host(NewRecorder(path, "").release());  // never closed: the process ends first
    return host.WriteParameters(0x41, 0xC4).Good() && WriteBlocks(host, 18916, 48, 4);
  }));
  auto r = NewRecorder(path, "");
  MmcHost host(r.get());
  EXPECT_EQ(host.TrackInformation(1, 0xFF).data[2], 3);
  EXPECT_EQ(host.TrackInformation(1, 0xFF).U32(12), 18964u);
  EXPECT_EQ(host.Read10(18916, 48).data, Pattern(18916, 48, 4));
}

TEST(Persistence, DamagedStatesMakeNoRecorder) {
  TempFolder dir;
  platform::LargeFile(dir / "disc.img", platform::LargeFile::Mode::Create);
  auto open = [&](const std::string& state) {
    platform::LargeFile(dir / "disc.img.state", platform::LargeFile::Mode::Create).Write(state.data(), state.size());
    std::string error;
    return VirtualRecorder::Open(dir / "disc.img", "", {}, &error) ? std::string("opened") : error;
  };
  const std::string good =
      "dorvik-virtual-disc 1\nmedium cd-r\ncapacity 1000\nformatted 0\nclosed-sessions 1\nfinalized 0\n";
  EXPECT_EQ(open(good + "track 1 0 0 100 1 4\nend\n"), "opened");  // written before tracks could be damaged
  EXPECT_EQ(open(good + "track 1 0 0 100 1 4 1\nend\n"), "opened");
  for (const std::string& bad : {
           good + "track 1 0 0 100 1 4\n",                           // no end
           good + "track 1 0 0 2000 1 4\nend\n",                     // beyond the medium
           good + "track 1 50 0 10 1 4\ntrack 1 0 0 10 1 4\nend\n",  // out of order
           good + "track 1 0 0 10 0 4\ntrack 1 20 0 10 1 4\nend\n",  // open track not last
           good + "track 3 0 0 10 1 4\nend\n",                       // session beyond the open one
           good + "track 1 0 0 -5 1 4\nend\n",
           good + "track 1 0 0 100 1 4 2\nend\n",                  // damage is 0 or 1
           std::string("dorvik-virtual-disc 2\nend\n"),
           std::string("dorvik-virtual-disc 1\nmedium floppy\nend\n"),
           std::string("garbage\n"),
       })
    EXPECT_NE(open(bad).find("disc state"), std::string::npos) << bad;
}

TEST(Persistence, AnImageWithoutStateIsAPressedDisc) {
  TempFolder dir;
  const Bytes image = Pattern(0, 40, 6);
  platform::LargeFile(dir / "pressed.iso", platform::LargeFile::Mode::Create).Write(image.data(), image.size());
  auto r = NewRecorder(dir / "pressed.iso", "");
  MmcHost host(r.get());
  EXPECT_EQ(r->CurrentProfile(), 0x08);
  EXPECT_EQ(host.DiscInformation().data[2], 0x0E);
  EXPECT_EQ(host.Toc(0).U32(16), 40u);
  EXPECT_EQ(host.Read10(0, 40).data, image);
  EXPECT_EQ(host.Write10(40, Pattern(0, 1, 0)).Sense(), "05/30/05");
  EXPECT_EQ(host.Read10(40, 1).Sense(), "05/21/00");
  EXPECT_FALSE(platform::PathExists(dir / "pressed.iso.state"));  // nothing written beside the user's image
  platform::LargeFile(dir / "big.iso", platform::LargeFile::Mode::Create).SetLength((kCdCapacity + 1ull) * 2048);
  EXPECT_EQ(NewRecorder(dir / "big.iso", "")->CurrentProfile(), 0x10);  // larger than a CD: a DVD-ROM
}

}  // namespace
}  // namespace dorvik::emulator::test
