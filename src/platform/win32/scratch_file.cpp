#include "platform/scratch_file.h"

#include <windows.h>

#include <string>

#include "platform/files.h"

namespace dorvik::platform {

namespace {

HANDLE AsHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED o{};
  o.Offset = static_cast<DWORD>(offset);
  o.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return o;
}

// One transfer of at most 1 GiB, so the length fits a DWORD.
constexpr size_t kMostAtOnce = size_t{1} << 30;

}  // namespace

ScratchFile::~ScratchFile() { Close(); }

bool ScratchFile::Open() {
  Close();
  const std::string folder = TempDirectory();
  if (folder.empty()) return false;
  char name[MAX_PATH + 1] = {};
  if (::GetTempFileNameA(folder.c_str(), "dvk", 0, name) == 0) return false;
  // Nobody may open it beside us, and the system deletes it with the last
  // handle, also when the process ends without closing it.
  HANDLE h = ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    ::DeleteFileA(name);
    return false;
  }
  handle_ = reinterpret_cast<intptr_t>(h);
  return true;
}

void ScratchFile::Close() {
  if (handle_ != -1) ::CloseHandle(AsHandle(handle_));
  handle_ = -1;
}

bool ScratchFile::IsOpen() const { return handle_ != -1; }

bool ScratchFile::WriteAt(uint64_t offset, const void* bytes, size_t length) {
  const auto* at = static_cast<const char*>(bytes);
  while (length > 0 && handle_ != -1) {
    OVERLAPPED o = At(offset);
    DWORD n = 0;
    const auto chunk = static_cast<DWORD>(length < kMostAtOnce ? length : kMostAtOnce);
    if (!::WriteFile(AsHandle(handle_), at, chunk, &n, &o) || n == 0) return false;
    at += n;
    offset += n;
    length -= n;
  }
  return length == 0;
}

bool ScratchFile::ReadAt(uint64_t offset, void* bytes, size_t length) const {
  auto* at = static_cast<char*>(bytes);
  while (length > 0 && handle_ != -1) {
    OVERLAPPED o = At(offset);
    DWORD n = 0;
    const auto chunk = static_cast<DWORD>(length < kMostAtOnce ? length : kMostAtOnce);
    if (!::ReadFile(AsHandle(handle_), at, chunk, &n, &o) || n == 0) return false;
    at += n;
    offset += n;
    length -= n;
  }
  return length == 0;
}

}  // namespace dorvik::platform
