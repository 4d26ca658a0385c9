#include "iso/iso_layout.h"

#include <atomic>
#include <cctype>
#include <string>

#include "platform/settings.h"

namespace dorvik::iso {

std::optional<IsoLayout> ParseIsoLayout(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (lower == "classic") return IsoLayout::Classic;
  if (lower == "interchange") return IsoLayout::Interchange;
  return std::nullopt;
}

std::string_view IsoLayoutName(IsoLayout layout) {
  return layout == IsoLayout::Interchange ? "interchange" : "classic";
}

ImageRules RulesOf(IsoLayout layout) {
  if (layout == IsoLayout::Classic) return kClassicRules;
  ImageRules rules;
  rules.anyName = true;
  rules.largestFile = kInterchangeLargestFile;
  return rules;
}

namespace {
// -1: no choice made; otherwise the IsoLayout's value.
std::atomic<int> hostChoice{-1};
}  // namespace

void ChooseIsoLayout(std::optional<IsoLayout> layout) { hostChoice = layout ? static_cast<int>(*layout) : -1; }

IsoLayout ConfiguredIsoLayout() {
  if (const int choice = hostChoice.load(); choice >= 0) return static_cast<IsoLayout>(choice);
  const auto text = platform::ReadTextSetting(platform::Setting::IsoLayout);
  if (!text) return IsoLayout::Classic;
  return ParseIsoLayout(*text).value_or(IsoLayout::Classic);
}

}  // namespace dorvik::iso
