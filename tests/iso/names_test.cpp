#include <gtest/gtest.h>

#include "iso/iso_names.h"

namespace dorvik::iso {
namespace {

TEST(PrimaryNames, EightDotThreeShortening) {
  EXPECT_EQ("README.TXT", PrimaryFileName("README.TXT"));
  EXPECT_EQ("Annual~1.doc", PrimaryFileName("Annual Report 2006.doc"));
  EXPECT_EQ("archiv~1.gz", PrimaryFileName("archive.tar.gz"));
  EXPECT_EQ("MAKEFILE", PrimaryFileName("MAKEFILE"));
  EXPECT_EQ("LONGNA~1", PrimaryFileName("LONGNAMEFILE"));
  EXPECT_EQ("page.htm", PrimaryFileName("page.html"));
  EXPECT_EQ("trail.", PrimaryFileName("trail."));
  EXPECT_EQ(".pro", PrimaryFileName(".profile"));
}

TEST(PrimaryNames, FoldersIgnoreDots) {
  EXPECT_EQ("EIGHTCHR", PrimaryFolderName("EIGHTCHR"));
  EXPECT_EQ("NINECH~1", PrimaryFolderName("NINECHARS"));
  EXPECT_EQ("LONGFO~1", PrimaryFolderName("LONGFOLDERNAME"));
  EXPECT_EQ("v1.2.3", PrimaryFolderName("v1.2.3"));
}

TEST(PrimaryNames, MultibyteCharactersAreNotSplit) {
  // "ÄÖÜäöüß.txt": 14 bytes of base; six bytes end inside no character.
  EXPECT_EQ("\xc3\x84\xc3\x96\xc3\x9c~1.txt", PrimaryFileName("ÄÖÜäöüß.txt"));
  // "aé…" where byte 6 falls in the middle of 'é'.
  EXPECT_EQ("abcde~1", PrimaryFolderName("abcde\xc3\xa9xyz"));
}

TEST(JolietNames, FullNameInBigEndianUcs2) {
  EXPECT_EQ(std::string("\0R\0E\0A\0D\0M\0E\0.\0T\0X\0T", 20), *JolietName("README.TXT"));
  EXPECT_EQ(std::string("\x00\xe4\x20\xac", 4), *JolietName("ä€"));
  EXPECT_FALSE(JolietName("emoji \xf0\x9f\x98\x80"));
  EXPECT_FALSE(JolietName("bad \xff"));
}

TEST(JolietNames, OverlongNamesAreCutKeepingTheExtension) {
  const std::string base(150, 'n');
  const std::string cut = *JolietName(base + ".jpeg");
  ASSERT_EQ(2 * kJolietNameLimit, cut.size());
  EXPECT_EQ(std::string("\0.\0j\0p\0e\0g", 10), cut.substr(cut.size() - 10));
  EXPECT_EQ(cut, *JolietName(base + ".jpeg")) << "deterministic";
  EXPECT_EQ(2 * kJolietNameLimit, JolietName(std::string(200, 'x'))->size());
  EXPECT_EQ(2 * 110u, JolietName(std::string(110, 'x'))->size());
}

}  // namespace
}  // namespace dorvik::iso
