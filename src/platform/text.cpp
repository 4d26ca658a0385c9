// The part of the text conversions that does not depend on the host's charset.
#include "platform/text.h"

namespace dorvik::platform {

std::u16string ToUtf16(const std::u32string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (char32_t cp : text) {
    if (cp < 0x10000) {
      out.push_back(static_cast<char16_t>(cp));
    } else {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    }
  }
  return out;
}

}  // namespace dorvik::platform
