#pragma once
// Settings a Windows build keeps in the registry under HKEY_LOCAL_MACHINE:
// WriteLog in Software\Quorvane (four bytes), WriteType, TempFile and
// IsoLayout in Software\Tavernix\Kilnor (strings; WriteType's leading digits
// are its number). On POSIX each comes from an environment variable:
// WriteLog -> DORVIK_WRITE_LOG, WriteType -> DORVIK_WRITE_TYPE,
// TempFile -> DORVIK_TEMP_FILE, IsoLayout -> DORVIK_ISO_LAYOUT.
#include <cstdint>
#include <optional>
#include <string>

namespace dorvik::platform {

enum class Setting { WriteLog, WriteType, TempFile, IsoLayout };

std::optional<uint32_t> ReadNumberSetting(Setting setting);
std::optional<std::string> ReadTextSetting(Setting setting);
// Folder for Record.log: beside the library file (on POSIX DORVIK_LOG_DIR
// first, when set).
std::string LogFolder();

}  // namespace dorvik::platform
