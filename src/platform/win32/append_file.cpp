#include "platform/append_file.h"

#include <windows.h>

namespace dorvik::platform {

bool AppendInOneWrite(const std::string& path, const void* bytes, size_t length) {
  if (length > MAXDWORD) return false;
  // Append-only access: every write lands at the end, whoever else appends.
  // A link under the name is opened as itself and refused, as is anything
  // but a file on a disk (a pipe or a device).
  HANDLE h = ::CreateFileA(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileInformationByHandle(h, &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY))) {
    ::CloseHandle(h);
    return false;
  }
  DWORD written = 0;
  const bool whole = ::WriteFile(h, bytes, static_cast<DWORD>(length), &written, nullptr) && written == length;
  ::FlushFileBuffers(h);
  ::CloseHandle(h);
  return whole;
}

}  // namespace dorvik::platform
