// The track source over a layout file the collection wrote (its sectors are
// the composer's) and over image files (2048-byte and raw sectors).
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "burn/track_source.h"
#include "collection/file_collection.h"
#include "drive/drive.h"
#include "iso/image_composer.h"
#include "support/library_fixture.h"

namespace dorvik {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

void WriteFile(const std::string& path, const std::string& content) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

Bytes ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A collection of a few files in a private temporary folder, flattened into
// a layout file, with a fixed clock so two compositions agree.
class LayoutTrack : public ::testing::Test {
 protected:
  LayoutTrack() {
    ::setenv("TMPDIR", tmp.Path().c_str(), 1);
    ::setenv("SOURCE_DATE_EPOCH", "1700000000", 1);
    WriteFile(src / "a.txt", "first file\n");
    WriteFile(src / "sub/b.bin", std::string(70000, 'b'));
    collection = std::make_unique<FileCollection>();
    collection->AddFiles(src.Path(), "\\", false);
    collection->PrepareForWrite(layout, false, "TRACKTEST");
  }
  ~LayoutTrack() override {
    collection.reset();
    ::unsetenv("TMPDIR");
    ::unsetenv("SOURCE_DATE_EPOCH");
  }

  test::TempFolder tmp, src;
  std::string layout = tmp / "job.bcd";
  std::unique_ptr<FileCollection> collection;
};

TEST_F(LayoutTrack, OneSessionOfOneDataTrackWhoseSectorsAreTheComposersImage) {
  TrackSource source;
  source.OpenLayout(layout, collection->GetWorkspacePath());
  EXPECT_EQ(source.CurrentName(), "Processing...");
  EXPECT_EQ(source.FirstSession(), 1u);
  EXPECT_EQ(source.LastSession(), 1u);
  EXPECT_FALSE(source.SelectSession(2));
  ASSERT_TRUE(source.SelectSession(1));
  EXPECT_EQ(std::vector<int32_t>({source.FirstTrack(), source.LastTrack(), source.ClosingTrack()}),
            std::vector<int32_t>({1, 1, 1}));
  EXPECT_FALSE(source.PrepareTrack(2, 0));
  ASSERT_TRUE(source.PrepareTrack(1, 0));
  EXPECT_EQ(source.TrackType(), kTrackData);

  iso::ImageComposer reference;
  ASSERT_TRUE(reference.Compose(layout, 1, 1, collection->GetWorkspacePath(), 0));
  const uint32_t blocks = source.TrackBlocks();
  EXPECT_EQ(blocks, (reference.PaddedSize() + 31) / 32 * 32);  // whole writes of 32
  std::vector<std::string> names;
  for (uint32_t i = 0; i < blocks; ++i) {
    Bytes got(2048, 0), want(2048, 0);
    source.ReadSector(got.data(), 2048);
    reference.ReadNextSector(want.data(), 2048);
    ASSERT_EQ(got, want) << "sector " << i;
    if (names.empty() || names.back() != source.CurrentName()) names.push_back(source.CurrentName());
  }
  // The padding after the last file goes by under its name.
  EXPECT_EQ(names, (std::vector<std::string>{"", src / "a.txt", src / "sub/b.bin"}));
}

TEST_F(LayoutTrack, AStartAddressMovesEveryAddressOfTheImage) {
  TrackSource source;
  source.OpenLayout(layout, collection->GetWorkspacePath());
  ASSERT_TRUE(source.SelectSession(1));
  ASSERT_TRUE(source.PrepareTrack(1, 12345));
  Bytes pvd(2048);
  for (int i = 0; i <= 16; ++i) source.ReadSector(pvd.data(), 2048);
  // The primary descriptor's volume space size counts from sector 0 of the disc.
  uint32_t volume;
  std::memcpy(&volume, pvd.data() + 80, 4);
  EXPECT_GT(volume, 12345u);
}

TEST_F(LayoutTrack, AMissingOrForeignLayoutFileHasNoSessionsAndAnImageThatCannotBeComposedNoTrack) {
  TrackSource source;
  source.OpenLayout(tmp / "missing.bcd", collection->GetWorkspacePath());
  EXPECT_EQ(source.FirstSession(), 0u);
  EXPECT_FALSE(source.SelectSession(1));
  EXPECT_FALSE(source.PrepareTrack(1, 0));
  EXPECT_EQ(source.TrackBlocks(), 0u);

  source.OpenLayout(layout, collection->GetWorkspacePath());
  ASSERT_TRUE(source.SelectSession(1));
  EXPECT_FALSE(source.PrepareTrack(1, 0x90000000u));  // no room for the image's addresses
  EXPECT_EQ(source.TrackBlocks(), 0u);
}

// The library writes one track per layout; a layout that holds a second
// track record behind the first track's entry list is walked by that list's
// length.
TEST_F(LayoutTrack, ASecondTrackIsFoundBehindTheFirstTracksEntryList) {
  Bytes bytes = ReadAll(layout);
  bytes[323] = 2;  // last track of the session
  Bytes second(64, 0);
  second[0] = 2;
  second[1] = 2;
  bytes.insert(bytes.end(), second.begin(), second.end());
  std::ofstream(layout, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  TrackSource source;
  source.OpenLayout(layout, collection->GetWorkspacePath());
  ASSERT_TRUE(source.SelectSession(1));
  ASSERT_TRUE(source.PrepareTrack(2, 0));
  EXPECT_EQ(source.TrackType(), kTrackData);
  EXPECT_FALSE(source.PrepareTrack(3, 0));
}

// Image files: the ISO the composer makes for the same collection, as
// 2048-byte sectors and wrapped in raw 2352-byte sectors.
Bytes Raw(const Bytes& iso) {
  Bytes out(iso.size() / 2048 * 2352, 0);
  for (size_t i = 0; i < iso.size() / 2048; ++i) {
    uint8_t* s = &out[i * 2352];
    std::memset(s + 1, 0xFF, 10);
    const size_t t = i + 150;
    s[12] = static_cast<uint8_t>((t / 4500 / 10) << 4 | t / 4500 % 10);
    s[13] = static_cast<uint8_t>((t / 75 % 60 / 10) << 4 | t / 75 % 60 % 10);
    s[14] = static_cast<uint8_t>((t % 75 / 10) << 4 | t % 75 % 10);
    s[15] = 1;
    std::memcpy(s + 16, &iso[i * 2048], 2048);
  }
  return out;
}

TEST_F(LayoutTrack, AnImageFileIsOneSessionOfOneDataTrackReadAsUserSectors) {
  iso::ImageComposer composer;
  ASSERT_TRUE(composer.Compose(layout, 1, 1, collection->GetWorkspacePath(), 0));
  Bytes iso(composer.PaddedSize() * size_t{2048}, 0);
  for (uint32_t i = 0; i < composer.PaddedSize(); ++i) composer.ReadNextSector(&iso[i * 2048], 2048);

  for (bool raw : {false, true}) {
    SCOPED_TRACE(raw ? "raw 2352" : "2048");
    const std::string path = tmp / (raw ? "image.bin" : "image.iso");
    const Bytes file = raw ? Raw(iso) : iso;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    Drive image;
    ASSERT_TRUE(image.OpenImage(path));
    TrackSource source;
    source.AttachDrive(image);
    EXPECT_EQ(source.FirstSession(), 1u);
    EXPECT_EQ(source.LastSession(), 1u);
    ASSERT_TRUE(source.SelectSession(1));
    EXPECT_FALSE(source.SelectSession(2));
    EXPECT_EQ(std::vector<int32_t>({source.FirstTrack(), source.LastTrack(), source.ClosingTrack()}),
              std::vector<int32_t>({1, 1, 1}));
    ASSERT_TRUE(source.PrepareTrack(1, 999));  // an image track starts where the image says
    EXPECT_EQ(source.TrackType(), kTrackData);
    ASSERT_EQ(source.TrackBlocks(), composer.PaddedSize());
    Bytes got(iso.size(), 0);
    for (uint32_t i = 0; i < source.TrackBlocks(); ++i) source.ReadSector(&got[i * 2048], 2048);
    EXPECT_TRUE(got == iso);
    EXPECT_EQ(source.CurrentName(), "Processing...");
  }
}

}  // namespace
}  // namespace dorvik
