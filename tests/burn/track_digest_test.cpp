// The sums a burn keeps of the sectors it sent: every sector's sum can be
// asked for again, across the part kept in memory and the part moved to
// the scratch file, and a track longer than memory holds needs none.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "burn/track_digest.h"

namespace dorvik {
namespace {

constexpr size_t kSector = 2048;

std::vector<uint8_t> SectorNumbered(uint32_t n) {
  std::vector<uint8_t> s(kSector);
  for (size_t i = 0; i < kSector; ++i) s[i] = static_cast<uint8_t>((n * 131 + i * 7) ^ (n >> 8));
  return s;
}

const Recorder* SomeDrive() { return reinterpret_cast<const Recorder*>(0x1000); }

// Sums added in blocks of 32, as the writer sends them.
void AddNumbered(TrackDigest& digest, uint32_t count) {
  std::vector<uint64_t> block;
  for (uint32_t n = 0; n < count; n += 32) {
    block.clear();
    for (uint32_t i = n; i < n + 32 && i < count; ++i) block.push_back(TrackDigest::SectorSum(SectorNumbered(i).data()));
    digest.Add(block.data(), static_cast<uint32_t>(block.size()));
  }
}

void ExpectSumsOf(const TrackDigest& digest, uint32_t from, uint32_t count) {
  std::vector<uint64_t> got(count);
  ASSERT_TRUE(digest.Sums(from, count, got.data())) << from << "+" << count;
  for (uint32_t i = 0; i < count; ++i)
    ASSERT_EQ(got[i], TrackDigest::SectorSum(SectorNumbered(from + i).data())) << "sector " << from + i;
}

// Beyond the 8192 sums kept in memory, and into a second spill.
constexpr uint32_t kLongTrack = 20000;

TEST(TrackDigest, EverySumComesBackAcrossMemoryAndTheScratchFile) {
  TrackDigest digest;
  digest.Begin(SomeDrive(), 1234);
  AddNumbered(digest, kLongTrack);
  const auto record = digest.Last();
  ASSERT_TRUE(record);
  EXPECT_EQ(record->start, 1234u);
  EXPECT_EQ(record->sectors, kLongTrack);
  ExpectSumsOf(digest, 0, kLongTrack);
  ExpectSumsOf(digest, 8190, 5);    // straddles the first spill
  ExpectSumsOf(digest, 16380, 10);  // straddles the second
  ExpectSumsOf(digest, kLongTrack - 1, 1);
  uint64_t one = 0;
  EXPECT_FALSE(digest.Sums(kLongTrack, 1, &one));
  EXPECT_FALSE(digest.Sums(kLongTrack - 1, 2, &one));
  EXPECT_TRUE(digest.Sums(kLongTrack, 0, &one));
}

TEST(TrackDigest, ANewTrackForgetsTheOldOneAndAnUnrecordedOneHasNothing) {
  TrackDigest digest;
  digest.Begin(SomeDrive(), 0);
  AddNumbered(digest, kLongTrack);
  digest.Begin(SomeDrive(), 500);
  AddNumbered(digest, 40);
  ASSERT_TRUE(digest.Last());
  EXPECT_EQ(digest.Last()->sectors, 40u);
  ExpectSumsOf(digest, 0, 40);

  digest.Begin(nullptr, 0);  // a test write, file output or audio
  AddNumbered(digest, 40);
  EXPECT_FALSE(digest.Last());
  uint64_t one = 0;
  EXPECT_FALSE(digest.Sums(0, 1, &one));
}

TEST(TrackDigest, WithoutATemporaryFolderTheSumsStayInMemory) {
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  ::setenv("TMPDIR", "/nonexistent/dorvik-no-such-folder", 1);
  TrackDigest digest;
  digest.Begin(SomeDrive(), 0);
  AddNumbered(digest, kLongTrack);
  if (old) ::setenv("TMPDIR", saved.c_str(), 1);
  else ::unsetenv("TMPDIR");
  ExpectSumsOf(digest, 0, kLongTrack);
}

// Any one bit changed anywhere in the sector changes its sum.
TEST(TrackDigest, EveryBitOfTheSectorCounts) {
  auto sector = SectorNumbered(7);
  const uint64_t sum = TrackDigest::SectorSum(sector.data());
  for (size_t bit = 0; bit < kSector * 8; ++bit) {
    sector[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    ASSERT_NE(TrackDigest::SectorSum(sector.data()), sum) << "bit " << bit;
    sector[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
  }
  // Words that trade places between lanes change it too.
  std::swap_ranges(sector.begin(), sector.begin() + 8, sector.begin() + 8);
  EXPECT_NE(TrackDigest::SectorSum(sector.data()), sum);
}

}  // namespace
}  // namespace dorvik
