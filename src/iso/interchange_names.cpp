#include "iso/interchange_names.h"

#include <algorithm>
#include <string_view>

#include "platform/text.h"

namespace dorvik::iso {

namespace {

// Latin-1 letters U+00C0 to U+00FF without their marks; "" for the two
// signs in that block.
constexpr std::string_view kLatin1Letters[64] = {
    "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I", "I",  //
    "D", "N", "O", "O", "O", "O", "O",  "",  "O", "U", "U", "U", "U", "Y", "TH", "SS",  //
    "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I", "I",  //
    "D", "N", "O", "O", "O", "O", "O",  "",  "O", "U", "U", "U", "U", "Y", "TH", "Y"};

bool IsDCharacter(char32_t c) { return (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9') || c == U'_'; }

// Joliet cannot hold control characters and * / : ; ? \; Windows, its
// main reader, cannot open names with < > " | either.
bool JolietForbidden(char16_t c) {
  return c < 0x20 || c == u'*' || c == u'/' || c == u':' || c == u';' || c == u'?' || c == u'\\' || c == u'<' ||
         c == u'>' || c == u'"' || c == u'|';
}

// Windows drops dots and spaces at the end of a name, and could then not
// find the file; they go, and a name of nothing else becomes "_".
std::u16string WithoutTrailingDotsAndSpaces(std::u16string name) {
  while (!name.empty() && (name.back() == u'.' || name.back() == u' ')) name.pop_back();
  return name.empty() ? u"_" : name;
}

char16_t FoldCase(char16_t c) { return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c; }

std::u16string Folded(const std::u16string& text) {
  std::u16string out(text);
  for (char16_t& c : out) c = FoldCase(c);
  return out;
}

std::u16string Ascii16(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }

// The first n units, one fewer when the cut would split a surrogate pair.
std::u16string Leading(const std::u16string& text, size_t n) {
  if (text.size() <= n) return text;
  if (n > 0 && IsHighSurrogate(text[n - 1])) --n;
  return text.substr(0, n);
}

// Where a name's extension begins (its last '.'), or npos. A leading dot
// marks a hidden file on POSIX, not an extension.
size_t ExtensionDot(const std::u16string& name) {
  const size_t dot = name.rfind(u'.');
  return dot == 0 ? std::u16string::npos : dot;
}

// Extensions up to this many units (with the dot) survive a cut.
constexpr size_t kLongestKeptExtension = 16;

// name cut to limit units; an extension of a few units stays whole.
std::u16string Cut(const std::u16string& name, size_t limit) {
  if (name.size() <= limit) return name;
  const size_t dot = ExtensionDot(name);
  const size_t extension = dot == std::u16string::npos ? 0 : name.size() - dot;
  if (extension > 1 && extension <= kLongestKeptExtension) return Leading(name, limit - extension) + name.substr(dot);
  return Leading(name, limit);
}

std::string BigEndian(const std::u16string& text) {
  std::string out;
  out.reserve(2 * text.size());
  for (char16_t c : text) {
    out.push_back(static_cast<char>(c >> 8));
    out.push_back(static_cast<char>(c & 0xFF));
  }
  return out;
}

// A file identifier's name and extension, without the version.
std::pair<std::string_view, std::string_view> SplitPrimary(std::string_view id) {
  id = id.substr(0, id.find(';'));
  const size_t dot = id.find('.');
  if (dot == std::string_view::npos) return {id, {}};
  return {id.substr(0, dot), id.substr(dot + 1)};
}

// Compares as if the shorter were padded with spaces.
int ComparePadded(std::string_view a, std::string_view b) {
  for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    const auto x = static_cast<unsigned char>(i < a.size() ? a[i] : ' ');
    const auto y = static_cast<unsigned char>(i < b.size() ? b[i] : ' ');
    if (x != y) return x < y ? -1 : 1;
  }
  return 0;
}

}  // namespace

std::string DCharacters(const std::string& text, bool keepSpaces) {
  std::string out;
  bool lastReplaced = false;
  auto replace = [&] {
    if (!lastReplaced) out += '_';
    lastReplaced = true;
  };
  for (char32_t c : platform::DecodeUtf8Leniently(text)) {
    if (c >= U'a' && c <= U'z') c -= 32;
    if (IsDCharacter(c)) {
      out += static_cast<char>(c);
      lastReplaced = false;
    } else if (c == U' ' || c == U'.') {
      if (keepSpaces && c == U' ') replace();
    } else if (c >= 0xC0 && c <= 0xFF && !kLatin1Letters[c - 0xC0].empty()) {
      out += kLatin1Letters[c - 0xC0];
      lastReplaced = false;
    } else {
      replace();
    }
  }
  return out;
}

std::string DirectoryNames::UniquePrimary(const std::string& base, const std::string& extension, bool shortened) {
  const std::string tail = extension.empty() ? "" : "." + extension;
  if (!shortened && primary_.insert(base + tail).second) return base;
  // A shortened name always carries a number, as the short names people
  // know from other systems do, so two long names never differ only by
  // which of them was met first.
  uint32_t& next = nextPrimaryNumber_[base + "." + extension];
  for (;;) {
    // Appended rather than `"_" + to_string(...)`, which GCC 12 at -O3
    // misreads as an overlapping copy (-Wrestrict).
    std::string suffix(1, '_');
    suffix += std::to_string(++next);
    const std::string numbered = base.substr(0, std::min(base.size(), kPrimaryBaseLimit - suffix.size())) + suffix;
    if (primary_.insert(numbered + tail).second) return numbered;
  }
}

std::string DirectoryNames::File(const std::string& hostName) {
  const size_t start = hostName.find_first_not_of('.');
  const std::string name = start == std::string::npos ? "" : hostName.substr(start);
  const size_t dot = name.rfind('.');
  std::string base = DCharacters(name.substr(0, dot));
  std::string extension = dot == std::string::npos ? "" : DCharacters(name.substr(dot + 1));
  if (base.empty()) base.push_back('_');
  const bool shortened = base.size() > kPrimaryBaseLimit || extension.size() > kPrimaryExtensionLimit;
  base.resize(std::min(base.size(), kPrimaryBaseLimit));
  extension.resize(std::min(extension.size(), kPrimaryExtensionLimit));
  return UniquePrimary(base, extension, shortened) + "." + extension + ";1";
}

std::string DirectoryNames::Folder(const std::string& hostName) {
  std::string base = DCharacters(hostName);
  if (base.empty()) base.push_back('_');
  const bool shortened = base.size() > kPrimaryBaseLimit;
  base.resize(std::min(base.size(), kPrimaryBaseLimit));
  return UniquePrimary(base, "", shortened);
}

std::string DirectoryNames::Joliet(const std::string& hostName) {
  std::u16string name = platform::ToUtf16(platform::DecodeUtf8Leniently(hostName));
  for (char16_t& c : name)
    if (JolietForbidden(c)) c = u'_';
  name = WithoutTrailingDotsAndSpaces(Cut(WithoutTrailingDotsAndSpaces(name), kInterchangeJolietLimit));
  if (joliet_.insert(Folded(name)).second) return BigEndian(name);

  size_t dot = ExtensionDot(name);
  if (dot != std::u16string::npos && name.size() - dot > kLongestKeptExtension) dot = std::u16string::npos;
  const std::u16string base = name.substr(0, dot);
  const std::u16string extension = dot == std::u16string::npos ? u"" : name.substr(dot);
  uint32_t& next = nextJolietNumber_[Folded(name)];
  for (;;) {
    std::string number(1, '~');
    number += std::to_string(++next);
    const std::u16string suffix = Ascii16(number);
    const std::u16string numbered =
        Leading(base, kInterchangeJolietLimit - suffix.size() - extension.size()) + suffix + extension;
    if (joliet_.insert(Folded(numbered)).second) return BigEndian(numbered);
  }
}

bool PrimaryIdentifierLess(const std::string& a, const std::string& b) {
  const auto [nameA, extensionA] = SplitPrimary(a);
  const auto [nameB, extensionB] = SplitPrimary(b);
  if (const int byName = ComparePadded(nameA, nameB)) return byName < 0;
  return ComparePadded(extensionA, extensionB) < 0;
}

bool JolietIdentifierLess(const std::string& a, const std::string& b) {
  // Big-endian bytes compare as their UTF-16 units do.
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
  });
}

}  // namespace dorvik::iso
