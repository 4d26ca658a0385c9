// The software recorders as the library's registry sees them: listed after
// any real drive, selectable and answering through the C exports.
#include <gtest/gtest.h>

#include "dorvik.h"
#include "emulator/virtual_recorder.h"
#include "emulator/virtual_recorder_factory.h"
#include "platform/files.h"
#include "support/library_fixture.h"
#include "registry/device_scan.h"
#include "registry/transport_selector.h"

namespace dorvik::emulator::test {
namespace {

using dorvik::test::LibraryRestart;
using dorvik::test::TempFolder;

int32_t FirstVirtualId() { return static_cast<int32_t>(ListOpticalDeviceNodes().size()) + 1; }

std::string VendorAndProduct() {
  char vendor[8], product[16];
  EXPECT_EQ(Vuz_GetVendorProductStrings(vendor, product), DORVIK_OK);
  return std::string(vendor, 8) + std::string(product, 16);
}

TEST(VirtualRegistry, DrivesFromTheEnvironmentAppearAfterRealOnes) {
  TempFolder dir;
  LibraryRestart library(dir / "a.img" + ":cd-r;" + dir / "b.img" + ":dvd+rw");
  const int32_t first = FirstVirtualId();
  for (int32_t id : {first, first + 1}) {
    ASSERT_EQ(Vuz_SetDevice(id), DORVIK_OK) << id;
    EXPECT_EQ(VendorAndProduct(), "DORVIK  Virtual Recorder");
    EXPECT_EQ(Vuz_IsDeviceReady(), DORVIK_OK);
    auto* recorder = dynamic_cast<VirtualRecorder*>(
        TransportSelector::Instance().Routing()->DeviceFor(static_cast<DeviceId>(id)));
    ASSERT_NE(recorder, nullptr);
    EXPECT_EQ(recorder->CurrentProfile(), id == first ? 0x09 : 0x1A);
  }
  EXPECT_EQ(Vuz_SetDevice(first + 2), DORVIK_E_NO_DEVICE);
  EXPECT_TRUE(platform::PathExists(dir / "a.img.state"));
}

TEST(VirtualRegistry, OptionsAndFaultsComeFromTheEnvironmentAndBadOnesMakeNoRecorder) {
  TempFolder dir;
  ::setenv("DORVIK_VIRTUAL_OPTIONS", "vendor=ACME;product=Burner 9000;flush-closes-track=1;ready-while-closing=on;close-track-ms=500", 1);
  ::setenv("DORVIK_VIRTUAL_FAULTS", "00x2=02/04/08", 1);
  {
    LibraryRestart library(dir / "a.img");
    ASSERT_EQ(Vuz_SetDevice(FirstVirtualId()), DORVIK_OK);
    EXPECT_EQ(VendorAndProduct(), "ACME    Burner 9000     ");
    for (int32_t expected : {DORVIK_E_NOT_READY, DORVIK_E_NOT_READY, DORVIK_OK})
      EXPECT_EQ(Vuz_IsDeviceReady(), expected);
  }
  ::unsetenv("DORVIK_VIRTUAL_OPTIONS");
  ::unsetenv("DORVIK_VIRTUAL_FAULTS");
  // A bad script or option makes no recorder rather than a wrong one; a reader is no recorder.
  for (const auto& [variable, value] :
       {std::pair{"FAULTS", "zz=1/2"}, {"FAULTS", "2A=0/0/0"}, {"FAULTS", "2A@0=3/0/0"}, {"OPTIONS", "capacity=0"},
        {"OPTIONS", "model=floppy"}, {"OPTIONS", "colour=red"}, {"OPTIONS", "tao=maybe"},
        {"OPTIONS", "flush-closes-track=2"}, {"OPTIONS", "close-track-ms=-1"}, {"FAULTS", "5B.9=03/0C/00"},
        {"OPTIONS", "model=dvd-reader"}}) {
    const std::string name = std::string("DORVIK_VIRTUAL_") + variable;
    ::setenv(name.c_str(), value, 1);
    {
      LibraryRestart library(dir / "a.img");
      EXPECT_EQ(Vuz_SetDevice(FirstVirtualId()), DORVIK_E_NO_DEVICE) << value;
    }
    ::unsetenv(name.c_str());
  }
}

TEST(VirtualRegistry, UnusableDiscFilesMakeNoRecorder) {
  TempFolder dir;
  std::string error;
  EXPECT_EQ(CreateVirtualRecorder(dir.Path(), "cd-r", &error), nullptr);  // a folder
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(CreateVirtualRecorder(dir / "new.img", "cd-rom", &error), nullptr);  // nothing to press
  EXPECT_EQ(CreateVirtualRecorder(dir / "missing/x.img", "cd-r", &error), nullptr);
}

}  // namespace
}  // namespace dorvik::emulator::test
