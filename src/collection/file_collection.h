#pragma once
// The collection of files and folders the host has put together for a data
// disc. It lives on disk only: a workspace folder in the temporary directory
// that mirrors the disc's folder tree, each folder with its catalogue
// "file.ls". Nothing is cached; every call reads and changes the workspace.
//
// Safety: every folder created, every file written and everything deleted
// lies inside the workspace this object created, whatever the workspace
// holds: its folders are reached from the workspace's descriptor one
// component at a time, never through a symbolic link (platform::Folder).
// The workspace is private to its owner (0700). Disc paths with "." or ".."
// components or a host separator are refused, and once the workspace is gone
// (removed by the host, or replaced behind our back) no call touches the disk
// until Clear makes a new one.
#include <mutex>
#include <optional>
#include <string>

#include "collection/image_rules.h"
#include "platform/files.h"
#include "platform/folder.h"

namespace dorvik {

inline constexpr const char* kPlaylistName = "Playlist.M3U";

class FileCollection {
 public:
  // Creates a fresh workspace folder.
  FileCollection();
  // Deletes the workspace tree. The playlist file, outside it, stays.
  virtual ~FileCollection();
  FileCollection(const FileCollection&) = delete;
  FileCollection& operator=(const FileCollection&) = delete;

  // Adds a host file or folder (or a previous-session descriptor) under the
  // disc folder target. Outcomes are not reported.
  void AddFiles(const std::string& source, const std::string& target, bool mp3Only);
  // Removes the first record of that name (isFolder false) or a whole folder.
  // The root with isFolder set removes the workspace itself.
  void DeleteFiles(const std::string& discPath, bool isFolder);
  // Deletes the workspace and starts a new, empty one.
  void Clear();

  // Optionally adds the playlist, then flattens the collection into the
  // layout file for one write job. The playlist lists only the files that
  // the image layout's rules will put on the disc.
  void PrepareForWrite(const std::string& layoutPath, bool playlist, const std::string& volumeLabel,
                       const ImageRules& rules = kClassicRules);

  // The workspace folder without a trailing separator; empty when there is
  // none (no temporary directory, or the host removed the root).
  std::string GetWorkspacePath() const;
  std::string GetPlaylistPath() const;

 private:
  // The workspace opened by its descriptor while it is still the folder this
  // object made (same device and inode, not a link); not open otherwise.
  platform::Folder OpenWorkspace() const;
  // Deletes everything in the workspace, then the workspace itself.
  void DeleteWorkspace(const platform::Folder& workspace);
  void AdoptWorkspace(std::string path);
  void ForgetWorkspace();
  std::string PreparePlaylistFile();
  void WritePlaylist(const platform::Folder& workspace, const ImageRules& rules);

  mutable std::mutex mutex_;
  std::string workspace_;
  std::string playlistPath_;
  std::optional<platform::FolderIdentity> identity_;
};

}  // namespace dorvik
