#include "platform/large_file.h"

#include <windows.h>

#include <utility>

namespace dorvik::platform {

namespace {

HANDLE AsHandle(intptr_t fd) { return reinterpret_cast<HANDLE>(fd); }

std::string SystemMessage(DWORD code) {
  char* text = nullptr;
  const DWORD n = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
      reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string out = n && text ? std::string(text, n) : "error " + std::to_string(code);
  if (text) ::LocalFree(text);
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.')) out.pop_back();
  return out;
}

// Chunks stay below 4 GiB: ReadFile and WriteFile take 32-bit lengths.
constexpr size_t kChunk = 1u << 30;

}  // namespace

FileError::FileError(int code, std::string path, const std::string& what)
    : std::runtime_error(what + " '" + path + "': " + SystemMessage(static_cast<DWORD>(code))),
      code_(code),
      path_(std::move(path)) {}

LargeFile::~LargeFile() { Close(); }

LargeFile::LargeFile(LargeFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

LargeFile& LargeFile::operator=(LargeFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

void LargeFile::Fail(const char* what) const { throw FileError(static_cast<int>(::GetLastError()), path_, what); }

namespace {

// What a mode refuses to use once open, as a system error code, or 0.
// Pipes have no offsets and no length; a character device is refused where
// only a regular file will do; and a file of ours is rewritten only when it
// is a plain file with this one name.
DWORD Refusal(HANDLE h, LargeFile::Mode mode, bool strict) {
  using Mode = LargeFile::Mode;
  switch (::GetFileType(h)) {
    case FILE_TYPE_DISK: break;
    case FILE_TYPE_PIPE: return ERROR_BAD_PIPE;
    default: return strict || mode == Mode::ReadRegular || mode == Mode::Rewrite ? ERROR_BAD_FILE_TYPE : 0;
  }
  if (mode != Mode::Rewrite && !strict) return 0;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(h, &info)) return ::GetLastError();
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) return ERROR_ACCESS_DENIED;
  if (mode == Mode::Rewrite && info.nNumberOfLinks != 1) return ERROR_ACCESS_DENIED;
  return 0;
}

}  // namespace

void LargeFile::Open(const std::string& path, Mode mode) { OpenAt(0, path, path, mode, false); }

// Windows has no folder-relative open: a Folder passes the whole path,
// which the folder's own handle keeps valid.
void LargeFile::OpenAt(int /*dirFd*/, const std::string& name, const std::string& shownPath, Mode mode, bool strict) {
  Close();
  path_ = shownPath;
  const std::string& path = name;
  DWORD access = GENERIC_READ | GENERIC_WRITE;
  DWORD disposition = OPEN_EXISTING;
  DWORD flags = FILE_ATTRIBUTE_NORMAL;
  switch (mode) {
    case Mode::Read:
    case Mode::ReadRegular: access = GENERIC_READ; break;
    case Mode::ReadWrite: break;
    case Mode::Create: disposition = CREATE_ALWAYS; break;
    case Mode::Append: access = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE; disposition = OPEN_ALWAYS; break;
    case Mode::CreateNew: disposition = CREATE_NEW; break;
    case Mode::Rewrite: flags |= FILE_FLAG_OPEN_REPARSE_POINT; break;  // the link itself, never its target
  }
  if (strict) flags |= FILE_FLAG_OPEN_REPARSE_POINT;  // a link is opened as itself, then refused
  // Others may read, write and delete meanwhile, as they may on POSIX; a
  // folder cannot be opened this way (no FILE_FLAG_BACKUP_SEMANTICS).
  constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE h = ::CreateFileA(path.c_str(), access, kShare, nullptr, disposition, flags, nullptr);
  if (h == INVALID_HANDLE_VALUE && mode == Mode::Rewrite && ::GetLastError() == ERROR_FILE_NOT_FOUND)
    h = ::CreateFileA(path.c_str(), access, kShare, nullptr, CREATE_NEW, flags, nullptr);  // made ours alone
  if (h == INVALID_HANDLE_VALUE) Fail("cannot open");
  DWORD refused = Refusal(h, mode, strict);
  if (refused == 0 && mode == Mode::Rewrite && !::SetEndOfFile(h)) refused = ::GetLastError();  // at 0: empty
  if (refused != 0) {
    ::CloseHandle(h);
    ::SetLastError(refused);
    Fail("cannot open");
  }
  fd_ = reinterpret_cast<intptr_t>(h);
}

void LargeFile::OpenScratch(const std::string& folder) {
  Close();
  path_ = folder;
  if (folder.empty()) {  // never the current folder by default
    ::SetLastError(ERROR_PATH_NOT_FOUND);
    Fail("cannot make a scratch file in");
  }
  char name[MAX_PATH + 1] = {};
  if (::GetTempFileNameA(folder.c_str(), "dvk", 0, name) == 0) Fail("cannot make a scratch file in");
  // Nobody may open it beside us, and the system deletes it with the last
  // handle, also when the process ends without closing it.
  HANDLE h = ::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    ::DeleteFileA(name);
    ::SetLastError(error);
    Fail("cannot make a scratch file in");
  }
  fd_ = reinterpret_cast<intptr_t>(h);
}

void LargeFile::Close() {
  if (fd_ != -1) ::CloseHandle(AsHandle(fd_));
  fd_ = -1;
}

size_t LargeFile::Read(void* buffer, size_t length) {
  size_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < length) {
    DWORD n = 0;
    const auto ask = static_cast<DWORD>(std::min(length - done, kChunk));
    if (!::ReadFile(AsHandle(fd_), out + done, ask, &n, nullptr)) Fail("cannot read");
    if (n == 0) break;
    done += n;
  }
  return done;
}

void LargeFile::Write(const void* buffer, size_t length) {
  size_t done = 0;
  const auto* in = static_cast<const char*>(buffer);
  while (done < length) {
    DWORD n = 0;
    const auto give = static_cast<DWORD>(std::min(length - done, kChunk));
    if (!::WriteFile(AsHandle(fd_), in + done, give, &n, nullptr)) Fail("cannot write");
    done += n;
  }
}

// A synchronous handle moves its file pointer even for a transfer at an
// explicit offset, so the position is put back by hand.
size_t LargeFile::ReadAt(uint64_t offset, void* buffer, size_t length) {
  const uint64_t position = Seek(0, Origin::Current);
  Seek(static_cast<int64_t>(offset));
  const size_t done = Read(buffer, length);
  Seek(static_cast<int64_t>(position));
  return done;
}

void LargeFile::WriteAt(uint64_t offset, const void* buffer, size_t length) {
  const uint64_t position = Seek(0, Origin::Current);
  Seek(static_cast<int64_t>(offset));
  Write(buffer, length);
  Seek(static_cast<int64_t>(position));
}

uint64_t LargeFile::Seek(int64_t offset, Origin origin) {
  const DWORD method = origin == Origin::Begin ? FILE_BEGIN : origin == Origin::Current ? FILE_CURRENT : FILE_END;
  LARGE_INTEGER to{}, at{};
  to.QuadPart = offset;
  if (!::SetFilePointerEx(AsHandle(fd_), to, &at, method)) Fail("cannot seek in");
  return static_cast<uint64_t>(at.QuadPart);
}

uint64_t LargeFile::Length() const {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(AsHandle(fd_), &size)) Fail("cannot query");
  return static_cast<uint64_t>(size.QuadPart);
}

std::time_t LargeFile::Modified() const {
  FILETIME written{};
  if (!::GetFileTime(AsHandle(fd_), nullptr, nullptr, &written)) Fail("cannot query");
  const uint64_t ticks = (uint64_t{written.dwHighDateTime} << 32) | written.dwLowDateTime;
  constexpr uint64_t kEpochDifference = 116444736000000000ull;  // 1601 to 1970 in 100 ns
  return ticks < kEpochDifference ? 0 : static_cast<std::time_t>((ticks - kEpochDifference) / 10000000ull);
}

void LargeFile::SetLength(uint64_t length) {
  // SetEndOfFile cuts at the file pointer; the caller's position is kept.
  LARGE_INTEGER zero{}, here{}, to{};
  if (!::SetFilePointerEx(AsHandle(fd_), zero, &here, FILE_CURRENT)) Fail("cannot set the length of");
  to.QuadPart = static_cast<LONGLONG>(length);
  if (!::SetFilePointerEx(AsHandle(fd_), to, nullptr, FILE_BEGIN) || !::SetEndOfFile(AsHandle(fd_)))
    Fail("cannot set the length of");
  ::SetFilePointerEx(AsHandle(fd_), here, nullptr, FILE_BEGIN);
}

namespace {
OVERLAPPED At(uint64_t offset) {
  OVERLAPPED o{};
  o.Offset = static_cast<DWORD>(offset);
  o.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return o;
}
}  // namespace

void LargeFile::LockRange(uint64_t offset, uint64_t length) {
  OVERLAPPED o = At(offset);
  if (!::LockFileEx(AsHandle(fd_), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0,
                    static_cast<DWORD>(length), static_cast<DWORD>(length >> 32), &o))
    Fail("cannot lock");
}

void LargeFile::UnlockRange(uint64_t offset, uint64_t length) {
  OVERLAPPED o = At(offset);
  if (!::UnlockFileEx(AsHandle(fd_), 0, static_cast<DWORD>(length), static_cast<DWORD>(length >> 32), &o))
    Fail("cannot unlock");
}

void LargeFile::Flush() {
  if (!::FlushFileBuffers(AsHandle(fd_))) Fail("cannot flush");
}

}  // namespace dorvik::platform
