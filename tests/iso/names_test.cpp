// Primary (8.3) and Joliet names, and the text that names an entry of a
// previous session.
#include <gtest/gtest.h>

#include "iso/iso_names.h"
#include "collection/previous_session_descriptor.h"

namespace dorvik {
namespace {

TEST(IsoNames, PrimaryNamesAreShortenedToEightDotThree) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"README.TXT", "README.TXT"}, {"Annual Report 2006.doc", "Annual~1.doc"}, {"archive.tar.gz", "archiv~1.gz"},
      {"MAKEFILE", "MAKEFILE"},     {"LONGNAMEFILE", "LONGNA~1"},               {"page.html", "page.htm"},
      {"trail.", "trail."},         {".profile", ".pro"},
      // Six bytes that end inside no character: multibyte characters are not split.
      {"ÄÖÜäöüß.txt", "\xc3\x84\xc3\x96\xc3\x9c~1.txt"}};
  for (const auto& [name, expected] : files) EXPECT_EQ(expected, iso::PrimaryFileName(name)) << name;
  const std::vector<std::pair<std::string, std::string>> folders = {
      {"EIGHTCHR", "EIGHTCHR"}, {"NINECHARS", "NINECH~1"}, {"v1.2.3", "v1.2.3"}, {"abcde\xc3\xa9xyz", "abcde~1"}};
  for (const auto& [name, expected] : folders) EXPECT_EQ(expected, iso::PrimaryFolderName(name)) << name;
}

TEST(IsoNames, JolietNamesAreBigEndianUcs2CutKeepingTheExtension) {
  EXPECT_EQ(std::string("\0R\0E\0A\0D\0M\0E\0.\0T\0X\0T", 20), *iso::JolietName("README.TXT"));
  EXPECT_EQ(std::string("\x00\xe4\x20\xac", 4), *iso::JolietName("ä€"));
  EXPECT_FALSE(iso::JolietName("emoji \xf0\x9f\x98\x80"));
  EXPECT_FALSE(iso::JolietName("bad \xff"));
  const std::string cut = *iso::JolietName(std::string(150, 'n') + ".jpeg");
  ASSERT_EQ(2 * iso::kJolietNameLimit, cut.size());
  EXPECT_EQ(std::string("\0.\0j\0p\0e\0g", 10), cut.substr(cut.size() - 10));
  EXPECT_EQ(2 * iso::kJolietNameLimit, iso::JolietName(std::string(200, 'x'))->size());
  EXPECT_EQ(2 * 110u, iso::JolietName(std::string(110, 'x'))->size());
}


TEST(PreviousSessionDescriptor, FormsParseBack) {
  const uint8_t date[7] = {106, 5, 17, 10, 20, 30, 32};
  EXPECT_EQ(MakeFileDescriptor("A.TXT", date, 5000, 300), std::string("<1><A.TXT><") + "\x6A\x05\x11\x0A\x14\x1E\x20" + "><5000><300>");
  struct Case {
    std::string name;
    uint8_t date[7];
    int32_t size, extent;
    std::vector<uint8_t> parsed;
  };
  for (const Case& c : {Case{"A.TXT", {106, 5, 17, 10, 20, 30, 32}, 5000, 300, {106, 5, 17, 10, 20, 30, 32}},
                        Case{"B", {106, 5, 17, 10, 20, 0, 32}, 1, 2, {106, 5, 17, 10, 20}},  // ends at the first zero
                        Case{"C.DAT", {62, 5, 17, 10, '>', 30, 0}, -7, 123456, {62, 5, 17, 10, '>', 30}}}) {
    const auto d = ParseSessionDescriptor(MakeFileDescriptor(c.name, c.date, c.size, c.extent));
    EXPECT_EQ(d.kind, SessionEntryKind::File);
    EXPECT_EQ(d.name, c.name);
    EXPECT_EQ(d.date, c.parsed) << c.name;
    EXPECT_EQ(d.size, c.size);
    EXPECT_EQ(d.extent, c.extent);
  }
  EXPECT_EQ(MakeFolderDescriptor("MUSIC"), "<2><MUSIC>");
  const auto d = ParseSessionDescriptor("<2><MUSIC>");
  EXPECT_EQ(d.kind, SessionEntryKind::Folder);
  EXPECT_EQ(d.name, "MUSIC");
  EXPECT_EQ(ParseSessionDescriptor(MakeFolderDescriptor("a>b")).name, "a_b");
}

TEST(PreviousSessionDescriptor, MalformedTextsGiveNoNameOrPartialFields) {
  for (const char* text : {"<", "<1>", "<1><", "<1><>", "<2><abc", "<9><>x>", ""}) {
    const auto d = ParseSessionDescriptor(text);
    EXPECT_TRUE(d.name.empty()) << text;
    EXPECT_EQ(d.size, 0) << text;
  }
  const auto cut = ParseSessionDescriptor("<1><N><\x6A><42");  // size field never closed
  EXPECT_EQ(cut.name, "N");
  EXPECT_EQ(cut.date, (std::vector<uint8_t>{0x6A}));
  EXPECT_EQ(cut.size, 0);
  EXPECT_EQ(cut.extent, 0);
  const auto junk = ParseSessionDescriptor("<1><N><><abc><99999999999>");
  EXPECT_EQ(junk.size, 0);
  EXPECT_EQ(junk.extent, INT32_MAX);
  EXPECT_FALSE(IsSessionDescriptor("/tmp/<1>"));
}

}  // namespace
}  // namespace dorvik
