#include "layout_choice.h"

#include <cctype>
#include <cstdlib>
#include <string>

#include "dorvik.h"
#include "options.h"

namespace dorvik::cli {
namespace {

std::optional<int32_t> LayoutNamed(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (text == "classic") return DORVIK_LAYOUT_CLASSIC;
  if (text == "interchange") return DORVIK_LAYOUT_INTERCHANGE;
  return std::nullopt;
}

}  // namespace

std::optional<int32_t> ChooseLayout(const Arguments& args) {
  if (const auto value = args.Value("--layout")) return LayoutNamed(*value);
  if (const char* setting = std::getenv("DORVIK_ISO_LAYOUT"); setting && *setting)
    if (const auto layout = LayoutNamed(setting)) return layout;
  // Every reader opens the interchange layout; the library's own default
  // stays classic for hosts that expect it, and `--layout classic` or the
  // setting gives that here too.
  return DORVIK_LAYOUT_INTERCHANGE;
}

}  // namespace dorvik::cli
