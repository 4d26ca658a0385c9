#pragma once
// The recorder's settings from the environment (DORVIK_VIRTUAL_OPTIONS,
// DORVIK_VIRTUAL_FAULTS) are lists of entries separated by ';', with
// numbers in them.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace dorvik::emulator {

// The non-empty entries of a ';'-separated list.
inline std::vector<std::string> SplitEntries(const std::string& text) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find(';', pos);
    if (end == std::string::npos) end = text.size();
    if (end > pos) out.push_back(text.substr(pos, end - pos));
    pos = end + 1;
  }
  return out;
}

// A whole number in base (0: decimal, or hexadecimal after "0x") no larger
// than limit.
inline bool ParseUnsigned(const std::string& text, int base, uint32_t limit, uint32_t& out) {
  if (text.empty()) return false;
  char* end = nullptr;
  const unsigned long long v = std::strtoull(text.c_str(), &end, base);
  if (*end != '\0' || v > limit) return false;
  out = static_cast<uint32_t>(v);
  return true;
}

}  // namespace dorvik::emulator
