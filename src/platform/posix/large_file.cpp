#include "platform/large_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace dorvik::platform {

FileError::FileError(int code, std::string path, const std::string& what)
    : std::runtime_error(what + " '" + path + "': " + std::strerror(code)), code_(code), path_(std::move(path)) {}

LargeFile::~LargeFile() {
  if (fd_ >= 0) ::close(fd_);
}

LargeFile::LargeFile(LargeFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

LargeFile& LargeFile::operator=(LargeFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

void LargeFile::Fail(const char* what) const { throw FileError(errno, path_, what); }

void LargeFile::Open(const std::string& path, Mode mode) {
  Close();
  path_ = path;
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::Read: flags |= O_RDONLY; break;
    case Mode::ReadWrite: flags |= O_RDWR; break;
    case Mode::Create: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case Mode::Append: flags |= O_WRONLY | O_CREAT | O_APPEND; break;
    case Mode::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL; break;
  }
  fd_ = ::open(path.c_str(), flags, 0644);
  if (fd_ < 0) Fail("cannot open");
  struct stat st {};
  if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    errno = EISDIR;
    Fail("cannot open");
  }
}

void LargeFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

size_t LargeFile::Read(void* buffer, size_t length) {
  size_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < length) {
    ssize_t n = ::read(fd_, out + done, length - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("cannot read");
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

void LargeFile::Write(const void* buffer, size_t length) {
  size_t done = 0;
  const auto* in = static_cast<const char*>(buffer);
  while (done < length) {
    ssize_t n = ::write(fd_, in + done, length - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("cannot write");
    }
    done += static_cast<size_t>(n);
  }
}

uint64_t LargeFile::Seek(int64_t offset, Origin origin) {
  int whence = origin == Origin::Begin ? SEEK_SET : origin == Origin::Current ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(fd_, static_cast<off_t>(offset), whence);
  if (r < 0) Fail("cannot seek in");
  return static_cast<uint64_t>(r);
}

uint64_t LargeFile::Length() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) Fail("cannot query");
  return static_cast<uint64_t>(st.st_size);
}

void LargeFile::SetLength(uint64_t length) {
  if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) Fail("cannot set the length of");
}

namespace {
int SetRangeLock(int fd, short type, uint64_t offset, uint64_t length) {
  struct flock fl {};
  fl.l_type = type;
  fl.l_whence = SEEK_SET;
  fl.l_start = static_cast<off_t>(offset);
  fl.l_len = static_cast<off_t>(length);
  return ::fcntl(fd, F_SETLK, &fl);
}
}  // namespace

void LargeFile::LockRange(uint64_t offset, uint64_t length) {
  if (SetRangeLock(fd_, F_WRLCK, offset, length) != 0) Fail("cannot lock");
}

void LargeFile::UnlockRange(uint64_t offset, uint64_t length) {
  if (SetRangeLock(fd_, F_UNLCK, offset, length) != 0) Fail("cannot unlock");
}

void LargeFile::Flush() {
  if (::fsync(fd_) != 0 && errno != EINVAL) Fail("cannot flush");
}

}  // namespace dorvik::platform
