// Data and image jobs through the C exports on every medium the software
// recorder knows: the disc holds exactly what `dorvik image` composes for
// the same tree, label and clock, and xorriso gives the tree back.
#include <gtest/gtest.h>

#include "burn_fixture.h"
#include "dorvik.h"
#include <algorithm>

namespace dorvik::test {
namespace {

struct Medium {
  const char* name;
  int32_t profile;
  bool erasedFirst = false;  // burnt, finalized and erased before the test's burn
};

std::string Name(const ::testing::TestParamInfo<Medium>& info) {
  std::string n = info.param.name;
  for (char& c : n) c = (c == '-' ? '_' : c == '+' ? 'P' : c);
  return n + (info.param.erasedFirst ? "_erased" : "");
}

class DataJob : public ::testing::TestWithParam<Medium> {};

TEST_P(DataJob, TheDiscHoldsTheComposedImageAndXorrisoExtractsTheTree) {
  Burner b(GetParam().name);
  if (GetParam().erasedFirst) {
    b.AddTree();
    ASSERT_EQ(Vuz_WriteDataCDEx("FIRST", 0, 0, 0, 0), 1);
    ASSERT_EQ(b.DiscInfo().freeBytes, 0u) << "finalized";
    ASSERT_EQ(Vuz_EraseDisc(), 1);
    ASSERT_EQ(b.DiscInfo().blank, 1);
  } else {
    b.AddTree();
  }
  const Bytes want = b.Composed("BURNTEST", 0);
  ASSERT_FALSE(want.empty());
  const size_t threads = ThreadCount();
  ASSERT_EQ(Vuz_WriteDataCDEx("BURNTEST", 0, 0, 0, 0), 1);
  EXPECT_EQ(ThreadCount(), threads);
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

INSTANTIATE_TEST_SUITE_P(EveryMedium, DataJob,
                         ::testing::Values(Medium{"cd-r", 0x09}, Medium{"cd-rw", 0x0A}, Medium{"cd-rw", 0x0A, true},
                                           Medium{"dvd-r", 0x11}, Medium{"dvd-rw", 0x13}, Medium{"dvd-rw-seq", 0x14},
                                           Medium{"dvd+r", 0x1B}, Medium{"dvd+rw", 0x1A}, Medium{"dvd-ram", 0x12}),
                         Name);

}  // namespace
}  // namespace dorvik::test
