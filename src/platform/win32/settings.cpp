#include "platform/settings.h"

#include <windows.h>

#include <cctype>
#include <vector>

#include "platform/files.h"

namespace dorvik::platform {

namespace {

// Each setting's key below HKEY_LOCAL_MACHINE, one level per entry.
std::vector<const char*> KeyPathOf(Setting s) {
  switch (s) {
    case Setting::WriteLog: return {"Software", "Quorvane"};
    case Setting::WriteType:
    case Setting::TempFile:
    case Setting::IsoLayout: return {"Software", "Tavernix", "Kilnor"};
  }
  return {};
}

const char* ValueNameOf(Setting s) {
  switch (s) {
    case Setting::WriteLog: return "WriteLog";
    case Setting::WriteType: return "WriteType";
    case Setting::TempFile: return "TempFile";
    case Setting::IsoLayout: return "IsoLayout";
  }
  return "";
}

// Opens each level, creating it when it cannot be opened; null when a level
// can be neither. The caller closes the key returned.
HKEY OpenSettingKey(Setting s) {
  HKEY parent = HKEY_LOCAL_MACHINE;
  for (const char* level : KeyPathOf(s)) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(parent, level, 0, KEY_READ, &key) != ERROR_SUCCESS &&
        ::RegCreateKeyExA(parent, level, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
      key = nullptr;
    if (parent != HKEY_LOCAL_MACHINE) ::RegCloseKey(parent);
    if (!key) return nullptr;
    parent = key;
  }
  return parent;
}

// The value's bytes, at most capacity of them; nullopt when it cannot be
// read whole into that many.
std::optional<std::vector<char>> QueryValue(Setting s, DWORD capacity) {
  HKEY key = OpenSettingKey(s);
  if (!key) return std::nullopt;
  std::vector<char> bytes(capacity, 0);
  DWORD size = capacity;
  const LONG r = ::RegQueryValueExA(key, ValueNameOf(s), nullptr, nullptr, reinterpret_cast<BYTE*>(bytes.data()),
                                    &size);
  ::RegCloseKey(key);
  if (r != ERROR_SUCCESS) return std::nullopt;
  bytes.resize(size);
  return bytes;
}

constexpr DWORD kTextCapacity = 260;

}  // namespace

std::optional<std::string> ReadTextSetting(Setting setting) {
  auto bytes = QueryValue(setting, kTextCapacity);
  if (!bytes) return std::nullopt;
  std::string text(bytes->data(), bytes->size());
  // Stored with or without its NUL; the text ends at the first one.
  if (auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  return text;
}

std::optional<uint32_t> ReadNumberSetting(Setting setting) {
  if (setting == Setting::WriteLog) {
    // Four bytes whatever the value's type, little-endian.
    auto bytes = QueryValue(setting, 4);
    if (!bytes) return std::nullopt;
    uint32_t v = 0;
    for (size_t i = 0; i < bytes->size(); ++i) v |= static_cast<uint32_t>(static_cast<uint8_t>((*bytes)[i])) << (8 * i);
    return v;
  }
  // A string whose leading decimal digits are the number; none count as 0.
  auto text = ReadTextSetting(setting);
  if (!text) return std::nullopt;
  uint32_t v = 0;
  for (char c : *text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) break;
    const auto digit = static_cast<uint32_t>(c - '0');
    if (v > (UINT32_MAX - digit) / 10) return UINT32_MAX;  // held at the top, never wrapped round to 1
    v = v * 10 + digit;
  }
  return v;
}

std::string LogFolder() { return FolderOf(LibraryFilePath()); }

}  // namespace dorvik::platform
