#pragma once
// A file addressed with 64-bit offsets. Every failure throws FileError so
// readers can treat any of them as "the file cannot be read".
//
// Opening never waits: a named pipe without a writer, or a file under a
// lease, fails at once instead of blocking the caller. Pipes and sockets,
// which have no length and no offsets, are refused in every mode. What is
// refused for its kind fails with EISDIR (a folder), ESPIPE (a pipe or a
// socket) or ENODEV (a device where only a regular file will do).
#include <cstdint>
#include <ctime>
#include <stdexcept>
#include <string>

namespace dorvik::platform {

class FileError : public std::runtime_error {
 public:
  FileError(int code, std::string path, const std::string& what);
  int Code() const { return code_; }
  const std::string& Path() const { return path_; }

 private:
  int code_;
  std::string path_;
};

class LargeFile {
 public:
  enum class Mode {
    Read,
    // Read-only, and only a regular file: what the image reads of the
    // collection must end and never wait, so devices are refused as well.
    ReadRegular,
    ReadWrite,
    Create /* read-write, truncated or new */,
    Append,
    // Read-write, fails when the file exists: reserves a name. Private to
    // its owner (mode 0600).
    CreateNew,
    // A file of ours rewritten from empty: an existing file is truncated in
    // place, never unlinked and made anew, and only when it is a regular
    // file of this user reached without a link; a missing one is created
    // exclusively (0600). So a reserved name in a shared folder stays ours.
    Rewrite
  };
  enum class Origin { Begin, Current, End };

  LargeFile() = default;
  LargeFile(const std::string& path, Mode mode) { Open(path, mode); }
  ~LargeFile();
  LargeFile(const LargeFile&) = delete;
  LargeFile& operator=(const LargeFile&) = delete;
  LargeFile(LargeFile&& other) noexcept;
  LargeFile& operator=(LargeFile&& other) noexcept;

  void Open(const std::string& path, Mode mode);
  // Makes a new, empty, read-write file without a name in folder, for data
  // this process needs again later but should not keep in memory. Nobody
  // else can open it, and it goes away when it is closed or the process
  // ends, however it ends: nothing is left behind in the folder.
  void OpenScratch(const std::string& folder);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }

  // Returns the bytes read; fewer than asked only at the end of the file.
  size_t Read(void* buffer, size_t length);
  void Write(const void* buffer, size_t length);
  uint64_t Seek(int64_t offset, Origin origin = Origin::Begin);
  // Read and Write at an offset, leaving the file position alone: one
  // system call where Seek and Read make two, for callers that move
  // through a file in large steps many times a second.
  size_t ReadAt(uint64_t offset, void* buffer, size_t length);
  void WriteAt(uint64_t offset, const void* buffer, size_t length);
  uint64_t Length() const;
  // Last modification, seconds since the epoch (UTC).
  std::time_t Modified() const;
  void SetLength(uint64_t length);
  void LockRange(uint64_t offset, uint64_t length);
  void UnlockRange(uint64_t offset, uint64_t length);
  void Flush();

 private:
  friend class Folder;
  // Opens name relative to the folder descriptor dirFd (AT_FDCWD for plain
  // paths); shownPath names the file in errors. Strict: a link as the last
  // component, and anything but a regular file, is refused in every mode.
  void OpenAt(int dirFd, const std::string& name, const std::string& shownPath, Mode mode, bool strict);
  [[noreturn]] void Fail(const char* what) const;
  // A descriptor on POSIX, a HANDLE on Windows (whose invalid value is -1 too).
#if defined(_WIN32)
  intptr_t fd_ = -1;
#else
  int fd_ = -1;
#endif
  std::string path_;
};

}  // namespace dorvik::platform
