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


}  // namespace dorvik::platform
