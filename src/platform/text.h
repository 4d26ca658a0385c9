#pragma once
// Conversion between the host's 8-bit strings and UCS-2 as Joliet stores
// it. The 8-bit charset is UTF-8 on POSIX and the system's ANSI code page on
// Windows.
#include <cstdint>
#include <optional>
#include <string>

namespace dorvik::platform {

// nullopt when the text is not valid in the 8-bit charset or holds a
// character beyond UCS-2.
std::optional<std::u16string> ToUcs2(const std::string& text);

inline constexpr char32_t kReplacementCharacter = U'\uFFFD';

// Every character of the text as a code point, never failing: each byte
// that does not belong to a well-formed UTF-8 sequence (a stray byte, an
// overlong or cut sequence, an encoded surrogate, a value past U+10FFFF)
// comes out as U+FFFD, so a name in another charset still has a spelling.
// On Windows the host's text is in the ANSI code page, and that is what is
// decoded (every byte has a character there).
std::u32string DecodeUtf8Leniently(const std::string& text);
// UTF-16, characters beyond U+FFFF as surrogate pairs.
std::u16string ToUtf16(const std::u32string& text);

}  // namespace dorvik::platform
