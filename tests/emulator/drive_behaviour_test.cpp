// The drive around the medium: tray and lock, refusals, busy periods,
// timeouts, the write buffer, scripted faults and the command log.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "mmc_host.h"

namespace dorvik::emulator::test {
namespace {

TEST(DriveBehaviour, PreventedEjectIsRefusedAndAnEmptyTrayIsNotReady) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  const Bytes prevent = {0x1E, 0, 0, 0, 1, 0}, allow = {0x1E, 0, 0, 0, 0, 0};
  const Bytes eject = {0x1B, 0, 0, 0, 2, 0}, load = {0x1B, 0, 0, 0, 3, 0};
  ASSERT_TRUE(host.None(prevent).Good());
  EXPECT_EQ(host.ModeSense(0x2A).data[8 + 6] & 0x02, 0x02);  // lock state
  EXPECT_EQ(host.None(eject).Sense(), "05/53/02");
  EXPECT_FALSE(r->TrayOpen());
  ASSERT_TRUE(host.None(allow).Good());
  ASSERT_TRUE(host.None(eject).Good());
  EXPECT_TRUE(r->TrayOpen());
  EXPECT_EQ(host.TestUnitReady().Sense(), "02/3A/02");
  EXPECT_EQ(host.DiscInformation().Sense(), "02/3A/02");
  EXPECT_EQ(host.Read10(0, 1).Sense(), "02/3A/02");
  EXPECT_EQ(host.Profile(), 0);                // no current profile
  EXPECT_TRUE(host.ModeSense(0x2A).Good());  // the drive still answers for itself
  ASSERT_TRUE(host.None(load).Good());
  EXPECT_TRUE(host.TestUnitReady().Good());
  r->SetMediumPresent(false);
  EXPECT_EQ(host.TestUnitReady().Sense(), "02/3A/01");
}

TEST(DriveBehaviour, RefusalsCarryFixedFormatSense) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  EXPECT_EQ(host.None({0xA8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}).Sense(), "05/20/00");
  EXPECT_EQ(host.None({0x2A, 0, 0}).Sense(), "05/24/00");  // a 10-byte command cut short
  EXPECT_EQ(host.Send(Cdb10(0x55, 0x10, 0, 0, 2), DirOut, {0, 0}).Sense(), "05/1A/00");  // only a list header
  auto bad = host.Read10(5, 1);  // current error, information valid and holding the address
  EXPECT_EQ(Bytes(bad.sense.begin(), bad.sense.begin() + 8), (Bytes{0xF0, 0, 5, 0, 0, 0, 5, 10}));
}

TEST(DriveBehaviour, ImmediateCloseKeepsTheDriveBusyForItsTime) {
  TempFolder dir;
  RecorderOptions slow;  // 200 ms at whatever time scale the tests run with
  slow.closeSessionMs = static_cast<uint32_t>(std::min(200.0 / std::max(platform::TimeScale(), 1e-6), 4e9));
  auto r = NewRecorder(dir / "disc.img", "cd-r", slow);
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x41, 0xC4).Good());
  ASSERT_TRUE(WriteBlocks(host, 0, 16, 0));
  ASSERT_TRUE(host.Close(1, 1).Good() && host.Close(2, 0, true).Good());
  const uint64_t start = platform::MonotonicMilliseconds();
  EXPECT_EQ(host.TestUnitReady().Sense(), "02/04/07");
  EXPECT_EQ(host.DiscInformation().Sense(), "02/04/07");
  EXPECT_TRUE(host.In({0x12, 0, 0, 0, 96, 0}, 96).Good());  // identity and features still answer
  EXPECT_TRUE(host.In(Cdb10(0x46, 0, 0, 0, 8), 8).Good());
  EXPECT_EQ(host.In({0x03, 0, 0, 0, 18, 0}, 18).Slice(12, 2), (Bytes{0x04, 0x07}));  // REQUEST SENSE
  host.WaitReady();
  EXPECT_GE(platform::MonotonicMilliseconds() - start, 100u);
  EXPECT_EQ(host.DiscInformation().data[2], 0x01);
}

// Nominal milliseconds that last about ms at the time scale the tests run with.
uint32_t Lasting(double ms) { return static_cast<uint32_t>(std::min(ms / std::max(platform::TimeScale(), 1e-6), 4e9)); }

// Until the drive answers again, by the wall clock: the recorder's busy
// time is real milliseconds, which a loaded machine stretches past any
// fixed count of scaled sleeps.
void WaitForDiscInformation(MmcHost& host) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!host.DiscInformation().Good() && std::chrono::steady_clock::now() < deadline) platform::Sleep(1);
}

TEST(DriveBehaviour, WithReadyWhileClosingOnlyDiscAndTrackQueriesWait) {
  TempFolder dir;
  RecorderOptions options;
  options.readyWhileClosing = true;
  options.closeSessionMs = Lasting(400);
  options.syncCacheMs = Lasting(400);
  auto r = NewRecorder(dir / "disc.img", "cd-r", options);
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x41, 0xC4).Good());
  ASSERT_TRUE(WriteBlocks(host, 0, 16, 0));
  ASSERT_TRUE(host.Synchronize(true).Good());
  EXPECT_TRUE(host.TestUnitReady().Good());
  EXPECT_EQ(host.DiscInformation().Sense(), "02/04/07");
  EXPECT_EQ(host.TrackInformation(1, 1).Sense(), "02/04/07");
  EXPECT_EQ(host.Read10(0, 1).Sense(), "02/04/08");  // the drive is still busy for everything else
  WaitForDiscInformation(host);
  ASSERT_TRUE(host.Close(1, 1).Good() && host.Close(2, 0, true).Good());
  EXPECT_TRUE(host.TestUnitReady().Good());
  EXPECT_EQ(host.DiscInformation().Sense(), "02/04/07");
  WaitForDiscInformation(host);
  EXPECT_EQ(host.DiscInformation().data[2] & 0x03, 1);
}

TEST(DriveBehaviour, ACommandOutlastingItsTimeoutFailsWhileTheDriveCarriesOn) {
  TempFolder dir;
  RecorderOptions options;
  options.closeSessionMs = Lasting(300);
  auto r = NewRecorder(dir / "disc.img", "cd-r", options);
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x41, 0xC4).Good());
  ASSERT_TRUE(WriteBlocks(host, 0, 300, 0));
  ASSERT_TRUE(host.Close(1, 1).Good());
  EXPECT_EQ(host.Close(2, 0, false, options.closeSessionMs / 300).Sense(), "timeout");
  EXPECT_EQ(r->CommandLog().back().status, kTransportFailure);
  EXPECT_EQ(host.TestUnitReady().Sense(), "02/04/07");
  host.WaitReady();
  EXPECT_EQ(host.DiscInformation().data[2] & 0x03, 1);  // closed all the same
  ASSERT_TRUE(WriteBlocks(host, 11700, 300, 0));
  ASSERT_TRUE(host.Close(1, 2).Good());
  EXPECT_TRUE(host.Close(2, 0, false, options.closeSessionMs * 2).Good());  // within its timeout
  EXPECT_TRUE(host.TestUnitReady().Good());
}

TEST(DriveBehaviour, TheBufferRunningDryMidTrackCountsAsAnUnderrun) {
  // Real time, so that emulated draining is slow enough to steer.
  const std::string scale = std::getenv("DORVIK_TIME_SCALE") ? std::getenv("DORVIK_TIME_SCALE") : "";
  ::setenv("DORVIK_TIME_SCALE", "1", 1);
  TempFolder dir;
  RecorderOptions options;
  options.emulateSpeed = true;
  options.syncCacheMs = 0;
  auto r = NewRecorder(dir / "disc.img", "cd-r", options);
  MmcHost host(r.get());
  ASSERT_TRUE(host.None({0xBB, 0, 0xFF, 0xFF, 0x02, 0xC0, 0, 0, 0, 0, 0, 0}).Good());  // 4x: 75 blocks drain in 250 ms
  ASSERT_TRUE(host.WriteParameters(0x41, 0x04).Good());
  // READ BUFFER CAPACITY: 1024 blocks of buffer, less what waits to be written.
  const auto bufferFree = [&] {
    const auto a = host.In({0x5C, 0, 0, 0, 0, 0, 0, 0, 12, 0}, 12).data;
    EXPECT_EQ(Get32(a.data() + 4), 1024u * 2048);
    return Get32(a.data() + 8);
  };
  EXPECT_EQ(bufferFree(), 1024u * 2048);
  ASSERT_TRUE(host.Write10(0, Pattern(0, 128, 1)).Good());
  ASSERT_TRUE(host.Write10(128, Pattern(128, 16, 1)).Good());  // comes while the first drains
  EXPECT_EQ(r->Underruns(), 0u);
  const uint32_t free = bufferFree();
  EXPECT_LE(free, (1024u - 50) * 2048);  // wide: the machine may be slow between the commands
  EXPECT_GE(free, (1024u - 145) * 2048);
  platform::Sleep(700);
  EXPECT_EQ(bufferFree(), 1024u * 2048);
  ASSERT_TRUE(host.Write10(144, Pattern(144, 16, 1)).Good());
  EXPECT_EQ(r->Underruns(), 1u);
  ASSERT_TRUE(host.Synchronize().Good() && host.Close(1, 1).Good());
  platform::Sleep(100);
  ASSERT_TRUE(WriteBlocks(host, 452, 16, 1));  // a new track's first write finds the buffer empty by right
  EXPECT_EQ(r->Underruns(), 1u);
  if (scale.empty()) ::unsetenv("DORVIK_TIME_SCALE");
  else ::setenv("DORVIK_TIME_SCALE", scale.c_str(), 1);
}

// The fastest write-once media: the speeds page lists 52x (CD-R) or 24x
// (DVD-R, DVD+R) first and "as fast as you can" selects it; other media
// keep their table.
TEST(DriveBehaviour, TopWriteSpeedsAddTheFastestMediaSpeeds) {
  RecorderOptions options;
  std::string error;
  ASSERT_TRUE(ParseRecorderOptions("top-write-speeds=1", options, &error)) << error;
  for (const auto& [medium, fastest] : {std::pair{"cd-r", 52 * 176}, std::pair{"dvd-r", 24 * 1385},
                                        std::pair{"dvd+r", 24 * 1385}, std::pair{"cd-rw", 24 * 176}}) {
    SCOPED_TRACE(medium);
    TempFolder dir;
    auto r = NewRecorder(dir / "disc.img", medium, options);
    MmcHost host(r.get());
    ASSERT_TRUE(host.None({0xBB, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0}).Good());
    const Bytes page = host.ModeSense(0x2A).data;
    const uint8_t* p = page.data() + 8;
    EXPECT_EQ(p[28] << 8 | p[29], fastest);  // the selected write speed
    EXPECT_EQ(p[32 + 2] << 8 | p[32 + 3], fastest);  // the first speed descriptor
  }
}

TEST(DriveBehaviour, ScriptedFaultsAndTheCommandLog) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  std::string error;
  auto script = ParseFaultScript("2A@3x2=03/0C/00;00x5=02/04/08;55=05/26/00", &error);
  ASSERT_TRUE(script) << error;
  for (const Fault& f : *script) r->AddFault(f);
  EXPECT_EQ(host.WriteParameters(0x41, 0x04).Sense(), "05/26/00");
  ASSERT_TRUE(host.WriteParameters(0x41, 0x04).Good());
  for (int i = 0; i < 5; ++i) EXPECT_EQ(host.TestUnitReady().Sense(), "02/04/08");
  EXPECT_TRUE(host.TestUnitReady().Good());
  std::vector<std::string> results;
  for (uint32_t lba = 0; results.size() < 6; lba += results.back() == "00/00/00" ? 16 : 0)
    results.push_back(host.Write10(lba, Pattern(lba, 16, 0)).Sense());
  const std::string ok = "00/00/00", fault = "03/0C/00";
  EXPECT_EQ(results, (std::vector<std::string>{ok, ok, fault, fault, ok, ok}));
  EXPECT_EQ(host.Read10(0, 64).data, Pattern(0, 64, 0));  // the failed writes recorded nothing
  auto log = r->CommandLog();
  ASSERT_EQ(log.size(), 2u + 6u + 6u + 1u);
  const auto& write = log[log.size() - 2];
  EXPECT_EQ(write.cdb, Cdb10(0x2A, 0, 48, 0, 16));
  EXPECT_EQ(write.direction, DirOut);
  EXPECT_EQ(write.length, 16u * 2048u);
  EXPECT_EQ(log[log.size() - 4].sense.asc, 0x0C);
}

}  // namespace
}  // namespace dorvik::emulator::test
