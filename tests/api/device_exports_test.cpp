// The device exports as a C host sees them.
#include <gtest/gtest.h>

#include <cstring>

#include "dorvik.h"
#include "support/library_fixture.h"

namespace {

TEST(DeviceExports, EverythingNeedsADeviceFirst) {
  dorvik::test::LibraryRestart lib;
  char vendor[8], product[16];
  EXPECT_EQ(Vuz_IsDeviceReady(), -8);
  EXPECT_EQ(Vuz_Load(), -8);
  EXPECT_EQ(Vuz_Unload(), -8);
  EXPECT_EQ(Vuz_GetVendorProductStrings(vendor, product), -8);
  int32_t blank = 7, writable = 7, profile = 7, tao, sao, raw;
  uint64_t freeBytes = 7;
  uint16_t speeds[5] = {};
  EXPECT_EQ(Vuz_GetDiscInfo(&blank, &writable, &profile), -8);
  EXPECT_EQ(Vuz_GetDiscInfoEx(&blank, &writable, &profile, &freeBytes), -8);
  EXPECT_EQ(blank, 7);
  EXPECT_EQ(freeBytes, 7u);
  EXPECT_EQ(Vuz_EraseDisc(), -8);
  EXPECT_EQ(Vuz_SetCdSpeeds(176, 176), -8);
  EXPECT_EQ(Vuz_GetCdSpeeds(&speeds[0], &speeds[1], &speeds[2], &speeds[3]), -8);
  EXPECT_EQ(Vuz_GetCdSpeedsEx(&speeds[0], &speeds[1], &speeds[2], &speeds[3], &speeds[4]), -8);
  EXPECT_EQ(Vuz_GetSupportedWriteModes(&tao, &sao, &raw), -8);
}

TEST(DeviceExports, FailedSelectionKeepsTheCurrentDevice) {
  dorvik::test::LibraryRestart lib;
  EXPECT_EQ(Vuz_SetDevice(7), -8);
  EXPECT_EQ(Vuz_IsDeviceReady(), -8);  // still nothing chosen
  ASSERT_EQ(Vuz_SetDevice(0), 1);
  EXPECT_EQ(Vuz_SetDevice(7), -8);
  EXPECT_EQ(Vuz_IsDeviceReady(), 1);  // the inert entry stays selected
  EXPECT_EQ(Vuz_SetDevice(0x100), 1);  // only the low 8 bits name the device
}

TEST(DeviceExports, InertEntryAnswers) {
  dorvik::test::LibraryRestart lib;
  ASSERT_EQ(Vuz_SetDevice(0), 1);
  EXPECT_EQ(Vuz_IsDeviceReady(), 1);
  EXPECT_EQ(Vuz_Load(), 1);
  EXPECT_EQ(Vuz_Unload(), 1);
  char vendor[8] = {'v'}, product[16] = {'p'};
  EXPECT_EQ(Vuz_GetVendorProductStrings(vendor, product), 0);  // no INQUIRY without a device
  EXPECT_EQ(vendor[0], 'v');
}

TEST(DeviceExports, InformationTextIsTerminatedWithinItsBuffer) {
  dorvik::test::LibraryRestart lib;
  int32_t number = 0;
  char text[64];
  std::memset(text, 'x', sizeof text);
  EXPECT_EQ(Vuz_GetInfo(&number, text), 1);
  EXPECT_GT(number, 0);
  EXPECT_NE(std::memchr(text, 0, sizeof text), nullptr);
  EXPECT_NE(std::string(text).find("Dorvik"), std::string::npos);
}

}  // namespace

namespace {

TEST(DeviceExports, TrayAndReadinessOnASoftwareRecorder) {
  dorvik::test::TempFolder dir;
  dorvik::test::LibraryRestart lib(dir / "a.img:cd-r");
  ASSERT_EQ(Vuz_SetDevice(1), 1);
  EXPECT_EQ(Vuz_IsDeviceReady(), 1);
  EXPECT_EQ(Vuz_Unload(), 1);
  EXPECT_EQ(Vuz_IsDeviceReady(), -15);  // tray open: no medium
  int32_t blank, writable, profile;
  EXPECT_EQ(Vuz_GetDiscInfo(&blank, &writable, &profile), -15);
  EXPECT_EQ(Vuz_Load(), 1);
  EXPECT_EQ(Vuz_IsDeviceReady(), 1);
  char vendor[8], product[16];
  ASSERT_EQ(Vuz_GetVendorProductStrings(vendor, product), 1);
  EXPECT_EQ(std::string(vendor, 6), "DORVIK");
}

}  // namespace
