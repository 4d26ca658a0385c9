#include "platform/text.h"

#include <windows.h>

namespace dorvik::platform {

std::optional<std::u16string> ToUcs2(const std::string& text) {
  if (text.empty()) return std::u16string();
  if (text.size() > 0x7FFFFFFF) return std::nullopt;
  const int inLength = static_cast<int>(text.size());
  // MB_ERR_INVALID_CHARS: a byte the code page does not define fails the
  // name instead of becoming a silent replacement character.
  const int n = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), inLength, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text.data(), inLength, wide.data(), n);
  std::u16string out;
  out.reserve(wide.size());
  for (wchar_t c : wide) {
    if (c >= 0xD800 && c <= 0xDFFF) return std::nullopt;  // half of a pair: beyond UCS-2
    out.push_back(static_cast<char16_t>(c));
  }
  return out;
}

std::u32string DecodeUtf8Leniently(const std::string& text) {
  // The host's 8-bit text is in the ANSI code page here; a byte the code
  // page does not define becomes whatever the system maps it to, never a
  // failure, and surrogate pairs are joined.
  std::u32string out;
  if (text.empty() || text.size() > 0x7FFFFFFF) return out;
  const int inLength = static_cast<int>(text.size());
  const int n = ::MultiByteToWideChar(CP_ACP, 0, text.data(), inLength, nullptr, 0);
  if (n <= 0) return std::u32string(text.size(), kReplacementCharacter);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.data(), inLength, wide.data(), n);
  out.reserve(wide.size());
  for (size_t i = 0; i < wide.size(); ++i) {
    const char32_t c = static_cast<char16_t>(wide[i]);
    const bool high = c >= 0xD800 && c <= 0xDBFF;
    if (high && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
      out.push_back(0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(wide[i + 1]) - 0xDC00));
      ++i;
    } else {
      out.push_back(c >= 0xD800 && c <= 0xDFFF ? kReplacementCharacter : c);
    }
  }
  return out;
}

}  // namespace dorvik::platform
