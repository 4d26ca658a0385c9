// The image-file device over real ISO images (made by genisoimage and
// xorriso) and raw images built from them sector by sector.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "drive/drive.h"
#include "support/library_fixture.h"
#include "drive/image_file_device.h"

namespace dorvik {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const Bytes& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

uint8_t Bcd(int v) { return static_cast<uint8_t>((v / 10) << 4 | (v % 10)); }

enum class Raw { Mode1, Mode2Form1 };

// Wraps each 2048-byte sector in a raw CD sector: sync, header (and the
// Mode 2 sub-header), user data, then EDC/ECC room left zero; with
// subchannel, 96 more bytes.
Bytes MakeRaw(const Bytes& iso, Raw mode, bool subchannel) {
  const size_t sectors = iso.size() / 2048;
  const size_t size = subchannel ? 2448 : 2352;
  Bytes out(sectors * size, 0);
  for (size_t i = 0; i < sectors; ++i) {
    uint8_t* s = &out[i * size];
    std::memset(s + 1, 0xFF, 10);
    const int t = static_cast<int>(i) + 150;
    s[12] = Bcd(t / 4500);
    s[13] = Bcd(t / 75 % 60);
    s[14] = Bcd(t % 75);
    s[15] = mode == Raw::Mode1 ? 1 : 2;
    const size_t data = mode == Raw::Mode1 ? 16 : 24;
    if (mode == Raw::Mode2Form1) s[18] = s[22] = 0x08;
    std::memcpy(s + data, &iso[i * 2048], 2048);
    if (subchannel) std::memset(s + 2352, 0x40, 96);
  }
  return out;
}

class ImageFileDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream(tree_ / "hello.txt") << "hello from the source tree\n";
    std::string big(5000, 'x');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
    std::ofstream(tree_ / "big.txt") << big;
  }
  // An ISO of the tree made by genisoimage.
  std::string Genisoimage() {
    const std::string iso = dir_ / "gen.iso";
    std::string out;
    EXPECT_EQ(0, test::RunCommand("genisoimage -quiet -J -o " + iso + " " + tree_.Path(), &out)) << out;
    return iso;
  }

  test::TempFolder dir_;
  test::TempFolder tree_;
};

TEST_F(ImageFileDeviceTest, DetectsEveryLayoutOfAnIso9660Image) {
  DORVIK_REQUIRE_TOOL("genisoimage");
  DORVIK_REQUIRE_TOOL("xorriso");
  const std::string gen = Genisoimage();
  const std::string xo = dir_ / "xo.iso";
  std::string out;
  ASSERT_EQ(0, test::RunCommand("xorriso -outdev " + xo + " -map " + tree_.Path() + " / -commit", &out)) << out;

  for (const std::string& source : {gen, xo}) {
    const Bytes iso = ReadAll(source);
    struct Case {
      std::string name;
      Bytes image;
      uint32_t size, offset, dataMode;
    } cases[] = {
        {"user.iso", iso, 2048, 0, 1},
        {"mode1.raw", MakeRaw(iso, Raw::Mode1, false), 2352, 16, 1},
        {"mode2.raw", MakeRaw(iso, Raw::Mode2Form1, false), 2352, 24, 2},
        {"mode1sub.raw", MakeRaw(iso, Raw::Mode1, true), 2448, 16, 1},
        {"mode2sub.raw", MakeRaw(iso, Raw::Mode2Form1, true), 2448, 24, 2},
    };
    for (const Case& c : cases) {
      SCOPED_TRACE(source + " as " + c.name);
      const std::string path = dir_ / c.name;
      WriteAll(path, c.image);
      ImageFileDevice device(path);
      ASSERT_TRUE(device.Open());
      EXPECT_EQ(c.size, device.SectorSize());
      EXPECT_EQ(c.offset, device.DataOffset());

      uint8_t track[36] = {};
      ASSERT_EQ(0, device.ReadTrackInformation(track, 1, 1));
      EXPECT_EQ(1, track[2]);
      EXPECT_EQ(4, track[5] & 0x0F);
      EXPECT_EQ(c.dataMode, track[6] & 0x0Fu);
      EXPECT_EQ(iso.size() / 2048, Be32(track + 24));

      // The user data of every sector reads back as the ISO's.
      Bytes sectors(4 * 2048);
      ASSERT_EQ(0, device.ReadUserSectors(sectors.data(), static_cast<uint32_t>(sectors.size()), 4, 16));
      EXPECT_TRUE(std::equal(sectors.begin(), sectors.end(), iso.begin() + 16 * 2048));

      uint8_t toc[48] = {};
      ASSERT_EQ(0, device.ReadToc(toc, sizeof toc, 2, 0));
      EXPECT_EQ(c.dataMode == 2 ? 0x20 : 0x00, toc[4 + 9]);  // point A0's disc type
    }
  }
}

TEST_F(ImageFileDeviceTest, RawSectorsComeWholeAndSubchannelIsDropped) {
  DORVIK_REQUIRE_TOOL("genisoimage");
  const Bytes iso = ReadAll(Genisoimage());
  const Bytes raw = MakeRaw(iso, Raw::Mode1, true);
  WriteAll(dir_ / "sub.raw", raw);
  ImageFileDevice device(dir_ / "sub.raw");
  ASSERT_TRUE(device.Open());
  Bytes two(2 * 2352);
  ASSERT_EQ(0, device.ReadRawSectors(two.data(), static_cast<uint32_t>(two.size()), 2, 16));
  EXPECT_TRUE(std::equal(two.begin(), two.begin() + 2352, raw.begin() + 16 * 2448));
  EXPECT_TRUE(std::equal(two.begin() + 2352, two.end(), raw.begin() + 17 * 2448));

  // A whole sector cannot come from a 2048-byte image.
  WriteAll(dir_ / "user.iso", iso);
  ImageFileDevice user(dir_ / "user.iso");
  ASSERT_TRUE(user.Open());
  EXPECT_EQ(1, user.ReadRawSectors(two.data(), 2352, 1, 16));
  // Nor anything from beyond the end.
  EXPECT_EQ(1, user.Read10(two.data(), 2048, 1, static_cast<uint32_t>(iso.size() / 2048 + 10)));
}

TEST_F(ImageFileDeviceTest, TocAndDiscInformationDescribeOneFinishedTrack) {
  // 1000 user-data sectors with a descriptor at 16: 1000 + 150 frames is
  // 00:15:25 in MSF form.
  Bytes iso(1000 * 2048, 0);
  std::memcpy(&iso[16 * 2048], "\x01" "CD001\x01", 7);
  WriteAll(dir_ / "a.iso", iso);
  ImageFileDevice device(dir_ / "a.iso");
  ASSERT_TRUE(device.Open());

  uint8_t toc[64];
  std::memset(toc, 0xEE, sizeof toc);
  ASSERT_EQ(0, device.ReadToc(toc, 12, 0, 0));
  const uint8_t formatted[12] = {0x00, 0x0A, 0x01, 0x01, 0x00, 0x14, 0x01, 0x00, 0, 0, 15, 25};
  EXPECT_EQ(0, std::memcmp(toc, formatted, 12));
  EXPECT_EQ(0xEE, toc[12]) << "the answer stays within the allocation length";

  ASSERT_EQ(0, device.ReadToc(toc, sizeof toc, 1, 0));
  EXPECT_EQ(0, std::memcmp(toc, formatted, 8));
  EXPECT_EQ(0, toc[8]);

  ASSERT_EQ(0, device.ReadToc(toc, sizeof toc, 2, 0));
  const uint8_t full[48] = {0x00, 0x2E, 0x01, 0x01,
                            0x01, 0x14, 0x00, 0xA0, 0, 0, 0, 0, 0x01, 0x00, 0x00,
                            0x01, 0x14, 0x00, 0xA1, 0, 0, 0, 0, 0x01, 0x00, 0x00,
                            0x01, 0x14, 0x00, 0xA2, 0, 0, 0, 0, 0, 15, 25,
                            0x01, 0x14, 0x00, 0x01, 0, 0, 0, 0, 0x00, 0x02, 0x00};
  EXPECT_EQ(0, std::memcmp(toc, full, 48));
  EXPECT_EQ(0, toc[48]);
  EXPECT_EQ(1000, MsfToLba(toc[33], toc[34], toc[35], toc[36]));

  ASSERT_EQ(0, device.ReadToc(toc, sizeof toc, 5, 0));
  EXPECT_EQ(0, toc[0]);

  uint8_t disc[546] = {};
  ASSERT_EQ(0, device.ReadDiscInformation(disc));
  EXPECT_EQ(0x22, disc[1]);
  EXPECT_EQ(0x0E, disc[2]);
  EXPECT_EQ(0x00, disc[22]);
  EXPECT_EQ(0x15, disc[23]);  // second 15 in BCD

  uint8_t track[36] = {};
  EXPECT_EQ(1, device.ReadTrackInformation(track, 1, 2));
  EXPECT_EQ(1, device.ReadTrackInformation(track, 2, 2));
  EXPECT_EQ(1, device.ReadTrackInformation(track, 0, 1001));
  EXPECT_EQ(0, device.ReadTrackInformation(track, 0, 999));
  EXPECT_EQ(1000u, Be32(track + 24));
}

// 500000 blocks run past 90 minutes: the lead-out's hour byte counts.
TEST_F(ImageFileDeviceTest, LeadOutOfALongImageReadsBackThroughTheHourByte) {
  Bytes head(17 * 2048, 0);
  std::memcpy(&head[16 * 2048], "\x01" "CD001\x01", 7);
  WriteAll(dir_ / "long.iso", head);
  std::filesystem::resize_file(dir_ / "long.iso", 500000ull * 2048);  // sparse: no disk used
  ImageFileDevice device(dir_ / "long.iso");
  ASSERT_TRUE(device.Open());
  uint8_t toc[12] = {};
  ASSERT_EQ(0, device.ReadToc(toc, sizeof toc, 0, 0));
  EXPECT_EQ(1, toc[8]);
  EXPECT_EQ(500000, MsfToLba(toc[8], toc[9], toc[10], toc[11]));
}

TEST_F(ImageFileDeviceTest, UdfAnchorIsRecognised) {
  Bytes image(600 * 2048, 0);
  image[256 * 2048] = 2;                // tag identifier 2: anchor
  image[256 * 2048 + 13] = 1;           // tag location 256, least significant first
  WriteAll(dir_ / "udf.img", image);
  ImageFileDevice device(dir_ / "udf.img");
  EXPECT_TRUE(device.Open());
  EXPECT_EQ(2048u, device.SectorSize());
}

TEST_F(ImageFileDeviceTest, ForeignDamagedAndMissingFilesAreRefusedQuietly) {
  WriteAll(dir_ / "noise.bin", Bytes(700 * 2448, 0x5A));
  WriteAll(dir_ / "empty.iso", {});
  DORVIK_REQUIRE_TOOL("genisoimage");
  Bytes iso = ReadAll(Genisoimage());
  iso.resize(16 * 2048 + 100);  // cut inside the primary descriptor
  WriteAll(dir_ / "cut.iso", iso);

  for (const std::string name : {"noise.bin", "empty.iso", "missing.iso"}) {
    SCOPED_TRACE(name);
    Drive drive;
    EXPECT_FALSE(drive.OpenImage(dir_ / name));
    EXPECT_TRUE(drive.ImageMode());
    ImageFileDevice device(dir_ / name);
    EXPECT_FALSE(device.Open());
    EXPECT_EQ(2048u, device.SectorSize());
    uint8_t buffer[4096] = {};
    device.ReadToc(buffer, sizeof buffer, 2, 0);
    device.ReadDiscInformation(buffer);
    device.ReadTrackInformation(buffer, 1, 1);
    EXPECT_EQ(1, device.Read10(buffer, 2048, 1, 5000));
    device.Read10(buffer, 2048, 0, 0);
  }
  // The cut image still has its descriptor's signature, so it opens; reads
  // beyond what is there fail instead of crashing.
  Drive drive;
  EXPECT_TRUE(drive.OpenImage(dir_ / "cut.iso"));
  uint8_t sector[2048];
  EXPECT_EQ(1, drive.GetImageDevice()->Read10(sector, 2048, 1, 40));
  uint8_t track[36] = {};
  EXPECT_EQ(0, drive.GetImageDevice()->ReadTrackInformation(track, 1, 1));
  EXPECT_EQ(17u, Be32(track + 24));
}

TEST_F(ImageFileDeviceTest, DriveInImageModeReadsTheImageAsADisc) {
  DORVIK_REQUIRE_TOOL("genisoimage");
  const Bytes iso = ReadAll(Genisoimage());
  WriteAll(dir_ / "mode2.raw", MakeRaw(iso, Raw::Mode2Form1, false));
  Drive drive;
  ASSERT_TRUE(drive.OpenImage(dir_ / "mode2.raw"));
  EXPECT_TRUE(drive.ImageMode());
  EXPECT_EQ(dir_ / "mode2.raw", drive.ImagePath());
  // The track record the drive layer makes from the image's full TOC
  // agrees with the device's own.
  uint8_t fromToc[36] = {};
  ASSERT_EQ(0, drive.TrackInfoFromToc(fromToc, 1, 1));
  EXPECT_EQ(0u, Be32(fromToc + 8));
  EXPECT_EQ(iso.size() / 2048, Be32(fromToc + 24));
  EXPECT_EQ(2, fromToc[6] & 0x0F);
  uint8_t sector[2048];
  ASSERT_EQ(0, drive.ReadUserSectors(sector, sizeof sector, 1, 16));
  EXPECT_EQ(0, std::memcmp(sector, &iso[16 * 2048], 2048));
  EXPECT_EQ(1, drive.FileSystemKind(0) & 1) << "ISO 9660 found through Read10";
}

}  // namespace
}  // namespace dorvik
