#pragma once
// Lives for one addition: puts a file, a folder tree or a previous-session
// entry into the workspace. Workspace folders are handed in open
// (platform::Folder), so nothing is ever created or written through a link
// that the workspace may hold; source folders passed to AddFolder end with
// the host separator.
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/folder.h"

namespace dorvik {

// True for a path that, upper-cased and trimmed of white space, is longer
// than 4 characters and ends in ".MP3".
bool IsMp3(const std::string& path);

class CatalogueWalker {
 public:
  // workspace: the collection's workspace folder, which no walk enters and
  // no source may lie inside.
  CatalogueWalker(bool mp3Only, std::string workspace);
  virtual ~CatalogueWalker() = default;

  // True when the source was taken or skipped as present; false when refused.
  bool AddEntry(const platform::Folder& folder, const std::string& source);
  // Mirrors sourceFolder as the folder name inside parent, replacing what
  // folder of that name was there. False only when the old folder could not
  // be removed (or something other than a folder stands under the name).
  bool AddFolder(const std::string& sourceFolder, const platform::Folder& parent, const std::string& name);
  // Creates the folder name inside parent and records the source folder's
  // files in its catalogue; the new folder, not open when it could not be
  // created.
  platform::Folder WriteFolderCatalogue(const std::string& sourceFolder, const platform::Folder& parent,
                                        const std::string& name);
  // False when the file is refused (a folder, or not a regular file).
  bool AddSingleFile(const std::string& source, const platform::Folder& folder);
  void AddSessionEntry(const std::string& descriptor, const platform::Folder& folder);

 private:
  bool IsWorkspaceOrInside(const std::string& source) const;
  bool AddFolderBelow(const std::string& sourceFolder, const platform::Folder& parent, const std::string& name,
                      std::vector<platform::FolderIdentity>& ancestors);

  bool mp3Only_;
  std::string workspace_;
  std::optional<platform::FolderIdentity> workspaceIdentity_;
};

}  // namespace dorvik
