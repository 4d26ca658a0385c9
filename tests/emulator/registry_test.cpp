// The software recorders as the library's registry sees them: listed after
// any real drive, selectable and answering through the C exports.
#include <gtest/gtest.h>

#include <cstring>

#include "dorvik.h"
#include "emulator/virtual_recorder.h"
#include "platform/files.h"
#include "support/library_fixture.h"
#include "transport/device_scan.h"
#include "transport/transport_selector.h"

namespace dorvik::emulator::test {
namespace {

using dorvik::test::LibraryRestart;
using dorvik::test::TempFolder;

int32_t FirstVirtualId() { return static_cast<int32_t>(ListOpticalDeviceNodes().size()) + 1; }

TEST(VirtualRegistry, DrivesFromTheEnvironmentAppearAfterRealOnes) {
  TempFolder dir;
  LibraryRestart library(dir / "a.img" + ":cd-r;" + dir / "b.img" + ":dvd+rw");
  const int32_t first = FirstVirtualId();
  for (int32_t id : {first, first + 1}) {
    ASSERT_EQ(Vuz_SetDevice(id), DORVIK_OK) << id;
    char vendor[8], product[16];
    ASSERT_EQ(Vuz_GetVendorProductStrings(vendor, product), DORVIK_OK);
    EXPECT_EQ(std::string(vendor, 8), "DORVIK  ");
    EXPECT_EQ(std::string(product, 16), "Virtual Recorder");
    EXPECT_EQ(Vuz_IsDeviceReady(), DORVIK_OK);
    auto* recorder = dynamic_cast<VirtualRecorder*>(TransportSelector::Instance().Routing()->DeviceFor(
        static_cast<DeviceId>(id)));
    ASSERT_NE(recorder, nullptr);
    EXPECT_EQ(recorder->CurrentProfile(), id == first ? 0x09 : 0x1A);
  }
  EXPECT_EQ(Vuz_SetDevice(first + 2), DORVIK_E_NO_DEVICE);
  EXPECT_TRUE(platform::PathExists(dir / "a.img.state"));
}

TEST(VirtualRegistry, OptionsAndFaultsComeFromTheEnvironment) {
  TempFolder dir;
  ::setenv("DORVIK_VIRTUAL_OPTIONS", "vendor=ACME;product=Burner 9000", 1);
  ::setenv("DORVIK_VIRTUAL_FAULTS", "00x2=02/04/08", 1);
  {
    LibraryRestart library(dir / "a.img");
    ASSERT_EQ(Vuz_SetDevice(FirstVirtualId()), DORVIK_OK);
    char vendor[8], product[16];
    ASSERT_EQ(Vuz_GetVendorProductStrings(vendor, product), DORVIK_OK);
    EXPECT_EQ(std::string(vendor, 8), "ACME    ");
    EXPECT_EQ(std::string(product, 16), "Burner 9000     ");
    EXPECT_EQ(Vuz_IsDeviceReady(), DORVIK_E_NOT_READY);
    EXPECT_EQ(Vuz_IsDeviceReady(), DORVIK_E_NOT_READY);
    EXPECT_EQ(Vuz_IsDeviceReady(), DORVIK_OK);
  }
  // A bad script or option makes no recorder rather than a wrong one.
  for (const char* bad : {"zz=1/2", "2A=0/0/0", "2A@0=3/0/0"}) {
    ::setenv("DORVIK_VIRTUAL_FAULTS", bad, 1);
    LibraryRestart library(dir / "a.img");
    EXPECT_EQ(Vuz_SetDevice(FirstVirtualId()), DORVIK_E_NO_DEVICE) << bad;
  }
  ::unsetenv("DORVIK_VIRTUAL_FAULTS");
  for (const char* bad : {"model=floppy", "capacity=0", "colour=red", "tao=maybe"}) {
    ::setenv("DORVIK_VIRTUAL_OPTIONS", bad, 1);
    LibraryRestart library(dir / "a.img");
    EXPECT_EQ(Vuz_SetDevice(FirstVirtualId()), DORVIK_E_NO_DEVICE) << bad;
  }
  ::unsetenv("DORVIK_VIRTUAL_FAULTS");
  ::unsetenv("DORVIK_VIRTUAL_OPTIONS");
}

TEST(VirtualRegistry, AReaderIsNotARecorder) {
  TempFolder dir;
  ::setenv("DORVIK_VIRTUAL_OPTIONS", "model=dvd-reader", 1);
  {
    LibraryRestart library(dir / "a.img:cd-r");
    EXPECT_EQ(Vuz_SetDevice(FirstVirtualId()), DORVIK_E_NO_DEVICE);
  }
  ::unsetenv("DORVIK_VIRTUAL_OPTIONS");
}

TEST(VirtualRegistry, UnusableDiscFilesMakeNoRecorder) {
  TempFolder dir;
  std::string error;
  EXPECT_EQ(CreateVirtualRecorder(dir.Path(), "cd-r", &error), nullptr);  // a folder
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(CreateVirtualRecorder(dir / "new.img", "cd-rom", &error), nullptr);  // nothing to press
  EXPECT_EQ(CreateVirtualRecorder(dir / "missing/x.img", "cd-r", &error), nullptr);
  {
    platform::LargeFile f(dir / "bad.img.state", platform::LargeFile::Mode::Create);
    f.Write("garbage\n", 8);
    platform::LargeFile(dir / "bad.img", platform::LargeFile::Mode::Create);
  }
  EXPECT_EQ(CreateVirtualRecorder(dir / "bad.img", "", &error), nullptr);
  EXPECT_NE(error.find("disc state"), std::string::npos) << error;
}

}  // namespace
}  // namespace dorvik::emulator::test
