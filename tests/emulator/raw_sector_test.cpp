// READ CD of recorded data: whole Mode 1 sectors checked against the
// ECMA-130 definition computed here independently (a bitwise CRC for the
// EDC, parity-check syndromes over GF(2^8) for the P and Q codes).
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "mmc_host.h"

namespace dorvik::emulator::test {
namespace {

// Product in GF(2^8) with the field polynomial x^8 + x^4 + x^3 + x^2 + 1.
uint8_t GfMul(uint8_t a, uint8_t b) {
  uint8_t r = 0;
  for (; b; b >>= 1, a = static_cast<uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1D : 0))) r ^= (b & 1) ? a : 0;
  return r;
}

// ECMA-130 Annex A: the 1170 16-bit words S(n) of a sector from byte 12 on, split
// into their two bytes; each byte plane forms its own code. A codeword's two
// syndromes, sum v_i and sum alpha^(n-1-i) v_i (by Horner's rule), are zero.
bool Codeword(const Bytes& sector, const std::vector<int>& words) {
  for (int plane = 0; plane < 2; ++plane) {
    uint8_t s0 = 0, s1 = 0;
    for (int n : words) {
      s0 ^= sector[12 + 2 * n + plane];
      s1 = GfMul(s1, 2) ^ sector[12 + 2 * n + plane];
    }
    if (s0 || s1) return false;
  }
  return true;
}

bool ParityHolds(const Bytes& sector) {
  for (int np = 0; np < 43; ++np) {  // P: 43 columns of 26 words
    std::vector<int> words;
    for (int mp = 0; mp < 26; ++mp) words.push_back(43 * mp + np);
    if (!Codeword(sector, words)) return false;
  }
  for (int nq = 0; nq < 26; ++nq) {  // Q: 26 diagonals of 43 words and 2 parity words
    std::vector<int> words;
    for (int mq = 0; mq < 43; ++mq) words.push_back((44 * mq + 43 * nq) % 1118);
    words.insert(words.end(), {43 * 26 + nq, 44 * 26 + nq});
    if (!Codeword(sector, words)) return false;
  }
  return true;
}

// The EDC polynomial x^32+x^31+x^16+x^15+x^4+x^3+x+1, bits taken least
// significant first: running it over data and its stored EDC leaves zero.
uint32_t BitwiseEdc(const uint8_t* data, size_t length) {
  uint32_t crc = 0;
  for (size_t i = 0; i < length; ++i)
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ ((((data[i] >> bit) ^ crc) & 1) ? 0xD8018001u : 0);
  return crc;
}

uint8_t Bcd(int v) { return static_cast<uint8_t>(((v / 10) << 4) | (v % 10)); }

TEST(RawSectors, Mode1SectorsCarrySyncHeaderEdcAndParity) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x41, 0x04).Good());
  ASSERT_TRUE(host.Write10(0, Pattern(0, 16, 9)).Good());
  ASSERT_TRUE(host.Write10(16, Bytes(16 * 2048, 0)).Good());
  ASSERT_TRUE(host.Close(1, 1).Good());
  ASSERT_TRUE(host.Close(2).Good());

  auto raw = host.ReadCd(0, 32, 0xF8);  // sync, all headers, user data, EDC/ECC
  ASSERT_TRUE(raw.Good()) << raw.Sense();
  const auto user = Pattern(0, 16, 9);
  for (uint32_t lba = 0; lba < 32; ++lba) {
    SCOPED_TRACE(lba);
    Bytes s = raw.Slice(lba * 2352, 2352);
    const uint32_t f = lba + 150;
    EXPECT_EQ(Bytes(s.begin(), s.begin() + 16), (Bytes{0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0,
                                                       Bcd(f / 4500), Bcd(f / 75 % 60), Bcd(f % 75), 0x01}));
    if (lba < 16) { EXPECT_TRUE(std::equal(s.begin() + 16, s.begin() + 2064, user.begin() + lba * 2048)); }
    EXPECT_EQ(BitwiseEdc(s.data(), 2068), 0u);
    EXPECT_EQ(std::count(s.begin() + 2068, s.begin() + 2076, 0), 8);
    EXPECT_TRUE(ParityHolds(s));
    s[500] ^= 0x01;  // a flipped byte breaks the parity, so the check above means something
    EXPECT_FALSE(ParityHolds(s));
  }
}

TEST(RawSectors, FieldSelectionsAndRefusals) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x41, 0x04).Good());
  ASSERT_TRUE(host.Write10(0, Pattern(0, 4, 3)).Good());
  auto headerAndUser = host.ReadCd(2, 1, 0x30, 2, 2052);  // Mode 1 expected
  EXPECT_EQ(headerAndUser.Slice(0, 4), (Bytes{0, 0x02, Bcd(152 % 75), 0x01}));
  EXPECT_EQ(headerAndUser.Slice(4, 2048), Pattern(2, 1, 3));
  auto withC2 = host.ReadCd(0, 1, 0xFA, 0, 2352 + 294);
  ASSERT_TRUE(withC2.Good());
  EXPECT_EQ(withC2.Slice(2352, 294), Bytes(294, 0));
  for (const auto& [lba, flags, sectorType, sense] : {std::tuple{0, 0x10, 1, "05/64/00"},  // not audio
                                                      {0, 0x10, 4, "05/64/00"},            // not Mode 2
                                                      {0, 0x90, 0, "05/24/00"},            // sync without header
                                                      {0, 0x08, 0, "05/24/00"},            // EDC without data
                                                      {4, 0x10, 0, "05/21/00"}})          // not written
    EXPECT_EQ(host.ReadCd(lba, 1, flags, sectorType).Sense(), sense) << flags << "/" << sectorType;
}

}  // namespace
}  // namespace dorvik::emulator::test
