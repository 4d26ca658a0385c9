// What holds drives on Windows: the drive-letter scan, the transport chosen
// by the system family, and the routing that puts the software recorders
// beside the letters the system transport serves.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

#include "emulator/virtual_recorder.h"
#include "fake_aspi.h"
#include "registry/device_registry.h"
#include "registry/device_scan.h"
#include "support/fake_device_control.h"
#include "support/temp_folder.h"
#include "transport/routing_transport.h"
#include "transport/system_transport.h"
#include "transport/win32/aspi_transport.h"
#include "transport/win32/pass_through_transport.h"

namespace dorvik {
namespace {

TEST(Win32Scan, CdromLettersInLetterOrderAndNothingPastZ) {
  std::vector<std::string> asked;
  auto type = [&](const char* root) -> unsigned {
    asked.emplace_back(root);
    return root[0] == 'A' || root[0] == 'D' || root[0] == 'Z' ? DRIVE_CDROM : DRIVE_FIXED;
  };
  const uint32_t mask = 1u << 0 | 1u << 2 | 1u << 3 | 1u << 25 | 1u << 26 | 1u << 31;
  EXPECT_EQ(ListCdromLetters(mask, type), (std::vector<DeviceId>{0, 3, 25}));
  EXPECT_EQ(asked, (std::vector<std::string>{"A:\\", "C:\\", "D:\\", "Z:\\"}));
}

TEST(Win32Scan, SoftwareRecordersTakeTheIdsBesideTheLetters) {
  test::TempFolder dir;
  const std::string list = dir / "a.img" + ":cd-r;" + dir / "missing\\b.img" + ";" + dir / "c.img:dvd+rw";
  ASSERT_EQ(_putenv_s("DORVIK_VIRTUAL_DRIVES", list.c_str()), 0);
  const auto found = ScanDevices();
  _putenv_s("DORVIK_VIRTUAL_DRIVES", "");
  std::vector<DeviceId> virtualIds;
  for (const auto& c : found) {
    if (c.id < kFirstVirtualId) EXPECT_EQ(c.device, nullptr) << int(c.id);  // letters: the system transport's
    else virtualIds.push_back(c.id);
  }
  EXPECT_EQ(virtualIds, (std::vector<DeviceId>{26, 27}));  // the unusable file takes no id
}

TEST(Win32Transport, ChosenByTheSystemFamily) {
  FakeAspiScript script{};
  script.supportInfo = 0x0100;
  script.inquiryStatus = aspi::kComplete;
  FakeAspi_SetScript(&script);
  auto nineX = TransportForPlatform(VER_PLATFORM_WIN32_WINDOWS);
  auto* aspi = dynamic_cast<AspiTransport*>(nineX.get());
  ASSERT_NE(aspi, nullptr);
  EXPECT_TRUE(aspi->Loaded());  // it found the manager beside the program
  EXPECT_NE(dynamic_cast<PassThroughTransport*>(TransportForPlatform(VER_PLATFORM_WIN32_NT).get()), nullptr);
  EXPECT_EQ(TransportForPlatform(VER_PLATFORM_WIN32s), nullptr);
  EXPECT_EQ(TransportForPlatform(7), nullptr);
  // Wine presents the NT family.
  EXPECT_NE(dynamic_cast<PassThroughTransport*>(MakeSystemTransport().get()), nullptr);
}

TEST(Win32Registry, LettersGoThroughTheSystemTransportAndRecordersBesideThem) {
  test::TempFolder dir;
  std::string error;
  auto atD = emulator::VirtualRecorder::Open(dir / "d.img", "cd-rw", {}, &error);
  ASSERT_TRUE(atD) << error;
  test::FakeDeviceControl system;
  system.AddVolume(PassThroughTransport::DevicePath(3), atD.get());
  RoutingTransport routing(std::make_unique<PassThroughTransport>(test::Borrow(system)));
  routing.Attach(26, emulator::VirtualRecorder::Open(dir / "v.img", "dvd+rw", {}, &error));

  DeviceRegistry registry;
  registry.Build(&routing, {3, 4, 26});  // E: opens nothing
  ASSERT_EQ(registry.Count(), 3u);
  EXPECT_NE(registry.Find(3), nullptr);
  EXPECT_EQ(registry.Find(4), nullptr);
  EXPECT_NE(registry.Find(26), nullptr);
  EXPECT_NE(registry.Find(0), nullptr);  // the inert entry, last

  EXPECT_EQ(registry.Find(3)->CurrentProfile(), 0x0Au);
  EXPECT_EQ(registry.Find(26)->CurrentProfile(), 0x1Au);
  const size_t passedThrough = system.calls.size();
  EXPECT_EQ(registry.Find(26)->IsReady(), 0);
  EXPECT_EQ(system.calls.size(), passedThrough);  // the recorder beside the letters is not the system's
  EXPECT_EQ(registry.Find(3)->IsReady(), 0);
  EXPECT_EQ(system.calls.size(), passedThrough + 1);
  EXPECT_EQ(routing.LockVolume(3, 1), 0);
  EXPECT_EQ(system.calls.back().code, 0x90018u);
}

}  // namespace
}  // namespace dorvik
