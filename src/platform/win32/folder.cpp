#include "platform/folder.h"

#include <windows.h>

#include <utility>

namespace dorvik::platform {

namespace {

HANDLE AsHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The folder itself, never what a reparse point (a link or a junction) in
// its place leads to. Held without delete sharing, it can be neither
// renamed nor removed while open, so the path it was opened by keeps
// naming it and every name inside is reached through that path.
HANDLE OpenFolderHandle(const std::string& path) {
  HANDLE h = ::CreateFileA(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return h;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(h, &info) || !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    ::CloseHandle(h);
    return INVALID_HANDLE_VALUE;
  }
  return h;
}

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

Folder::~Folder() {
  if (fd_ != -1) ::CloseHandle(AsHandle(fd_));
}

Folder::Folder(Folder&& other) noexcept : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_)) {}

Folder& Folder::operator=(Folder&& other) noexcept {
  if (this != &other) {
    if (fd_ != -1) ::CloseHandle(AsHandle(fd_));
    fd_ = std::exchange(other.fd_, -1);
    path_ = std::move(other.path_);
  }
  return *this;
}

Folder Folder::Open(const std::string& path) {
  if (path.empty() || path.find('\0') != std::string::npos) return {};
  std::string shown = path;
  // A drive's root keeps its separator: "C:" alone is the drive's current folder.
  while (shown.size() > 1 && IsSeparator(shown.back()) && !(shown.size() == 3 && shown[1] == ':')) shown.pop_back();
  HANDLE h = OpenFolderHandle(shown);
  return h == INVALID_HANDLE_VALUE ? Folder() : Folder(reinterpret_cast<intptr_t>(h), shown);
}

bool Folder::IsPlainName(const std::string& name) {
  // Besides both separators: a colon names a stream or a drive, and the
  // system drops trailing dots and spaces, so "a." would reach "a" and ". "
  // the folder itself.
  if (name.empty() || name == "." || name == ".." || name.back() == '.' || name.back() == ' ') return false;
  return name.find_first_of(std::string("\\/:\0", 4)) == std::string::npos;
}

std::string Folder::Inside(const std::string& name) const {
  return path_.empty() || IsSeparator(path_.back()) ? path_ + name : path_ + kPathSeparator + name;
}

std::optional<FolderIdentity> Folder::Identity() const {
  BY_HANDLE_FILE_INFORMATION info{};
  if (fd_ == -1 || !::GetFileInformationByHandle(AsHandle(fd_), &info)) return std::nullopt;
  return FolderIdentity{info.dwVolumeSerialNumber, (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

Folder::Kind Folder::KindOf(const std::string& name) const {
  if (fd_ == -1 || !IsPlainName(name)) return Kind::Missing;
  // Opened as itself for its attributes only: a device name such as NUL
  // answers as the device it is, a reparse point as a link.
  HANDLE h = ::CreateFileA(Inside(name).c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (h == INVALID_HANDLE_VALUE) return Kind::Missing;
  Kind kind = Kind::Other;
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(h) == FILE_TYPE_DISK && ::GetFileInformationByHandle(h, &info)) {
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) kind = Kind::Link;
    else if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) kind = Kind::Folder;
    else kind = Kind::File;
  }
  ::CloseHandle(h);
  return kind;
}

Folder Folder::Child(const std::string& name) const {
  if (fd_ == -1 || !IsPlainName(name)) return {};
  HANDLE h = OpenFolderHandle(Inside(name));
  return h == INVALID_HANDLE_VALUE ? Folder() : Folder(reinterpret_cast<intptr_t>(h), Inside(name));
}

bool Folder::CreateChild(const std::string& name) const {
  // Access follows the parent's inherited rules, Windows' way of keeping a
  // user's folders from other users.
  return fd_ != -1 && IsPlainName(name) && ::CreateDirectoryA(Inside(name).c_str(), nullptr) != 0;
}

LargeFile Folder::OpenFile(const std::string& name, LargeFile::Mode mode) const {
  LargeFile file;
  if (fd_ == -1 || !IsPlainName(name))
    throw FileError(fd_ == -1 ? ERROR_INVALID_HANDLE : ERROR_INVALID_NAME, Inside(name), "cannot open");
  file.OpenAt(0, Inside(name), Inside(name), mode, true);
  return file;
}

// Neither DeleteFileA nor RemoveDirectoryA follows a reparse point: each
// removes the link itself. A link to a folder is a folder to the system, so
// it goes with RemoveDirectoryA, which takes only an empty real folder
// should one have been put in the link's place meanwhile.
bool Folder::RemoveFile(const std::string& name) const {
  if (fd_ == -1 || !IsPlainName(name)) return false;
  const std::string path = Inside(name);
  const DWORD a = ::GetFileAttributesA(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES) return false;
  if (a & FILE_ATTRIBUTE_REPARSE_POINT)
    return (a & FILE_ATTRIBUTE_DIRECTORY) ? ::RemoveDirectoryA(path.c_str()) != 0 : ::DeleteFileA(path.c_str()) != 0;
  if (a & FILE_ATTRIBUTE_DIRECTORY) return false;
  return ::DeleteFileA(path.c_str()) != 0;
}

bool Folder::RemoveChild(const std::string& name) const {
  if (fd_ == -1 || !IsPlainName(name)) return false;
  const std::string path = Inside(name);
  const DWORD a = ::GetFileAttributesA(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES || !(a & FILE_ATTRIBUTE_DIRECTORY) || (a & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  return ::RemoveDirectoryA(path.c_str()) != 0;
}

std::vector<DirEntry> Folder::List() const {
  if (fd_ == -1) return {};
  std::vector<DirEntry> out = ListDirectory(path_);
  for (DirEntry& entry : out)
    if (entry.isSymlink) entry.isDirectory = false;  // a link is a link, whatever it leads to
  return out;
}

}  // namespace dorvik::platform
