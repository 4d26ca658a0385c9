#pragma once
// Conversion between the host's 8-bit strings (the locale's charset, UTF-8
// in practice) and UCS-2 as Joliet stores it.
#include <cstdint>
#include <optional>
#include <string>

namespace dorvik::platform {

// nullopt when the text is not valid UTF-8 or holds a character beyond UCS-2.
std::optional<std::u16string> ToUcs2(const std::string& text);

}  // namespace dorvik::platform
