#include "platform/files.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace dorvik::platform {

std::string TempDirectory() {
  std::string dir;
  if (const char* t = std::getenv("TMPDIR"); t && *t) dir = t;
  else dir = "/tmp";
  if (dir.back() != kPathSeparator) dir += kPathSeparator;
  return IsDirectory(dir) ? dir : std::string();
}

std::vector<DirEntry> ListDirectory(const std::string& path) {
  std::vector<DirEntry> out;
  DIR* d = ::opendir(path.c_str());
  if (!d) return out;
  std::string base = path;
  if (!base.empty() && base.back() != kPathSeparator) base += kPathSeparator;
  while (dirent* e = ::readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    DirEntry entry;
    entry.name = name;
    struct stat st {};
    std::string full = base + name;
    if (::lstat(full.c_str(), &st) != 0) continue;
    if (S_ISLNK(st.st_mode)) {
      entry.isSymlink = true;
      if (::stat(full.c_str(), &st) != 0) continue;  // dangling link: nothing to read
    }
    entry.isDirectory = S_ISDIR(st.st_mode);
    if (!entry.isDirectory && !S_ISREG(st.st_mode)) continue;  // devices, sockets, fifos
    entry.size = static_cast<uint64_t>(st.st_size);
    entry.modified = st.st_mtime;
    out.push_back(std::move(entry));
  }
  ::closedir(d);
  std::sort(out.begin(), out.end(), [](const DirEntry& a, const DirEntry& b) { return a.name < b.name; });
  return out;
}

std::optional<FolderIdentity> IdentifyFolder(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  return FolderIdentity{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
}

PathInfo Stat(const std::string& path) {
  PathInfo info;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return info;
  info.exists = true;
  info.isDirectory = S_ISDIR(st.st_mode);
  info.isRegular = S_ISREG(st.st_mode);
  info.size = static_cast<uint64_t>(st.st_size);
  info.modified = st.st_mtime;
  return info;
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsSymlink(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool CreateFolder(const std::string& path, int* error) {
  if (::mkdir(path.c_str(), 0700) == 0) return true;
  if (error) *error = errno;
  return false;
}
bool IsNameTakenError(int code) { return code == EEXIST; }
bool RemoveFolder(const std::string& path) { return ::rmdir(path.c_str()) == 0; }
bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

std::optional<uint64_t> FreeDiskBytes(const std::string& path) {
  struct statvfs vfs {};
  if (::statvfs(path.c_str(), &vfs) != 0) return std::nullopt;
  return static_cast<uint64_t>(vfs.f_bavail) * vfs.f_frsize;
}

std::string LibraryFilePath() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&LibraryFilePath), &info) && info.dli_fname) {
    char resolved[PATH_MAX];
    if (::realpath(info.dli_fname, resolved)) return resolved;
    return info.dli_fname;
  }
  return {};
}

std::string FolderOf(const std::string& path) {
  auto pos = path.rfind(kPathSeparator);
  return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

}  // namespace dorvik::platform
