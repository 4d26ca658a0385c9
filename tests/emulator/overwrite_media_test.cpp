// DVD+R, DVD+RW, DVD-RAM and restricted-overwrite DVD-RW: media without a
// simulation mode, which a drive writes for real whatever page 5 says, and
// a DVD+RW that must be formatted before it takes data.
#include <gtest/gtest.h>

#include "mmc_host.h"

namespace dorvik::emulator::test {
namespace {

TEST(OverwriteMedia, TestWriteIsIgnoredAndTheBlocksAreRecorded) {
  for (const char* medium : {"dvd+r", "dvd+rw", "dvd-ram", "dvd-rw"}) {
    SCOPED_TRACE(medium);
    TempFolder dir;
    auto r = NewRecorder(dir / "disc.img", medium);
    MmcHost host(r.get());
    if (std::string(medium) == "dvd+rw") { ASSERT_TRUE(host.Format(0x26).Good()); }
    ASSERT_TRUE(host.WriteParameters(0x52, 0x05).Good());  // test write, disc-at-once
    EXPECT_EQ(host.ModeSense(0x05).data[8 + 2] & 0x10, 0x10);  // the page keeps the bit it ignores
    ASSERT_TRUE(WriteBlocks(host, 0, 32, 7));
    EXPECT_EQ(host.Read10(0, 32).data, Pattern(0, 32, 7));
  }
}

TEST(OverwriteMedia, AnUnformattedDvdPlusRwTakesNoWriteUntilFormatted) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "dvd+rw");
  MmcHost host(r.get());
  EXPECT_EQ(host.Write10(0, Pattern(0, 16, 1)).Sense(), "05/30/05");
  ASSERT_TRUE(host.Format(0x26).Good());
  EXPECT_TRUE(host.Write10(0, Pattern(0, 16, 1)).Good());
}

}  // namespace
}  // namespace dorvik::emulator::test
