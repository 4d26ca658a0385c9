// READ CD of recorded data: whole Mode 1 sectors checked against the
// ECMA-130 definition computed here independently (a bitwise CRC for the
// EDC, parity-check syndromes over GF(2^8) for the P and Q codes).
#include <gtest/gtest.h>

#include "mmc_host.h"
#include "support/library_fixture.h"

namespace dorvik::emulator::test {
namespace {

using dorvik::test::TempFolder;

// GF(2^8) with the field polynomial x^8 + x^4 + x^3 + x^2 + 1, alpha = 2.
uint8_t GfMul(uint8_t a, uint8_t b) {
  uint8_t r = 0;
  while (b) {
    if (b & 1) r ^= a;
    a = static_cast<uint8_t>((a << 1) ^ ((a & 0x80) ? 0x1D : 0));
    b >>= 1;
  }
  return r;
}

uint8_t AlphaPower(int n) {
  uint8_t r = 1;
  for (int i = 0; i < n; ++i) r = GfMul(r, 2);
  return r;
}

// Both syndromes of a codeword v0..v(n-1): sum v_i and sum alpha^(n-1-i) v_i.
bool Syndromes(const std::vector<uint8_t>& v) {
  uint8_t s0 = 0, s1 = 0;
  const int n = static_cast<int>(v.size());
  for (int i = 0; i < n; ++i) {
    s0 ^= v[i];
    s1 ^= GfMul(AlphaPower(n - 1 - i), v[i]);
  }
  return s0 == 0 && s1 == 0;
}

// ECMA-130 Annex A: the 1170 16-bit words S(n) of a sector from byte 12 on,
// split into their two bytes; each byte plane forms its own code.
uint8_t Word(const std::vector<uint8_t>& sector, int n, int plane) { return sector[12 + 2 * n + plane]; }

bool ParityHolds(const std::vector<uint8_t>& sector) {
  for (int plane = 0; plane < 2; ++plane) {
    for (int np = 0; np < 43; ++np) {  // P: 43 columns of 26 words
      std::vector<uint8_t> v;
      for (int mp = 0; mp < 26; ++mp) v.push_back(Word(sector, 43 * mp + np, plane));
      if (!Syndromes(v)) return false;
    }
    for (int nq = 0; nq < 26; ++nq) {  // Q: 26 diagonals of 45 words
      std::vector<uint8_t> v;
      for (int mq = 0; mq < 43; ++mq) v.push_back(Word(sector, (44 * mq + 43 * nq) % 1118, plane));
      v.push_back(Word(sector, 43 * 26 + nq, plane));
      v.push_back(Word(sector, 44 * 26 + nq, plane));
      if (!Syndromes(v)) return false;
    }
  }
  return true;
}

// The EDC polynomial x^32+x^31+x^16+x^15+x^4+x^3+x+1, bits taken least
// significant first: running it over data and its stored EDC leaves zero.
uint32_t BitwiseEdc(const uint8_t* data, size_t length) {
  uint32_t crc = 0;
  for (size_t i = 0; i < length; ++i)
    for (int bit = 0; bit < 8; ++bit) {
      const uint32_t in = (data[i] >> bit) & 1;
      const uint32_t out = crc & 1;
      crc >>= 1;
      if (in ^ out) crc ^= 0xD8018001u;
    }
  return crc;
}

uint8_t Bcd(int v) { return static_cast<uint8_t>(((v / 10) << 4) | (v % 10)); }

TEST(RawSectors, Mode1SectorsCarrySyncHeaderEdcAndParity) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x41, 0x04).Good());
  ASSERT_TRUE(host.Write10(0, Pattern(0, 16, 9)).Good());
  ASSERT_TRUE(host.Write10(16, std::vector<uint8_t>(16 * 2048, 0)).Good());
  ASSERT_TRUE(host.Close(1, 1).Good());
  ASSERT_TRUE(host.Close(2).Good());

  auto raw = host.ReadCd(0, 32, 0xF8);  // sync, all headers, user data, EDC/ECC
  ASSERT_TRUE(raw.Good()) << raw.Sense();
  const auto user = Pattern(0, 16, 9);
  for (uint32_t lba = 0; lba < 32; ++lba) {
    std::vector<uint8_t> s(raw.data.begin() + lba * 2352, raw.data.begin() + (lba + 1) * 2352);
    EXPECT_EQ(s[0], 0x00);
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(s[i], 0xFF);
    EXPECT_EQ(s[11], 0x00);
    const uint32_t frames = lba + 150;
    EXPECT_EQ(s[12], Bcd(frames / 4500));
    EXPECT_EQ(s[13], Bcd((frames / 75) % 60));
    EXPECT_EQ(s[14], Bcd(frames % 75));
    EXPECT_EQ(s[15], 0x01);
    if (lba < 16) {
      EXPECT_TRUE(std::equal(s.begin() + 16, s.begin() + 2064, user.begin() + lba * 2048));
    }
    EXPECT_EQ(BitwiseEdc(s.data(), 2068), 0u) << "EDC of LBA " << lba;
    for (int i = 2068; i < 2076; ++i) EXPECT_EQ(s[i], 0);
    EXPECT_TRUE(ParityHolds(s)) << "P/Q of LBA " << lba;
    // A flipped byte breaks the parity, so the check above means something.
    s[500] ^= 0x01;
    EXPECT_FALSE(ParityHolds(s));
  }
}

TEST(RawSectors, FieldSelectionsAndRefusals) {
  TempFolder dir;
  auto r = NewRecorder(dir / "disc.img", "cd-r");
  MmcHost host(r.get());
  ASSERT_TRUE(host.WriteParameters(0x41, 0x04).Good());
  ASSERT_TRUE(host.Write10(0, Pattern(0, 4, 3)).Good());

  auto userOnly = host.ReadCd(1, 2, 0x10, 0, 4096);
  ASSERT_TRUE(userOnly.Good());
  EXPECT_EQ(userOnly.data, Pattern(1, 2, 3));
  auto headerAndUser = host.ReadCd(2, 1, 0x30, 2, 2052);  // Mode 1 expected
  ASSERT_TRUE(headerAndUser.Good());
  EXPECT_EQ(headerAndUser.data[2], Bcd(152 % 75));
  EXPECT_EQ(headerAndUser.data[3], 0x01);
  auto withC2 = host.ReadCd(0, 1, 0xFA, 0, 2352 + 294);
  ASSERT_TRUE(withC2.Good());
  EXPECT_EQ(std::count(withC2.data.begin() + 2352, withC2.data.end(), 0), 294);

  EXPECT_EQ(host.ReadCd(0, 1, 0x10, 1).Sense(), "05/64/00");  // not audio
  EXPECT_EQ(host.ReadCd(0, 1, 0x10, 4).Sense(), "05/64/00");  // not Mode 2
  EXPECT_EQ(host.ReadCd(0, 1, 0x90).Sense(), "05/24/00");     // sync without header
  EXPECT_EQ(host.ReadCd(0, 1, 0x08).Sense(), "05/24/00");     // EDC without data
  EXPECT_EQ(host.ReadCd(4, 1, 0x10).Sense(), "05/21/00");     // not written
  auto dvd = NewRecorder(dir / "dvd.img", "dvd+rw");
  MmcHost dvdHost(dvd.get());
  ASSERT_TRUE(dvdHost.Write10(0, Pattern(0, 1, 0)).Good());
  EXPECT_EQ(dvdHost.ReadCd(0, 1, 0x10).Sense(), "05/64/00");
  EXPECT_TRUE(dvdHost.Read10(0, 1).Good());
}

}  // namespace
}  // namespace dorvik::emulator::test
