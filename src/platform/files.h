#pragma once
// File-system helpers the collection, the composer and the log stand on.
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

namespace dorvik::platform {

#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// The system's temporary directory, always ending with a separator; empty
// when it cannot be found.
std::string TempDirectory();

struct DirEntry {
  std::string name;
  bool isDirectory = false;
  bool isSymlink = false;  // the entry itself is a link (its target decides isDirectory)
  uint64_t size = 0;
  std::time_t modified = 0;  // seconds since the epoch, UTC
};

// The entries of a folder, without "." and "..", sorted byte-wise by name so
// everything built from a walk is reproducible. Empty when it cannot be read.
std::vector<DirEntry> ListDirectory(const std::string& path);

// Identity of a folder, so walks can tell when they meet one again.
struct FolderIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  bool operator==(const FolderIdentity&) const = default;
};
std::optional<FolderIdentity> IdentifyFolder(const std::string& path);

struct PathInfo {
  bool exists = false;
  bool isDirectory = false;
  bool isRegular = false;  // false for folders, pipes, sockets and devices
  uint64_t size = 0;
  std::time_t modified = 0;
};
PathInfo Stat(const std::string& path);
bool PathExists(const std::string& path);
bool IsDirectory(const std::string& path);
// True when path itself is a symbolic link (whatever it points to).
bool IsSymlink(const std::string& path);

// Creates one folder (not its parents), private to its owner (mode 0700);
// false when it exists already or fails, with the system's error code in
// *error when asked.
bool CreateFolder(const std::string& path, int* error = nullptr);
// Whether a system error code (FileError::Code, CreateFolder's error) says
// the name is taken, as opposed to a folder that cannot be written at all.
bool IsNameTakenError(int code);
bool RemoveFolder(const std::string& path);  // empty folders only
bool RemoveFile(const std::string& path);

// Free bytes on the file system holding path, if it can be read.
std::optional<uint64_t> FreeDiskBytes(const std::string& path);

// The path of the loaded library file (or the program, when linked statically).
std::string LibraryFilePath();
// The folder part of a path including its trailing separator.
std::string FolderOf(const std::string& path);

}  // namespace dorvik::platform
