#pragma once
// The image layout a composing command uses: --layout, else the
// DORVIK_ISO_LAYOUT setting when it names a layout, else interchange (the
// program's default: every reader opens it; the library's own default stays
// classic).
#include <cstdint>
#include <optional>

namespace dorvik::cli {

class Arguments;

// DORVIK_LAYOUT_CLASSIC or DORVIK_LAYOUT_INTERCHANGE; nullopt for a bad --layout.
std::optional<int32_t> ChooseLayout(const Arguments& args);

}  // namespace dorvik::cli
