#include "iso/iso_names.h"

#include "platform/text.h"

namespace dorvik::iso {

namespace {

// The first n bytes of text, stepping back so no multibyte character is
// split (a cut sequence would make the identifier invalid text).
std::string LeadingBytes(const std::string& text, size_t n) {
  if (text.size() <= n) return text;
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return text.substr(0, n);
}

std::string ShortBase(const std::string& base) {
  if (base.size() <= 8) return base;
  return LeadingBytes(base, 6) + "~1";
}

}  // namespace

std::string PrimaryFolderName(const std::string& name) { return ShortBase(name); }

std::string PrimaryFileName(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos) return ShortBase(name);
  return ShortBase(name.substr(0, dot)) + "." + LeadingBytes(name.substr(dot + 1), 3);
}

std::optional<std::string> JolietName(const std::string& name) {
  auto ucs2 = platform::ToUcs2(name);
  if (!ucs2) return std::nullopt;
  std::u16string text = std::move(*ucs2);
  if (text.size() > kJolietNameLimit) {
    const size_t dot = text.rfind(u'.');
    const size_t extension = dot == std::u16string::npos ? 0 : text.size() - dot;  // with its '.'
    if (extension > 1 && extension < kJolietNameLimit)
      text = text.substr(0, kJolietNameLimit - extension) + text.substr(dot);
    else
      text.resize(kJolietNameLimit);
  }
  std::string out;
  out.reserve(text.size() * 2);
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c >> 8));
    out.push_back(static_cast<char>(c & 0xFF));
  }
  return out;
}

}  // namespace dorvik::iso
