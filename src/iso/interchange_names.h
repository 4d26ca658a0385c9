#pragma once
// Names in the interchange layout. The primary tree gets 8.3 names made of
// d-characters (A-Z, 0-9, '_') with a ";1" version, unique within their
// directory; the Joliet tree keeps the host's name, in UTF-16, at most 64
// units, unique within its directory whatever the letter case. Every host
// name has both: nothing is left out for its spelling.
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>

namespace dorvik::iso {

inline constexpr size_t kInterchangeJolietLimit = 64;  // UTF-16 units per name
inline constexpr size_t kPrimaryBaseLimit = 8;
inline constexpr size_t kPrimaryExtensionLimit = 3;

// Text spelt in d-characters: ASCII letters in upper case, accented Latin
// letters without their accents, digits and '_' kept; spaces and dots are
// dropped (keepSpaces: each becomes '_'), and every run of other characters
// becomes one '_'.
std::string DCharacters(const std::string& text, bool keepSpaces = false);

// The names of one directory's entries, handed out one entry at a time; each
// is unique among those handed out before it.
class DirectoryNames {
 public:
  // "BASE.EXT;1", or "BASE.;1" without an extension.
  std::string File(const std::string& hostName);
  // At most eight d-characters.
  std::string Folder(const std::string& hostName);
  // Big-endian UTF-16 bytes.
  std::string Joliet(const std::string& hostName);

 private:
  std::string UniquePrimary(const std::string& base, const std::string& extension, bool shortened);

  std::unordered_set<std::string> primary_;  // "BASE.EXT", "BASE" (files without extension and folders)
  std::unordered_map<std::string, uint32_t> nextPrimaryNumber_;
  std::unordered_set<std::u16string> joliet_;  // ASCII letters folded to upper case
  std::unordered_map<std::u16string, uint32_t> nextJolietNumber_;
};

// Directory record order: primary identifiers by name, then extension, each
// compared as if padded with spaces; Joliet identifiers by UTF-16 unit.
bool PrimaryIdentifierLess(const std::string& a, const std::string& b);
bool JolietIdentifierLess(const std::string& a, const std::string& b);

}  // namespace dorvik::iso
