#pragma once
// Names of entries read back from a disc's directory records, as the
// collection will carry them: the host's 8-bit text (UTF-8), without the
// marks ISO 9660 adds to a file name.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace dorvik::iso {

// Longest name, in bytes, that an old entry keeps.
inline constexpr size_t kImportedNameLimit = 255;

// The name a directory record's identifier stands for:
// - Joliet: big-endian UTF-16 (an odd last byte is ignored); a surrogate
//   without its partner becomes U+FFFD.
// - primary: the bytes as they are where they form UTF-8; any other byte is
//   taken as Latin-1, so every name has a spelling the composer can write.
// A file loses a trailing ";1"; in the primary tree also the "." left of an
// empty extension ("MAKEFILE.;1" is MAKEFILE). A '>', which no descriptor
// can hold, becomes '_'. Names longer than
// kImportedNameLimit are cut, keeping their extension.
// nullopt when the name cannot name an entry: empty, "." or "..", or holding
// NUL, '/' or '\'.
std::optional<std::string> ImportedName(const uint8_t* identifier, size_t length, bool joliet, bool directory);

// At most limit bytes of name, never splitting a character; the extension
// (from the last '.') is kept when it is short enough to leave a base.
std::string FitName(const std::string& name, size_t limit);

}  // namespace dorvik::iso
