#include "collection/previous_session_descriptor.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace dorvik {
namespace {

constexpr char kHexDateMark = '#';
constexpr size_t kDateBytes = 7;
// "#" and two hex digits per date byte; a plain date is never this long.
constexpr size_t kHexDateLength = 1 + 2 * kDateBytes;

std::string CleanName(const std::string& name) {
  std::string out = name;
  for (char& c : out)
    if (c == '>') c = '_';
  return out;
}

// The date bytes as the directory record holds them, up to the first zero.
std::string_view DateText(const uint8_t date[7]) {
  size_t n = 0;
  while (n < kDateBytes && date[n] != 0) ++n;
  return {reinterpret_cast<const char*>(date), n};
}

// A date byte of '>' would end the field early and shift every field after
// it, so such dates are written as "#" and 14 hex digits instead. The bytes
// after the first zero are written as zero, which keeps the parsed date the
// same as for the plain form.
std::string EncodeDate(const uint8_t date[7]) {
  std::string_view text = DateText(date);
  if (text.find('>') == std::string_view::npos) return std::string(text);
  static const char* kHex = "0123456789ABCDEF";
  std::string out(1, kHexDateMark);
  for (size_t i = 0; i < kDateBytes; ++i) {
    uint8_t b = i < text.size() ? static_cast<uint8_t>(text[i]) : 0;
    out += kHex[b >> 4];
    out += kHex[b & 0x0F];
  }
  return out;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::vector<uint8_t> DecodeDate(std::string_view field) {
  if (field.size() == kHexDateLength && field[0] == kHexDateMark) {
    std::vector<uint8_t> bytes;
    bool valid = true;
    for (size_t i = 0; i < kDateBytes && valid; ++i) {
      int hi = HexValue(field[1 + 2 * i]), lo = HexValue(field[2 + 2 * i]);
      if (hi < 0 || lo < 0) valid = false;
      else bytes.push_back(static_cast<uint8_t>(hi << 4 | lo));
    }
    if (valid) {
      size_t n = 0;
      while (n < bytes.size() && bytes[n] != 0) ++n;
      bytes.resize(n);
      return bytes;
    }
  }
  if (field.size() > kDateBytes) field = field.substr(0, kDateBytes);
  return {field.begin(), field.end()};
}

// The leading decimal number of a field, as the C library's atoi reads it,
// held to the 32-bit range.
int32_t DecimalValue(std::string_view field) {
  std::string text(field);
  long long v = std::strtoll(text.c_str(), nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

}  // namespace

std::string MakeFolderDescriptor(const std::string& name) { return "<2><" + CleanName(name) + ">"; }

std::string MakeFileDescriptor(const std::string& name, const uint8_t date[7], int32_t size, int32_t extent) {
  return "<1><" + CleanName(name) + "><" + EncodeDate(date) + "><" + std::to_string(size) + "><" +
         std::to_string(extent) + ">";
}

SessionDescriptor ParseSessionDescriptor(const std::string& text) {
  SessionDescriptor d;
  d.kind = text.rfind("<1>", 0) == 0 ? SessionEntryKind::File : SessionEntryKind::Folder;
  if (text.size() <= 4) return d;
  std::string_view rest(text);
  rest.remove_prefix(4);

  auto end = rest.find('>');
  if (end == std::string_view::npos || end == 0) return d;
  d.name = std::string(rest.substr(0, end));
  if (d.kind == SessionEntryKind::Folder) return d;

  // Each later field follows its predecessor's ">" and the next field's "<".
  auto next = [&rest](size_t fieldEnd) {
    rest.remove_prefix(std::min(rest.size(), fieldEnd + 2));
    return rest.find('>');
  };
  end = next(end);
  if (end == std::string_view::npos) return d;
  d.date = DecodeDate(rest.substr(0, end));
  end = next(end);
  if (end == std::string_view::npos) return d;
  d.size = DecimalValue(rest.substr(0, end));
  end = next(end);
  if (end == std::string_view::npos) return d;
  d.extent = DecimalValue(rest.substr(0, end));
  return d;
}

std::array<uint8_t, 7> FullDate(const SessionDescriptor& descriptor) {
  std::array<uint8_t, 7> out{};
  for (size_t i = 0; i < out.size() && i < descriptor.date.size(); ++i) out[i] = descriptor.date[i];
  return out;
}

}  // namespace dorvik
