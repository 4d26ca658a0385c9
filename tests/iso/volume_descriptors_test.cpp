// The head of a composed image, byte for byte: the three descriptors and
// the smallest image there is.
#include <gtest/gtest.h>

#include <cstring>

#include "iso_test_support.h"

namespace dorvik::test {
namespace {

bool AllBytes(const uint8_t* p, size_t n, uint8_t value) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != value) return false;
  return true;
}

class EmptyImage : public ::testing::Test {
 protected:
  void SetUp() override {
    Compose(image_, workspace_, 0, "MY DISC");
    ASSERT_TRUE(image_.ok);
  }
  FixedClock clock_{"1173085447"};  // 5 March 2007, 09:04:07
  HandWorkspace workspace_;
  ComposedImage image_;
};

TEST_F(EmptyImage, HasOneDirectorySectorPerTreeAndFourPathTableSectors) {
  EXPECT_EQ(33u, image_.composer.TotalSectors());
  EXPECT_EQ(608u, image_.composer.PaddedSize());
  EXPECT_EQ(17u, image_.composer.HeadSectors());
  EXPECT_EQ(27u, image_.composer.RootPrimaryExtent());
  EXPECT_EQ(28u, image_.composer.RootJolietExtent());
  EXPECT_TRUE(AllBytes(image_.Sector(0), 16 * 2048, 0));
  EXPECT_TRUE(AllBytes(image_.Sector(19), 8 * 2048, 0));
  EXPECT_TRUE(AllBytes(image_.Sector(33), (608 - 33) * 2048, 0)) << "padding";
}

TEST_F(EmptyImage, PrimaryDescriptorFields) {
  const uint8_t* d = image_.Sector(16);
  EXPECT_EQ(0, std::memcmp(d, "\x01" "CD001\x01\x00", 8));
  EXPECT_TRUE(AllBytes(d + 8, 32, ' '));
  EXPECT_EQ(0, std::memcmp(d + 40, "MY DISC", 7));
  EXPECT_TRUE(AllBytes(d + 47, 25, 0)) << "the label is padded with zeros, not spaces";
  EXPECT_EQ(33u, Both32(d + 80));
  EXPECT_EQ(0, std::memcmp(d + 120, "\x01\x00\x00\x01\x01\x00\x00\x01\x00\x08\x08\x00", 12));
  EXPECT_EQ(2048u, Both32(d + 132)) << "path table size in whole sectors";
  EXPECT_EQ(29u, Le32(d + 140));  // after one primary and one Joliet directory sector
  EXPECT_EQ(0u, Le32(d + 144));
  EXPECT_EQ(0, std::memcmp(d + 148, "\x00\x00\x00\x1e", 4));  // M table at 30, big-endian
  EXPECT_EQ(0u, Le32(d + 152));

  const uint8_t* root = d + 156;
  EXPECT_EQ(34, root[0]);
  EXPECT_EQ(27u, Both32(root + 2));
  EXPECT_EQ(2048u, Both32(root + 10));
  EXPECT_EQ(0, std::memcmp(root + 18, "\x6b\x03\x05\x09\x04\x07\x20", 7));
  EXPECT_EQ(2, root[25]);
  EXPECT_EQ(1, root[32]);
  EXPECT_EQ(0, root[33]);

  EXPECT_TRUE(AllBytes(d + 190, 384, ' '));
  EXPECT_EQ(0, std::memcmp(d + 574, "KILNOR", 6));
  EXPECT_TRUE(AllBytes(d + 580, 123, 0)) << "application id padding and byte 702";
  EXPECT_TRUE(AllBytes(d + 703, 110, ' '));
  EXPECT_EQ(0, std::memcmp(d + 813, "2007030509040700\x20", 17));
  EXPECT_EQ(0, std::memcmp(d + 830, "2007030509040700\x20", 17));
  EXPECT_EQ(0, std::memcmp(d + 847, "0000000000000000\x00", 17));
  EXPECT_EQ(0, std::memcmp(d + 864, "0000000000000000\x00", 17));
  EXPECT_EQ(1, d[881]);
  EXPECT_TRUE(AllBytes(d + 882, 2048 - 882, 0));
}

TEST_F(EmptyImage, JolietDescriptorLeavesItsIdentifierAndDateFieldsZero) {
  const uint8_t* d = image_.Sector(17);
  EXPECT_EQ(0, std::memcmp(d, "\x02" "CD001\x01\x00", 8));
  for (int i = 0; i < 15; ++i) EXPECT_EQ(0, std::memcmp(d + 8 + 2 * i, "\x00\x20", 2));
  EXPECT_EQ(0, std::memcmp(d + 38, "\x00\x00", 2));
  EXPECT_EQ(Ucs2("MY DISC"), std::string(reinterpret_cast<const char*>(d + 40), 14));
  EXPECT_TRUE(AllBytes(d + 54, 18, 0));
  EXPECT_EQ(33u, Both32(d + 80));
  EXPECT_EQ(0, std::memcmp(d + 88, "\x25\x2f\x45", 3));
  EXPECT_TRUE(AllBytes(d + 91, 29, ' '));
  EXPECT_EQ(2048u, Both32(d + 132));
  EXPECT_EQ(31u, Le32(d + 140));
  EXPECT_EQ(0, std::memcmp(d + 148, "\x00\x00\x00\x20", 4));
  EXPECT_EQ(28u, Both32(d + 156 + 2));
  EXPECT_TRUE(AllBytes(d + 190, 2048 - 190, 0)) << "identifiers, dates and structure version";

  const uint8_t* t = image_.Sector(18);
  EXPECT_EQ(0, std::memcmp(t, "\xff" "CD001\x01", 7));
  EXPECT_TRUE(AllBytes(t + 7, 2048 - 7, 0));
}

TEST_F(EmptyImage, RootDirectoryAndPathTables) {
  for (uint32_t extent : {27u, 28u}) {
    const auto records = ReadDirectory(image_, extent, 2048);
    ASSERT_EQ(2u, records.size());
    for (const auto& r : records) {
      EXPECT_EQ(34, r.length);
      EXPECT_EQ(extent, r.extent) << "'..' names the directory itself";
      EXPECT_EQ(68u, r.dataLength) << "the exact byte length";
      EXPECT_EQ(2, r.flags);
      EXPECT_EQ(0, std::memcmp(r.date, "\x6b\x03\x05\x09\x04\x07\x02", 7));
    }
    EXPECT_EQ(std::string(1, '\0'), records[0].identifier);
    EXPECT_EQ(std::string(1, '\1'), records[1].identifier);
  }
  EXPECT_EQ(0, std::memcmp(image_.Sector(29), "\x01\x00\x1b\x00\x00\x00\x01\x00\x00\x00", 10));
  EXPECT_EQ(0, std::memcmp(image_.Sector(30), "\x01\x00\x00\x00\x00\x1b\x00\x01\x00\x00", 10));
  EXPECT_EQ(0, std::memcmp(image_.Sector(31), "\x01\x00\x1c\x00\x00\x00\x01\x00\x00\x00", 10));
  EXPECT_EQ(0, std::memcmp(image_.Sector(32), "\x01\x00\x00\x00\x00\x1c\x00\x01\x00\x00", 10));
}

TEST(ImageStream, SystemAreaAndPaddingAreLeftToTheCaller) {
  HandWorkspace workspace;
  iso::ImageComposer composer;
  ASSERT_TRUE(composer.Compose(workspace.Layout(), 1, 1, workspace.Root(), 0));
  uint8_t sector[2048];
  for (int call = 1; call <= 16; ++call) {
    std::memset(sector, 0xAA, sizeof sector);
    composer.ReadNextSector(sector, sizeof sector);
    ASSERT_TRUE(AllBytes(sector, sizeof sector, 0xAA)) << "call " << call;
  }
  for (uint8_t type : {1, 2, 255}) {
    composer.ReadNextSector(sector, sizeof sector);
    EXPECT_EQ(type, sector[0]);
  }
  for (uint32_t c = 20; c <= 33; ++c) composer.ReadNextSector(sector, sizeof sector);
  std::memset(sector, 0xAA, sizeof sector);
  composer.ReadNextSector(sector, sizeof sector);
  EXPECT_TRUE(AllBytes(sector, sizeof sector, 0xAA)) << "past the total";
}

TEST(ImageCompose, RefusesAMissingOrShortLayoutFile) {
  HandWorkspace workspace;
  iso::ImageComposer composer;
  EXPECT_FALSE(composer.Compose(workspace.Root() + "/none.bcd", 1, 1, workspace.Root(), 0));
  const std::string shortLayout = workspace.Source("short.bcd", std::string(100, '\0'));
  EXPECT_FALSE(composer.Compose(shortLayout, 1, 1, workspace.Root(), 0));
}

}  // namespace
}  // namespace dorvik::test
