// The disc, speed and erase exports as a C host sees them.
#include <gtest/gtest.h>

#include "dorvik.h"
#include "support/library_fixture.h"

namespace {

TEST(DiscExports, EverythingNeedsADeviceFirst) {
  dorvik::test::LibraryRestart lib;
  int32_t blank = 7, writable = 7, profile = 7, tao = 7, sao = 7, raw = 7;
  uint64_t freeBytes = 7;
  uint16_t s[5] = {7, 7, 7, 7, 7};
  EXPECT_EQ(Vuz_EraseDisc(), -8);
  EXPECT_EQ(Vuz_GetDiscInfo(&blank, &writable, &profile), -8);
  EXPECT_EQ(Vuz_GetDiscInfoEx(&blank, &writable, &profile, &freeBytes), -8);
  EXPECT_EQ(Vuz_SetCdSpeeds(1000, 1000), -8);
  EXPECT_EQ(Vuz_GetCdSpeeds(&s[0], &s[1], &s[2], &s[3]), -8);
  EXPECT_EQ(Vuz_GetCdSpeedsEx(&s[0], &s[1], &s[2], &s[3], &s[4]), -8);
  EXPECT_EQ(Vuz_GetSupportedWriteModes(&tao, &sao, &raw), -8);
  EXPECT_EQ(blank, 7);
  EXPECT_EQ(freeBytes, 7u);
  EXPECT_EQ(s[0], 7);
  EXPECT_EQ(tao, 7);
}

// The inert entry: ready, a blank CD-R that no command can reach.
TEST(DiscExports, InertEntryAnswers) {
  dorvik::test::LibraryRestart lib;
  ASSERT_EQ(Vuz_SetDevice(0), 1);
  int32_t blank = 7, writable = 7, profile = 7;
  uint64_t freeBytes = 7;
  EXPECT_EQ(Vuz_GetDiscInfoEx(&blank, &writable, &profile, &freeBytes), 1);
  EXPECT_EQ(blank, 1);
  EXPECT_EQ(writable, 1);
  EXPECT_EQ(profile, 0x09);
  EXPECT_EQ(freeBytes, 0u);  // no image file, so no disk to measure

  EXPECT_EQ(Vuz_EraseDisc(), -7);
  EXPECT_EQ(Vuz_SetCdSpeeds(1000, 1000), 1);
  uint16_t s[5] = {};
  EXPECT_EQ(Vuz_GetCdSpeedsEx(&s[0], &s[1], &s[2], &s[3], &s[4]), 0);  // no page to read
  int32_t tao = 7, sao = 7, raw = 7;
  EXPECT_EQ(Vuz_GetSupportedWriteModes(&tao, &sao, &raw), 1);
  EXPECT_EQ(tao + sao + raw, 0);
}

}  // namespace
