// Data and image jobs through the C exports on every medium the software
// recorder knows: the disc holds exactly what `dorvik image` composes for
// the same tree, label and clock, and xorriso gives the tree back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>

#include "burn_fixture.h"
#include "dorvik.h"

namespace dorvik::test {
namespace {

struct Medium {
  const char* name;
  int32_t profile;
  bool erasedFirst = false;  // burnt, finalized and erased before the test's burn
  size_t imageSector = 2048;  // the image job's sector layout on this medium
};

std::string Name(const ::testing::TestParamInfo<Medium>& info) {
  std::string n = info.param.name;
  for (char& c : n) c = (c == '-' ? '_' : c == '+' ? 'P' : c);
  return n + (info.param.erasedFirst ? "_erased" : "");
}

// A finalized disc, erased: blank again, for a test's burn.
void BurnAndErase(Burner& b) {
  b.AddTree();
  ASSERT_EQ(Vuz_WriteDataCDEx("FIRST", 0, 0, 0, 0), 1);
  ASSERT_EQ(b.DiscInfo().freeBytes, 0u) << "finalized";
  ASSERT_EQ(Vuz_EraseDisc(), 1);
  ASSERT_EQ(b.DiscInfo().blank, 1);
  ASSERT_EQ(Vuz_ClearFiles(), 1);
}

// The 2048-byte sectors wrapped in raw CD sectors (Mode 1), with 96 bytes
// of sub-channel data each for 2448.
Bytes Raw(const Bytes& iso, size_t size) {
  if (size == 2048) return iso;
  Bytes out(iso.size() / 2048 * size, 0);
  for (size_t i = 0; i < iso.size() / 2048; ++i) {
    uint8_t* s = &out[i * size];
    std::memset(s + 1, 0xFF, 10);
    const size_t t = i + 150;
    auto bcd = [](size_t v) { return static_cast<uint8_t>((v / 10) << 4 | v % 10); };
    s[12] = bcd(t / 4500);
    s[13] = bcd(t / 75 % 60);
    s[14] = bcd(t % 75);
    s[15] = 1;
    std::memcpy(s + 16, &iso[i * 2048], 2048);
    if (size == 2448) std::memset(s + 2352, 0x5A, 96);
  }
  return out;
}

class DataJob : public ::testing::TestWithParam<Medium> {};

TEST_P(DataJob, TheDiscHoldsTheComposedImageAndXorrisoExtractsTheTree) {
  Burner b(GetParam().name);
  if (GetParam().erasedFirst) BurnAndErase(b);
  if (HasFatalFailure()) return;
  b.AddTree();
  const Bytes want = b.Composed("BURNTEST", 0);
  ASSERT_FALSE(want.empty());
  const size_t threads = ThreadCount();
  ASSERT_EQ(Vuz_WriteDataCDEx("BURNTEST", 0, 0, 0, 0), 1);
  EXPECT_LE(ThreadCount(), threads);
  const Bytes got = b.Disc(0, want.size() / 2048);
  const auto diff = std::mismatch(got.begin(), got.end(), want.begin());
  EXPECT_TRUE(diff.first == got.end()) << "the disc differs from the composed image at byte " << (diff.first - got.begin());
  EXPECT_EQ(Vuz_WriteGetProgress(), 0);
  char name[260] = {};
  EXPECT_EQ(Vuz_WriteGetCurrBurnFileName(name), 1);
  EXPECT_STREQ(name, "");
  const Burner::Info info = b.DiscInfo();
  EXPECT_EQ(info.result, 1);
  EXPECT_EQ(info.profile, GetParam().profile);
  EXPECT_EQ(info.blank, 0);
  b.ExpectXorrisoExtractsTheTree();
}

// The image holds the composed tree and 5 blocks more than whole writes:
// on DVD-R and DVD-RW the reservation must still be filled, or the disc
// would never complete. Each medium gets one of the three sector layouts.
class ImageJob : public ::testing::TestWithParam<Medium> {};

TEST_P(ImageJob, TheDiscHoldsTheImagesUserDataAndXorrisoExtractsTheTree) {
  Burner b(GetParam().name);
  if (GetParam().erasedFirst) BurnAndErase(b);
  if (HasFatalFailure()) return;
  Bytes iso = Burner::Composed("IMAGE", 0);
  iso.resize(iso.size() + 5 * 2048, 0);
  const std::string image = b.Tmp() + "/image.bin";
  const Bytes raw = Raw(iso, GetParam().imageSector);
  std::ofstream(image, std::ios::binary).write(reinterpret_cast<const char*>(raw.data()), static_cast<std::streamsize>(raw.size()));
  const size_t threads = ThreadCount();
  ASSERT_EQ(Vuz_WriteImageToCD(image.c_str(), 0), 1);
  EXPECT_LE(ThreadCount(), threads);
  EXPECT_TRUE(b.Disc(0, iso.size() / 2048) == iso);
  ASSERT_EQ(Vuz_Load(), 1);
  const Burner::Info info = b.DiscInfo();
  EXPECT_EQ(info.profile, GetParam().profile);
  EXPECT_EQ(info.blank, 0);
  // Closed as a data job closes it: a DVD+R's closed session leaves it
  // appendable, the overwritable media report no session state.
  const std::string medium = GetParam().name;
  if (medium == "cd-r" || medium == "cd-rw" || medium == "dvd-r" || medium == "dvd-rw-seq") {
    EXPECT_EQ(b.DiscStatus(), 2);
  }
  b.ExpectXorrisoExtractsTheTree();
}

const auto kEveryMedium = ::testing::Values(
    Medium{"cd-r", 0x09, false, 2048}, Medium{"cd-rw", 0x0A, false, 2352}, Medium{"cd-rw", 0x0A, true, 2448},
    Medium{"dvd-r", 0x11, false, 2352}, Medium{"dvd-rw", 0x13, false, 2448}, Medium{"dvd-rw-seq", 0x14, false, 2048},
    Medium{"dvd+r", 0x1B, false, 2352}, Medium{"dvd+rw", 0x1A, false, 2448}, Medium{"dvd-ram", 0x12, false, 2048});

INSTANTIATE_TEST_SUITE_P(EveryMedium, DataJob, kEveryMedium, Name);
INSTANTIATE_TEST_SUITE_P(EveryMedium, ImageJob, kEveryMedium, Name);

}  // namespace
}  // namespace dorvik::test
