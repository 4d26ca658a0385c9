#include "platform/append_file.h"

#include <windows.h>

namespace dorvik::platform {

bool AppendInOneWrite(const std::string& path, const void* bytes, size_t length) {
  if (length > MAXDWORD) return false;
  // Append-only access: every write lands at the end, whoever else appends.
  HANDLE h = ::CreateFileA(path.c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool whole = ::WriteFile(h, bytes, static_cast<DWORD>(length), &written, nullptr) && written == length;
  ::FlushFileBuffers(h);
  ::CloseHandle(h);
  return whole;
}

}  // namespace dorvik::platform
