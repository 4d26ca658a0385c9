#include "iso/iso_layout.h"

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

IsoLayout ConfiguredIsoLayout() {
  const auto text = platform::ReadTextSetting(platform::Setting::IsoLayout);
  if (!text) return IsoLayout::Classic;
  return ParseIsoLayout(*text).value_or(IsoLayout::Classic);
}

}  // namespace dorvik::iso
