#pragma once
// A file addressed with 64-bit offsets. Every failure throws FileError so
// readers can treat any of them as "the file cannot be read".
#include <cstdint>
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
    ReadWrite,
    Create /* read-write, truncated or new */,
    Append,
    CreateNew /* read-write, fails when the file exists: reserves a name */
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
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }

  // Returns the bytes read; fewer than asked only at the end of the file.
  size_t Read(void* buffer, size_t length);
  void Write(const void* buffer, size_t length);
  uint64_t Seek(int64_t offset, Origin origin = Origin::Begin);
  uint64_t Length() const;
  void SetLength(uint64_t length);
  void LockRange(uint64_t offset, uint64_t length);
  void UnlockRange(uint64_t offset, uint64_t length);
  void Flush();

 private:
  [[noreturn]] void Fail(const char* what) const;
  int fd_ = -1;
  std::string path_;
};

}  // namespace dorvik::platform
