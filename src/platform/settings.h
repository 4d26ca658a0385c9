#pragma once
// Settings a Windows build keeps in the registry. On POSIX each comes from
// an environment variable: WriteLog -> DORVIK_WRITE_LOG,
// WriteType -> DORVIK_WRITE_TYPE, TempFile -> DORVIK_TEMP_FILE,
// IsoLayout -> DORVIK_ISO_LAYOUT. On Windows IsoLayout is a text value
// beside WriteType and TempFile (key "Software\Tavernix\Kilnor\").
#include <cstdint>
#include <optional>
#include <string>

namespace dorvik::platform {

enum class Setting { WriteLog, WriteType, TempFile, IsoLayout };

std::optional<uint32_t> ReadNumberSetting(Setting setting);
std::optional<std::string> ReadTextSetting(Setting setting);
// Folder for Record.log: DORVIK_LOG_DIR, else beside the library file.
std::string LogFolder();

}  // namespace dorvik::platform
