#include "platform/folder.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace dorvik::platform {

namespace {
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
}

Folder::~Folder() {
  if (fd_ >= 0) ::close(fd_);
}

Folder::Folder(Folder&& other) noexcept : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

Folder& Folder::operator=(Folder&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

Folder Folder::Open(const std::string& path) {
  if (path.empty()) return {};
  std::string shown = path;
  while (shown.size() > 1 && shown.back() == kPathSeparator) shown.pop_back();
  // A trailing separator would make the kernel follow a final link.
  const int fd = ::open(shown.c_str(), kFolderFlags);
  return fd < 0 ? Folder() : Folder(fd, shown);
}

bool Folder::IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find(kPathSeparator) == std::string::npos &&
         name.find('\0') == std::string::npos;
}

std::string Folder::Inside(const std::string& name) const {
  return path_.empty() || path_.back() == kPathSeparator ? path_ + name : path_ + kPathSeparator + name;
}

std::optional<FolderIdentity> Folder::Identity() const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return std::nullopt;
  return FolderIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

Folder::Kind Folder::KindOf(const std::string& name) const {
  struct stat st {};
  if (fd_ < 0 || !IsPlainName(name) || ::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return Kind::Missing;
  if (S_ISDIR(st.st_mode)) return Kind::Folder;
  if (S_ISREG(st.st_mode)) return Kind::File;
  if (S_ISLNK(st.st_mode)) return Kind::Link;
  return Kind::Other;
}

Folder Folder::Child(const std::string& name) const {
  if (fd_ < 0 || !IsPlainName(name)) return {};
  const int fd = ::openat(fd_, name.c_str(), kFolderFlags);
  return fd < 0 ? Folder() : Folder(fd, Inside(name));
}

bool Folder::CreateChild(const std::string& name) const {
  return fd_ >= 0 && IsPlainName(name) && ::mkdirat(fd_, name.c_str(), 0700) == 0;
}

LargeFile Folder::OpenFile(const std::string& name, LargeFile::Mode mode) const {
  LargeFile file;
  if (fd_ < 0 || !IsPlainName(name)) {
    errno = fd_ < 0 ? EBADF : EINVAL;
    throw FileError(errno, Inside(name), "cannot open");
  }
  file.OpenAt(fd_, name, Inside(name), mode, true);
  return file;
}

bool Folder::RemoveFile(const std::string& name) const {
  return fd_ >= 0 && IsPlainName(name) && ::unlinkat(fd_, name.c_str(), 0) == 0;
}

bool Folder::RemoveChild(const std::string& name) const {
  return fd_ >= 0 && IsPlainName(name) && ::unlinkat(fd_, name.c_str(), AT_REMOVEDIR) == 0;
}

std::vector<DirEntry> Folder::List() const {
  std::vector<DirEntry> out;
  if (fd_ < 0) return out;
  // The listing gets its own descriptor: fdopendir takes it over, and its
  // position must not be shared with ours.
  const int listFd = ::openat(fd_, ".", kFolderFlags);
  if (listFd < 0) return out;
  DIR* d = ::fdopendir(listFd);
  if (!d) {
    ::close(listFd);
    return out;
  }
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    struct stat st {};
    if (::fstatat(fd_, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    DirEntry entry;
    entry.name = name;
    entry.isSymlink = S_ISLNK(st.st_mode);
    entry.isDirectory = S_ISDIR(st.st_mode);
    entry.size = static_cast<uint64_t>(st.st_size);
    entry.modified = st.st_mtime;
    out.push_back(std::move(entry));
  }
  ::closedir(d);
  std::sort(out.begin(), out.end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  return out;
}

}  // namespace dorvik::platform
