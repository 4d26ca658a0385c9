#pragma once
// Conversion between the host's 8-bit strings (the locale's charset, UTF-8
// in practice) and UCS-2 as Joliet stores it.
#include <cstdint>
#include <optional>
#include <string>

namespace dorvik::platform {

// nullopt when the text is not valid UTF-8 or holds a character beyond UCS-2.
std::optional<std::u16string> ToUcs2(const std::string& text);

inline constexpr char32_t kReplacementCharacter = U'\uFFFD';

// Every character of the text as a code point, never failing: each byte
// that does not belong to a well-formed UTF-8 sequence (a stray byte, an
// overlong or cut sequence, an encoded surrogate, a value past U+10FFFF)
// comes out as U+FFFD, so a name in another charset still has a spelling.
std::u32string DecodeUtf8Leniently(const std::string& text);
// UTF-16, characters beyond U+FFFF as surrogate pairs.
std::u16string ToUtf16(const std::u32string& text);

}  // namespace dorvik::platform
