// Names in the interchange layout: unique 8.3 primary names of d-characters,
// and Joliet names that every host name can have and no two entries share.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>
#include <set>

#include "iso/interchange_names.h"
#include "iso/iso_layout.h"

namespace dorvik::iso {
namespace {

std::string Utf16(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
  return out;
}

TEST(InterchangeNames, PrimaryNamesAreDCharacterEightDotThreeAndNumberedWhenShortenedOrTaken) {
  DirectoryNames names;
  // In the order a directory hands them out: who comes first keeps the plain name.
  const std::vector<std::pair<std::string, std::string>> files = {
      {"Annual Report 2006.doc", "ANNUAL_1.DOC;1"},  // shortened names always carry a number
      {"Annual Report 2007.doc", "ANNUAL_2.DOC;1"},
      {"readme.txt", "README.TXT;1"},
      {"README.TXT", "README_1.TXT;1"},  // the same name but for case
      {"Makefile", "MAKEFILE.;1"},
      {".profile", "PROFILE.;1"},  // a leading dot hides a file; it is no extension
      {"archive.tar.gz", "ARCHIV_1.GZ;1"},
      {"a.b.c.d", "ABC.D;1"},
      {"page.html", "PAGE_1.HTM;1"},
      {"Grüße.txt", "GRUSSE.TXT;1"},
      {"Ærø.txt", "AERO.TXT;1"},
      {"日本語のファイル.txt", "_.TXT;1"},  // a run of other characters is one '_'
      {"Русский.txt", "__1.TXT;1"},
      {"x-y (2).mp3", "X_Y_2_.MP3;1"},
      {"...", "_.;1"},
      {"caf\xe9.txt", "CAF_.TXT;1"},
  };
  for (const auto& [host, expected] : files) EXPECT_EQ(expected, names.File(host)) << host;
  // Folders share the names' room: a folder may not take a file's name.
  EXPECT_EQ("MAKEFI_1", names.Folder("makefile"));
  EXPECT_EQ("V123", names.Folder("v1.2.3"));
  EXPECT_EQ("MYDOCU_1", names.Folder("My Documents"));
  EXPECT_EQ("MYDOCU_2", names.Folder("My Documents (old)"));
}

TEST(InterchangeNames, ThousandsOfLookalikesStayUniqueAndValid) {
  DirectoryNames names;
  // What a reader shows: without the version, and without the dot of a
  // file that has no extension.
  std::set<std::string> seen;
  auto shown = [](std::string id) {
    id = id.substr(0, id.find(';'));
    if (!id.empty() && id.back() == '.') id.pop_back();
    return id;
  };
  const std::regex valid("[A-Z0-9_]{1,8}\\.[A-Z0-9_]{0,3};1");
  for (int i = 0; i < 3000; ++i) {
    const std::string id = names.File("entry number " + std::to_string(i) + ".txt");
    EXPECT_TRUE(std::regex_match(id, valid)) << id;
    EXPECT_TRUE(seen.insert(shown(id)).second) << id;
  }
  for (int i = 0; i < 300; ++i) {
    const std::string id = i % 2 ? names.Folder("entry number " + std::to_string(i)) : names.File("entry number " + std::to_string(i));
    EXPECT_TRUE(std::regex_match(id, std::regex(i % 2 ? "[A-Z0-9_]{1,8}" : "[A-Z0-9_]{1,8}\\.;1"))) << id;
    EXPECT_TRUE(seen.insert(shown(id)).second) << id;
  }
}

TEST(InterchangeNames, EveryNameGetsAJolietSpellingThatNoOtherEntryShares) {
  DirectoryNames names;
  EXPECT_EQ(Utf16(u"Grüß.txt"), names.Joliet("Grüß.txt"));
  EXPECT_EQ(Utf16(u"smile\xD83D\xDE00.txt"), names.Joliet("smile\xf0\x9f\x98\x80.txt")) << "surrogate pair";
  EXPECT_EQ(Utf16(u"caf\xFFFD.txt"), names.Joliet("caf\xe9.txt")) << "a byte that is no UTF-8";
  EXPECT_EQ(Utf16(u"a_b_c_d_e_f_g_h_i_j.txt"), names.Joliet("a:b;c*d?e\\f<g>h\"i|j.txt"));
  EXPECT_EQ(Utf16(u"trail"), names.Joliet("trail. ")) << "Windows cannot open a trailing dot or space";
  EXPECT_EQ(Utf16(u"trail~1"), names.Joliet("trail")) << "taken by the name above";
  EXPECT_EQ(Utf16(u"grüß~1.TXT"), names.Joliet("grüß.TXT")) << "letter case does not make names differ";

  // Longer names are cut to 64 units, keeping a short extension, and
  // numbered when the cut makes them alike.
  const std::string longBase(70, 'L');
  const std::u16string cut = std::u16string(60, u'L') + u".txt";
  EXPECT_EQ(Utf16(cut), names.Joliet(longBase + "1.txt"));
  EXPECT_EQ(Utf16(std::u16string(58, u'L') + u"~1.txt"), names.Joliet(longBase + "2.txt"));
  EXPECT_EQ(Utf16(std::u16string(64, u'x')), names.Joliet(std::string(80, 'x')));
  // A cut never leaves half a surrogate pair.
  std::string emojis = "a";
  for (int i = 0; i < 40; ++i) emojis += "\xf0\x9f\x98\x80";
  EXPECT_EQ(126u, names.Joliet(emojis).size());
}

TEST(InterchangeNames, PrimaryOrderComparesNameThenExtensionAsIfPaddedWithSpaces) {
  std::vector<std::string> ids = {"AB.C;1", "A.Z;1", "A_B", "A", "AB", "A.B;1", "AB_1.C;1"};
  std::sort(ids.begin(), ids.end(), PrimaryIdentifierLess);
  EXPECT_EQ((std::vector<std::string>{"A", "A.B;1", "A.Z;1", "AB", "AB.C;1", "AB_1.C;1", "A_B"}), ids);
}

TEST(IsoLayoutSetting, InterchangeOnlyWhenAskedForClassicOtherwise) {
  struct Env {
    explicit Env(const char* value) {
      if (value) ::setenv("DORVIK_ISO_LAYOUT", value, 1);
      else ::unsetenv("DORVIK_ISO_LAYOUT");
    }
    ~Env() { ::unsetenv("DORVIK_ISO_LAYOUT"); }
  };
  for (const char* value : {"interchange", "Interchange"}) {
    Env env(value);
    EXPECT_EQ(IsoLayout::Interchange, ConfiguredIsoLayout()) << value;
  }
  for (const char* value : {static_cast<const char*>(nullptr), "", "classic", "joliet"}) {
    Env env(value);
    EXPECT_EQ(IsoLayout::Classic, ConfiguredIsoLayout()) << (value ? value : "unset");
  }
}

}  // namespace
}  // namespace dorvik::iso
