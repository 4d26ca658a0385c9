#include "platform/text.h"

namespace dorvik::platform {

std::optional<std::u16string> ToUcs2(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    auto b = static_cast<unsigned char>(text[i]);
    uint32_t cp;
    size_t extra;
    if (b < 0x80) { cp = b; extra = 0; }
    else if ((b & 0xE0) == 0xC0) { cp = b & 0x1F; extra = 1; }
    else if ((b & 0xF0) == 0xE0) { cp = b & 0x0F; extra = 2; }
    else return std::nullopt;  // four-byte sequences lie beyond UCS-2
    for (size_t k = 1; k <= extra; ++k) {
      if (i + k >= text.size()) return std::nullopt;
      auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) return std::nullopt;
      cp = (cp << 6) | (c & 0x3F);
    }
    if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800)) return std::nullopt;  // overlong
    if (cp >= 0xD800 && cp <= 0xDFFF) return std::nullopt;
    out.push_back(static_cast<char16_t>(cp));
    i += extra + 1;
  }
  return out;
}

std::u32string DecodeUtf8Leniently(const std::string& text) {
  std::u32string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    size_t extra = 0;
    char32_t cp = b;
    char32_t least = 0;  // smallest value the sequence length may carry
    if (b >= 0xC2 && b <= 0xDF) { extra = 1; cp = b & 0x1F; least = 0x80; }
    else if ((b & 0xF0) == 0xE0) { extra = 2; cp = b & 0x0F; least = 0x800; }
    else if (b >= 0xF0 && b <= 0xF4) { extra = 3; cp = b & 0x07; least = 0x10000; }
    else if (b >= 0x80) { out.push_back(kReplacementCharacter); ++i; continue; }
    bool wellFormed = i + extra < text.size();
    for (size_t k = 1; wellFormed && k <= extra; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) wellFormed = false;
      else cp = (cp << 6) | (c & 0x3F);
    }
    if (wellFormed && (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) wellFormed = false;
    if (!wellFormed) {
      // Only the lead byte is given up; what follows is read afresh.
      out.push_back(kReplacementCharacter);
      ++i;
      continue;
    }
    out.push_back(cp);
    i += extra + 1;
  }
  return out;
}

}  // namespace dorvik::platform
