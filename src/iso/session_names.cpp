#include "iso/session_names.h"

#include <algorithm>

namespace dorvik::iso {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string FromUtf16BigEndian(const uint8_t* p, size_t length) {
  std::string out;
  const size_t units = length / 2;
  for (size_t i = 0; i < units; ++i) {
    const char32_t u = static_cast<char32_t>(p[2 * i] << 8 | p[2 * i + 1]);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units) {
      const char32_t low = static_cast<char32_t>(p[2 * i + 2] << 8 | p[2 * i + 3]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    AppendUtf8(out, u >= 0xD800 && u <= 0xDFFF ? kReplacement : u);
  }
  return out;
}

// Length of the well-formed UTF-8 sequence at p (at most n bytes), 0 if none.
size_t Utf8SequenceAt(const uint8_t* p, size_t n) {
  const uint8_t b = p[0];
  size_t extra;
  char32_t c;
  if (b < 0x80) return 1;
  if ((b & 0xE0) == 0xC0) { extra = 1; c = b & 0x1F; }
  else if ((b & 0xF0) == 0xE0) { extra = 2; c = b & 0x0F; }
  else if ((b & 0xF8) == 0xF0) { extra = 3; c = b & 0x07; }
  else return 0;
  if (extra >= n) return 0;
  for (size_t k = 1; k <= extra; ++k) {
    if ((p[k] & 0xC0) != 0x80) return 0;
    c = (c << 6) | (p[k] & 0x3F);
  }
  static const char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
  if (c < kSmallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  return extra + 1;
}

std::string FromPrimaryBytes(const uint8_t* p, size_t length) {
  std::string out;
  for (size_t i = 0; i < length;) {
    const size_t n = Utf8SequenceAt(p + i, length - i);
    if (n == 0) {
      AppendUtf8(out, p[i]);  // Latin-1
      ++i;
    } else {
      out.append(reinterpret_cast<const char*>(p + i), n);
      i += n;
    }
  }
  return out;
}

size_t CharacterBoundaryAtOrBefore(const std::string& text, size_t n) {
  while (n > 0 && n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return n;
}

}  // namespace

std::string FitName(const std::string& name, size_t limit) {
  if (name.size() <= limit) return name;
  const size_t dot = name.rfind('.');
  const size_t extension = dot == std::string::npos ? 0 : name.size() - dot;  // with its '.'
  if (dot != std::string::npos && dot > 0 && extension < limit / 2) {
    const size_t base = CharacterBoundaryAtOrBefore(name, limit - extension);
    if (base > 0) return name.substr(0, base) + name.substr(dot);
  }
  return name.substr(0, CharacterBoundaryAtOrBefore(name, limit));
}

std::optional<std::string> ImportedName(const uint8_t* identifier, size_t length, bool joliet, bool directory) {
  std::string name = joliet ? FromUtf16BigEndian(identifier, length) : FromPrimaryBytes(identifier, length);
  if (!directory) {
    if (name.size() >= 2 && name.compare(name.size() - 2, 2, ";1") == 0) {
      name.resize(name.size() - 2);
      if (!joliet && !name.empty() && name.back() == '.') name.pop_back();
    }
  }
  if (name.empty() || name == "." || name == "..") return std::nullopt;
  if (name.find_first_of(std::string("/\\\0", 3)) != std::string::npos) return std::nullopt;
  // A descriptor field cannot hold '>'; the collection writes '_' for it,
  // and so must every path that names the entry.
  std::replace(name.begin(), name.end(), '>', '_');
  return FitName(name, kImportedNameLimit);
}

}  // namespace dorvik::iso
