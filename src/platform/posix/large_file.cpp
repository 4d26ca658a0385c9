#include "platform/large_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
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

void LargeFile::Open(const std::string& path, Mode mode) { OpenAt(AT_FDCWD, path, path, mode, false); }

namespace {

// The descriptor for a mode, or -1 with errno set. O_NONBLOCK keeps the
// open itself from waiting (pipes, leases); it is cleared again afterwards.
int OpenDescriptor(int dirFd, const char* name, LargeFile::Mode mode, bool noFollow) {
  using Mode = LargeFile::Mode;
  int flags = O_CLOEXEC | O_NONBLOCK | (noFollow ? O_NOFOLLOW : 0);
  switch (mode) {
    case Mode::Read:
    case Mode::ReadRegular: return ::openat(dirFd, name, flags | O_RDONLY);
    case Mode::ReadWrite: return ::openat(dirFd, name, flags | O_RDWR);
    case Mode::Create: return ::openat(dirFd, name, flags | O_RDWR | O_CREAT | O_TRUNC, 0644);
    case Mode::Append: return ::openat(dirFd, name, flags | O_WRONLY | O_CREAT | O_APPEND, 0644);
    case Mode::CreateNew: return ::openat(dirFd, name, flags | O_RDWR | O_CREAT | O_EXCL, 0600);
    case Mode::Rewrite: {
      // Truncation waits until the file is known to be ours (below).
      const int fd = ::openat(dirFd, name, flags | O_NOFOLLOW | O_RDWR);
      // Missing: made exclusively, so whatever appears meanwhile is refused.
      if (fd >= 0 || errno != ENOENT) return fd;
      return ::openat(dirFd, name, flags | O_NOFOLLOW | O_RDWR | O_CREAT | O_EXCL, 0600);
    }
  }
  errno = EINVAL;
  return -1;
}

// errno for what a mode refuses to open, or 0 when the file may be used.
int Refusal(const struct stat& st, LargeFile::Mode mode, bool strict) {
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) return ESPIPE;  // no offsets, no length
  if (S_ISREG(st.st_mode)) {
    // A second name for the file (a hard link planted under ours) would let
    // the truncation reach a file we never meant to touch.
    if (mode == LargeFile::Mode::Rewrite && (st.st_uid != ::geteuid() || st.st_nlink != 1)) return EPERM;
    return 0;
  }
  // Devices: fine for an output or an image, never for what the image reads
  // of the collection or for a file of ours.
  return strict || mode == LargeFile::Mode::ReadRegular || mode == LargeFile::Mode::Rewrite ? ENODEV : 0;
}

}  // namespace

void LargeFile::OpenAt(int dirFd, const std::string& name, const std::string& shownPath, Mode mode, bool strict) {
  Close();
  path_ = shownPath;
  fd_ = OpenDescriptor(dirFd, name.c_str(), mode, strict);
  if (fd_ < 0) Fail("cannot open");
  struct stat st {};
  int refused = ::fstat(fd_, &st) != 0 ? errno : Refusal(st, mode, strict);
  if (refused == 0 && ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK) != 0) refused = errno;
  if (refused == 0 && mode == Mode::Rewrite && ::ftruncate(fd_, 0) != 0) refused = errno;
  if (refused != 0) {
    ::close(fd_);
    fd_ = -1;
    errno = refused;
    Fail("cannot open");
  }
}

void LargeFile::OpenScratch(const std::string& folder) {
  Close();
  path_ = folder;
  if (folder.empty()) {  // never the current folder by default
    errno = ENOENT;
    Fail("cannot make a scratch file in");
  }
  // O_TMPFILE never gives the file a name; where the file system cannot do
  // that, the name mkostemp makes is taken away again at once.
  fd_ = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd_ >= 0) return;
  std::string name = folder + (folder.back() == '/' ? "" : "/") + "dorvik-scratch-XXXXXX";
  fd_ = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) Fail("cannot make a scratch file in");
  ::unlink(name.c_str());
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

size_t LargeFile::ReadAt(uint64_t offset, void* buffer, size_t length) {
  size_t done = 0;
  auto* out = static_cast<char*>(buffer);
  while (done < length) {
    ssize_t n = ::pread(fd_, out + done, length - done, static_cast<off_t>(offset + done));
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("cannot read");
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

void LargeFile::WriteAt(uint64_t offset, const void* buffer, size_t length) {
  size_t done = 0;
  const auto* in = static_cast<const char*>(buffer);
  while (done < length) {
    ssize_t n = ::pwrite(fd_, in + done, length - done, static_cast<off_t>(offset + done));
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

std::time_t LargeFile::Modified() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) Fail("cannot query");
  return st.st_mtime;
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
