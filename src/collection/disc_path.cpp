#include "collection/disc_path.h"

#include "platform/files.h"

namespace dorvik {

std::string NormaliseTargetFolder(const std::string& target) {
  std::string out = target;
  if (out.empty() || out.front() != kDiscSeparator) out.insert(out.begin(), kDiscSeparator);
  if (out.size() > 1 && out.back() != kDiscSeparator) out += kDiscSeparator;
  return out;
}

bool IsSafeEntryName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name)
    if (c == kDiscSeparator || c == platform::kPathSeparator || c == '\0') return false;
  return true;
}

std::optional<std::vector<std::string>> SplitDiscPath(const std::string& discPath) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= discPath.size()) {
    size_t end = discPath.find(kDiscSeparator, start);
    if (end == std::string::npos) end = discPath.size();
    std::string part = discPath.substr(start, end - start);
    if (!part.empty()) {
      if (!IsSafeEntryName(part)) return std::nullopt;
      parts.push_back(std::move(part));
    }
    start = end + 1;
  }
  return parts;
}

}  // namespace dorvik
