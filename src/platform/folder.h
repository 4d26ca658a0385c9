#pragma once
// A folder held by its descriptor. Every name below it is resolved one
// component at a time from that descriptor and never through a symbolic
// link, so nothing created, written, listed or deleted through a Folder can
// lie outside it, whatever the folder holds or whoever renames what meanwhile.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/large_file.h"

namespace dorvik::platform {

class Folder {
 public:
  Folder() = default;
  ~Folder();
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  Folder(Folder&& other) noexcept;
  Folder& operator=(Folder&& other) noexcept;

  // The folder at path; its last component must not be a link. Not open
  // when that fails.
  static Folder Open(const std::string& path);

  bool IsOpen() const { return fd_ != -1; }
  // The host path it was reached by, for messages and for host paths of
  // what lies inside (never used to reach anything).
  const std::string& Path() const { return path_; }
  std::optional<FolderIdentity> Identity() const;

  enum class Kind { Missing, Folder, File, Link, Other };
  // What stands under name, the link itself for a link.
  Kind KindOf(const std::string& name) const;

  // Names of one component only: not empty, not "." or "..", no separator.
  // Every operation below refuses any other name.
  static bool IsPlainName(const std::string& name);

  // The folder name directly inside this one; not open when name is
  // missing, a link, or no folder.
  Folder Child(const std::string& name) const;
  // Creates a folder private to its owner (0700); false when anything
  // stands there already or the creation fails.
  bool CreateChild(const std::string& name) const;
  // A file directly inside, never through a link. Throws FileError.
  LargeFile OpenFile(const std::string& name, LargeFile::Mode mode) const;
  // Unlinks a file or a link (never what the link points to); false for a
  // folder or on failure.
  bool RemoveFile(const std::string& name) const;
  // Removes an empty folder; false for anything else.
  bool RemoveChild(const std::string& name) const;
  // The entries without "." and "..", sorted byte-wise by name. Nothing is
  // followed: a link is reported as a link (isSymlink, isDirectory false).
  // Pipes, sockets and devices are listed too (neither flag set), so a
  // deletion can remove them; whoever opens an entry says what it accepts.
  std::vector<DirEntry> List() const;

 private:
  // A descriptor on POSIX, a HANDLE on Windows (whose invalid value is -1 too).
#if defined(_WIN32)
  using Handle = intptr_t;
#else
  using Handle = int;
#endif
  Folder(Handle fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  std::string Inside(const std::string& name) const;

  Handle fd_ = -1;
  std::string path_;
};

}  // namespace dorvik::platform
