// The drive around the medium: identity, tray and lock, mode pages,
// features, speeds, busy periods, scripted faults and the command log.
#include <gtest/gtest.h>

#include <thread>

#include "mmc_host.h"
#include "platform/sleep.h"
#include "support/library_fixture.h"

namespace dorvik::emulator::test {
namespace {

using dorvik::test::TempFolder;

bool HasFeature(const Answer& config, uint16_t code, bool* current = nullptr) {
  const uint32_t end = std::min<uint32_t>(Be32(config.data.data()) + 4, static_cast<uint32_t>(config.data.size()));
  for (uint32_t at = 8; at + 4 <= end; at += 4 + config.data[at + 3])
    if (Be16(config.data.data() + at) == code) {
      if (current) *current = config.data[at + 2] & 1;
      return true;
    }
  return false;
}

TEST(DriveBehaviour, IdentityAndUnknownCommands) {
  TempFolder dir;
  RecorderOptions options;
  options.vendor = "ACME";
  options.product = "Burner";
  options.revision = "2.5";
  auto r = NewRecorder(dir / "disc.img", "cd-r", options);
  MmcHost host(r.get());
  auto inquiry = host.Inquiry();
  ASSERT_TRUE(inquiry.Good());
  EXPECT_EQ(inquiry.data[0], 0x05);
  EXPECT_EQ(inquiry.data[1], 0x80);
  EXPECT_EQ(std::string(inquiry.data.begin() + 8, inquiry.data.begin() + 36), "ACME    Burner          2.5 ");
  EXPECT_EQ(host.In({0x12, 0, 0x83, 0, 96, 0}, 96).Sense(), "05/24/00");  // page code without EVPD
  EXPECT_EQ(host.None({0xA8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}).Sense(), "05/20/00");
  EXPECT_EQ(host.None({0x2A, 0, 0}).Sense(), "05/24/00");  // a 10-byte command cut short
  // The sense bytes are fixed format with the information field for a bad address.
  auto bad = host.Read10(5, 1);
  EXPECT_EQ(bad.sense[0], 0xF0);
  EXPECT_EQ(bad.sense[7], 10);
  EXPECT_EQ(Be32(bad.sense.data() + 3), 5u);
}

TEST(DriveBehaviour, TrayLockAndMissingMedium) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  ASSERT_TRUE(host.Prevent(1).Good());
  EXPECT_EQ(host.ModeSense(0x2A).data[8 + 6] & 0x02, 0x02);  // lock state
  EXPECT_EQ(host.StartStop(0x02).Sense(), "05/53/02");
  EXPECT_FALSE(r->TrayOpen());
  ASSERT_TRUE(host.Prevent(0).Good());
  ASSERT_TRUE(host.StartStop(0x02).Good());
  EXPECT_TRUE(r->TrayOpen());
  EXPECT_EQ(host.TestUnitReady().Sense(), "02/3A/02");
  EXPECT_EQ(host.DiscInformation().Sense(), "02/3A/02");
  EXPECT_EQ(host.Read10(0, 1).Sense(), "02/3A/02");
  auto config = host.GetConfiguration();
  ASSERT_TRUE(config.Good());
  EXPECT_EQ(Be16(config.data.data() + 6), 0);  // no current profile
  EXPECT_TRUE(host.ModeSense(0x2A).Good());   // the drive still answers for itself
  ASSERT_TRUE(host.StartStop(0x03).Good());
  EXPECT_TRUE(host.TestUnitReady().Good());
  r->SetMediumPresent(false);
  EXPECT_EQ(host.TestUnitReady().Sense(), "02/3A/01");
}

TEST(DriveBehaviour, CapabilitiesPageFollowsTheModelAndMedium) {
  TempFolder dir;
  auto dvd = NewRecorder(dir / "dvd.img", "dvd+r");
  MmcHost host(dvd.get());
  auto sense = host.ModeSense(0x2A);
  ASSERT_TRUE(sense.Good());
  const uint8_t* page = sense.data.data() + 8 + Be16(sense.data.data() + 6);
  EXPECT_EQ(page[0], 0x2A);
  EXPECT_EQ(page[2] & 0x08, 0x08);  // reads DVD-ROM
  EXPECT_EQ(page[3] & 0x33, 0x33);  // writes CD-R, CD-RW, DVD-R, DVD-RAM
  EXPECT_EQ(Be16(page + 8), 16 * 1385);
  const uint16_t descriptors = Be16(page + 30);
  ASSERT_EQ(descriptors, 4);
  EXPECT_EQ(Be16(page + 32 + 2), 16 * 1385);
  EXPECT_EQ(Be16(page + 28), 16 * 1385);
  EXPECT_EQ(page[1] + 2, 32 + 4 * descriptors);

  RecorderOptions cdOnly;
  cdOnly.model = DriveModel::CdRecorder;
  auto cd = NewRecorder(dir / "cd.img", "cd-rw", cdOnly);
  auto cdPage = MmcHost(cd.get()).ModeSense(0x2A).data;
  EXPECT_EQ(cdPage[8 + 2] & 0x38, 0);
  EXPECT_EQ(cdPage[8 + 3], 0x07);
  EXPECT_EQ(Be16(cdPage.data() + 8 + 28), 24 * 176);
  // Nothing on page 2A is changeable, and it cannot be selected.
  auto changeable = MmcHost(cd.get()).ModeSense(0x40 | 0x2A);
  EXPECT_EQ(changeable.data[8 + 3], 0);
  EXPECT_EQ(MmcHost(cd.get()).ModeSense(0xC0 | 0x2A).Sense(), "05/39/00");
  std::vector<uint8_t> select(8 + 32, 0);
  select[8] = 0x2A;
  select[9] = 30;
  EXPECT_EQ(MmcHost(cd.get()).Out({0x55, 0x10, 0, 0, 0, 0, 0, 0, 40, 0}, select).Sense(), "05/26/00");
  EXPECT_EQ(MmcHost(cd.get()).ModeSense(0x01).Sense(), "05/24/00");
}

TEST(DriveBehaviour, WriteParametersPageRoundTripsAndShortListsAreRefused) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x52, 0xC4, 0x08, 0x20).Good());
  auto page = host.ModeSense(0x05);
  ASSERT_TRUE(page.Good());
  EXPECT_EQ(page.data[8], 0x05);
  EXPECT_EQ(page.data[9], 0x32);
  EXPECT_EQ(page.data[10], 0x52);
  EXPECT_EQ(page.data[11], 0xC4);
  EXPECT_EQ(page.data[16], 0x20);
  EXPECT_EQ(Be16(page.data.data()), 8 + 52 - 2);
  // A two-byte list (the header of a failed sense) is a length error.
  EXPECT_EQ(host.Out({0x55, 0x10, 0, 0, 0, 0, 0, 0, 2, 0}, {0, 0}).Sense(), "05/1A/00");
  // PF clear or SP set.
  std::vector<uint8_t> list(60, 0);
  EXPECT_EQ(host.Out({0x55, 0x00, 0, 0, 0, 0, 0, 0, 60, 0}, list).Sense(), "05/24/00");
  EXPECT_EQ(host.Out({0x55, 0x11, 0, 0, 0, 0, 0, 0, 60, 0}, list).Sense(), "05/24/00");
  // A refused page leaves the previous one in force.
  EXPECT_EQ(host.WriteParameters(0x44, 0x04).Sense(), "05/26/00");
  EXPECT_EQ(host.ModeSense(0x05).data[10], 0x52);
}

TEST(DriveBehaviour, ConfigurationListsProfilesAndWriteFeatures) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-rw");
  MmcHost host(r.get());
  auto all = host.GetConfiguration();
  ASSERT_TRUE(all.Good());
  EXPECT_EQ(Be16(all.data.data() + 6), 0x0A);
  // Feature 0 first: every profile, the current one flagged.
  ASSERT_EQ(Be16(all.data.data() + 8), 0);
  const uint8_t count = all.data[11] / 4;
  EXPECT_EQ(count, 10);
  int currentFlags = 0;
  for (int i = 0; i < count; ++i) {
    const uint8_t* d = all.data.data() + 12 + 4 * i;
    if (d[2] & 1) {
      ++currentFlags;
      EXPECT_EQ(Be16(d), 0x0A);
    }
  }
  EXPECT_EQ(currentFlags, 1);
  bool current = false;
  EXPECT_TRUE(HasFeature(all, 0x002D, &current));
  EXPECT_TRUE(current);
  EXPECT_TRUE(HasFeature(all, 0x002E, &current));
  EXPECT_TRUE(HasFeature(all, 0x002A, &current));
  EXPECT_FALSE(current);  // DVD+RW is not what is loaded
  // RT=1: current features only; RT=2: just the one asked for.
  auto currentOnly = host.GetConfiguration(1);
  EXPECT_FALSE(HasFeature(currentOnly, 0x002A));
  EXPECT_TRUE(HasFeature(currentOnly, 0x002D));
  auto one = host.GetConfiguration(2, 0x002E);
  EXPECT_EQ(Be32(one.data.data()), 4u + 8u);
  EXPECT_EQ(Be16(one.data.data() + 8), 0x002E);
  EXPECT_EQ(host.GetConfiguration(3).Sense(), "05/24/00");
  // A short allocation gets the head of the answer, with the full length in it.
  auto head = host.GetConfiguration(0, 0, 8);
  EXPECT_EQ(Be32(head.data.data()), Be32(all.data.data()));

  RecorderOptions taoOnly;
  taoOnly.mastering = false;
  auto r2 = NewRecorder(dir / "tao.img", "cd-r", taoOnly);
  auto config2 = MmcHost(r2.get()).GetConfiguration();
  EXPECT_TRUE(HasFeature(config2, 0x002D));
  EXPECT_FALSE(HasFeature(config2, 0x002E));
}

TEST(DriveBehaviour, SetCdSpeedPicksTheNearestSupportedSpeedAtOrBelow) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  auto writeSpeed = [&] { return Be16(host.ModeSense(0x2A).data.data() + 8 + 28); };
  auto readSpeed = [&] { return Be16(host.ModeSense(0x2A).data.data() + 8 + 14); };
  EXPECT_EQ(writeSpeed(), 48 * 176);
  ASSERT_TRUE(host.SetSpeed(0xFFFF, 20 * 176).Good());
  EXPECT_EQ(writeSpeed(), 16 * 176);
  ASSERT_TRUE(host.SetSpeed(0xFFFF, 2 * 176).Good());
  EXPECT_EQ(writeSpeed(), 4 * 176);  // below the slowest: the slowest
  ASSERT_TRUE(host.SetSpeed(9000, 0xFFFF).Good());
  EXPECT_EQ(writeSpeed(), 48 * 176);
  EXPECT_EQ(readSpeed(), 48 * 176);
  ASSERT_TRUE(host.SetSpeed(3000, 0xFFFF).Good());
  EXPECT_EQ(readSpeed(), 16 * 176);
  EXPECT_EQ(host.None({0xBB, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}).Sense(), "05/24/00");
}

TEST(DriveBehaviour, ImmediateOperationsKeepTheDriveBusyForTheirTime) {
  TempFolder dir;
  RecorderOptions slow;
  // Long enough to see at any time scale the tests run with, short enough
  // to wait for at DORVIK_TIME_SCALE=0.001.
  const double scale = platform::TimeScale();
  slow.closeSessionMs = static_cast<uint32_t>(std::min(200.0 / std::max(scale, 1e-6), 4e9));
  auto r = NewRecorder(dir / "disc.img", "cd-r", slow);
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x41, 0xC4).Good());
  ASSERT_TRUE(host.Write10(0, Pattern(0, 16, 0)).Good());
  ASSERT_TRUE(host.Close(1, 1).Good());
  ASSERT_TRUE(host.Close(2, 0, true).Good());
  auto busy = host.TestUnitReady();
  EXPECT_EQ(busy.Sense(), "02/04/07");
  EXPECT_EQ(host.DiscInformation().Sense(), "02/04/07");
  EXPECT_TRUE(host.Inquiry().Good());  // identity and features still answer
  EXPECT_TRUE(host.GetConfiguration().Good());
  auto requestSense = host.In({0x03, 0, 0, 0, 18, 0}, 18);
  EXPECT_EQ(requestSense.data[12], 0x04);
  EXPECT_EQ(requestSense.data[13], 0x07);
  const uint64_t start = platform::MonotonicMilliseconds();
  while (!host.TestUnitReady().Good() && platform::MonotonicMilliseconds() - start < 5000) platform::Sleep(1);
  EXPECT_TRUE(host.TestUnitReady().Good());
  EXPECT_GE(platform::MonotonicMilliseconds() - start, 100u);
  EXPECT_EQ(host.DiscInformation().data[2] & 0x03, 1);
}

TEST(DriveBehaviour, EmulatedSpeedFillsTheBufferAndReportsLongWrites) {
  TempFolder dir;
  RecorderOptions options;
  options.emulateSpeed = true;
  options.bufferBlocks = 64;
  auto r = NewRecorder(dir / "disc.img", "cd-r", options);
  MmcHost host(r.get());
  // Real time for this one: a few blocks at 4x must outlast the commands.
  const char* scale = std::getenv("DORVIK_TIME_SCALE");
  const std::string saved = scale ? scale : "";
  ::setenv("DORVIK_TIME_SCALE", "1", 1);
  struct Restore {
    std::string value;
    ~Restore() {
      if (value.empty()) ::unsetenv("DORVIK_TIME_SCALE");
      else ::setenv("DORVIK_TIME_SCALE", value.c_str(), 1);
    }
  } restore{saved};
  ASSERT_TRUE(host.SetSpeed(0xFFFF, 4 * 176).Good());
  ASSERT_TRUE(host.WriteParameters(0x41, 0x04).Good());
  // 64 blocks at 4x take 0.19 s nominal; the buffer takes 64, then refuses.
  uint32_t lba = 0;
  int refused = 0;
  for (int i = 0; i < 8; ++i) {
    auto a = host.Write10(lba, Pattern(lba, 16, 0));
    if (a.Good()) {
      lba += 16;
    } else {
      EXPECT_EQ(a.Sense(), "02/04/08");
      ++refused;
    }
  }
  EXPECT_GE(refused, 1);
  EXPECT_GE(lba, 48u);
  const uint64_t start = platform::MonotonicMilliseconds();
  ASSERT_TRUE(host.Synchronize().Good());  // waits for the buffer to drain
  EXPECT_GE(platform::MonotonicMilliseconds() - start, 100u);
  EXPECT_TRUE(host.Write10(lba, Pattern(lba, 16, 0)).Good());
}

TEST(DriveBehaviour, ScriptedFaultsAndTheCommandLog) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  r->AddFault({0x2A, 3, 2, Sense::Of(0x03, 0x0C, 0x00)});
  r->AddFault({0x00, 1, 5, Sense::Of(0x02, 0x04, 0x08)});
  r->AddFault({0x55, 1, 1, Sense::Of(0x05, 0x26, 0x00)});
  EXPECT_EQ(host.WriteParameters(0x41, 0x04).Sense(), "05/26/00");
  ASSERT_TRUE(host.WriteParameters(0x41, 0x04).Good());
  for (int i = 0; i < 5; ++i) EXPECT_EQ(host.TestUnitReady().Sense(), "02/04/08");
  EXPECT_TRUE(host.TestUnitReady().Good());
  std::vector<std::string> results;
  uint32_t lba = 0;
  for (int i = 0; i < 6; ++i) {
    auto a = host.Write10(lba, Pattern(lba, 16, 0));
    results.push_back(a.Sense());
    if (a.Good()) lba += 16;
  }
  EXPECT_EQ(results, (std::vector<std::string>{"00/00/00", "00/00/00", "03/0C/00", "03/0C/00", "00/00/00",
                                               "00/00/00"}));
  EXPECT_EQ(lba, 64u);  // the failed writes recorded nothing
  auto log = r->CommandLog();
  ASSERT_FALSE(log.empty());
  const auto& last = log.back();
  EXPECT_EQ(last.cdb.size(), 10u);
  EXPECT_EQ(last.cdb[0], 0x2A);
  EXPECT_EQ(last.direction, DirOut);
  EXPECT_EQ(last.length, 16u * 2048u);
  EXPECT_EQ(log[log.size() - 3].sense.asc, 0x0C);
  r->ClearCommandLog();
  EXPECT_TRUE(r->CommandLog().empty());

  std::string error;
  auto parsed = ParseFaultScript("2A@3x2=03/0C/00;55=05/26/00", &error);
  ASSERT_TRUE(parsed);
  ASSERT_EQ(parsed->size(), 2u);
  EXPECT_EQ((*parsed)[0].first, 3u);
  EXPECT_EQ((*parsed)[0].count, 2u);
  EXPECT_EQ((*parsed)[1].sense.asc, 0x26);
}

TEST(DriveBehaviour, CommandsFromManyThreadsRunOneAtATime) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "dvd+rw");
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      MmcHost host(r.get());
      for (int i = 0; i < 50; ++i) {
        const uint32_t lba = static_cast<uint32_t>(t * 1000 + i);
        EXPECT_TRUE(host.Write10(lba, Pattern(lba, 1, 7)).Good());
        EXPECT_TRUE(host.TestUnitReady().Good());
        EXPECT_EQ(host.Read10(lba, 1).data, Pattern(lba, 1, 7));
      }
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(r->CommandLog().size(), 4u * 50u * 3u);
}

}  // namespace
}  // namespace dorvik::emulator::test
