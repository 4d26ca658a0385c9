#include "platform/settings.h"

#include <cstdlib>

#include "platform/files.h"

namespace dorvik::platform {

namespace {
const char* VariableOf(Setting s) {
  switch (s) {
    case Setting::WriteLog: return "DORVIK_WRITE_LOG";
    case Setting::WriteType: return "DORVIK_WRITE_TYPE";
    case Setting::TempFile: return "DORVIK_TEMP_FILE";
    case Setting::IsoLayout: return "DORVIK_ISO_LAYOUT";
  }
  return "";
}
}  // namespace

std::optional<std::string> ReadTextSetting(Setting setting) {
  const char* v = std::getenv(VariableOf(setting));
  if (!v) return std::nullopt;
  return std::string(v);
}

std::optional<uint32_t> ReadNumberSetting(Setting setting) {
  auto text = ReadTextSetting(setting);
  if (!text || text->empty()) return std::nullopt;
  char* end = nullptr;
  unsigned long v = std::strtoul(text->c_str(), &end, 0);
  if (*end != '\0') return std::nullopt;
  return static_cast<uint32_t>(v);
}

std::string LogFolder() {
  if (const char* d = std::getenv("DORVIK_LOG_DIR"); d && *d) {
    std::string dir = d;
    if (dir.back() != kPathSeparator) dir += kPathSeparator;
    return dir;
  }
  return FolderOf(LibraryFilePath());
}

}  // namespace dorvik::platform
