#include "platform/files.h"

#include <windows.h>

#include <algorithm>

namespace dorvik::platform {

namespace {

// 100-ns ticks since 1601 to seconds since 1970.
std::time_t ToUnixTime(const FILETIME& ft) {
  const uint64_t ticks = (uint64_t{ft.dwHighDateTime} << 32) | ft.dwLowDateTime;
  constexpr uint64_t kEpochDifference = 116444736000000000ull;
  if (ticks < kEpochDifference) return 0;
  return static_cast<std::time_t>((ticks - kEpochDifference) / 10000000ull);
}

uint64_t Size(DWORD high, DWORD low) { return (uint64_t{high} << 32) | low; }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::string TempDirectory() {
  char buffer[MAX_PATH + 1] = {};
  const DWORD n = ::GetTempPathA(sizeof buffer, buffer);
  if (n == 0 || n > MAX_PATH) return {};
  std::string dir(buffer, n);
  if (!IsSeparator(dir.back())) dir += kPathSeparator;
  return IsDirectory(dir) ? dir : std::string();
}

std::vector<DirEntry> ListDirectory(const std::string& path) {
  std::vector<DirEntry> out;
  std::string pattern = path;
  if (!pattern.empty() && !IsSeparator(pattern.back())) pattern += kPathSeparator;
  pattern += '*';
  WIN32_FIND_DATAA data{};
  HANDLE find = ::FindFirstFileA(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return out;
  do {
    std::string name = data.cFileName;
    if (name == "." || name == "..") continue;
    DirEntry entry;
    entry.name = std::move(name);
    entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.isSymlink = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    entry.size = entry.isDirectory ? 0 : Size(data.nFileSizeHigh, data.nFileSizeLow);
    entry.modified = ToUnixTime(data.ftLastWriteTime);
    out.push_back(std::move(entry));
  } while (::FindNextFileA(find, &data));
  ::FindClose(find);
  std::sort(out.begin(), out.end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  return out;
}

std::optional<FolderIdentity> IdentifyFolder(const std::string& path) {
  // FILE_FLAG_BACKUP_SEMANTICS is what lets CreateFile open a folder.
  HANDLE h = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = ::GetFileInformationByHandle(h, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  ::CloseHandle(h);
  if (!ok) return std::nullopt;
  return FolderIdentity{info.dwVolumeSerialNumber, Size(info.nFileIndexHigh, info.nFileIndexLow)};
}

PathInfo Stat(const std::string& path) {
  PathInfo info;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return info;
  info.exists = true;
  info.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  // A device name (NUL, COM1, ...) can answer here too; opened for its
  // attributes alone, it tells its type.
  if (!info.isDirectory) {
    HANDLE h = ::CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      info.isRegular = ::GetFileType(h) == FILE_TYPE_DISK;
      ::CloseHandle(h);
    }
  }
  info.size = info.isDirectory ? 0 : Size(data.nFileSizeHigh, data.nFileSizeLow);
  info.modified = ToUnixTime(data.ftLastWriteTime);
  return info;
}

bool PathExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool IsDirectory(const std::string& path) {
  const DWORD a = ::GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsSymlink(const std::string& path) {
  const DWORD a = ::GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool CreateFolder(const std::string& path, int* error) {
  if (::CreateDirectoryA(path.c_str(), nullptr)) return true;
  if (error) *error = static_cast<int>(::GetLastError());
  return false;
}
bool IsNameTakenError(int code) { return code == ERROR_ALREADY_EXISTS || code == ERROR_FILE_EXISTS; }
bool RemoveFolder(const std::string& path) { return ::RemoveDirectoryA(path.c_str()) != 0; }
bool RemoveFile(const std::string& path) { return ::DeleteFileA(path.c_str()) != 0; }

std::optional<uint64_t> FreeDiskBytes(const std::string& path) {
  ULARGE_INTEGER available{};
  if (!::GetDiskFreeSpaceExA(path.c_str(), &available, nullptr, nullptr)) return std::nullopt;
  return available.QuadPart;
}

std::string LibraryFilePath() {
  // The module that holds this code: DORVIK.DLL, or the program that links
  // the library statically.
  HMODULE module = nullptr;
  if (!::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&LibraryFilePath), &module))
    return {};
  char buffer[256] = {};  // module paths longer than 255 characters are not used
  const DWORD n = ::GetModuleFileNameA(module, buffer, sizeof buffer);
  if (n == 0 || n >= sizeof buffer) return {};
  return std::string(buffer, n);
}

std::string FolderOf(const std::string& path) {
  const auto pos = path.find_last_of("\\/");
  return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

}  // namespace dorvik::platform
