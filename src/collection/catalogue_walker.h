#pragma once
// Lives for one addition: puts a file, a folder tree or a previous-session
// entry into the workspace. Workspace folders passed in end with the host
// separator; source folders passed to AddFolder end with it too.
#include <optional>
#include <string>
#include <vector>

#include "platform/files.h"

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
  bool AddEntry(const std::string& folder, const std::string& source);
  // False only when an old workspace folder of that name could not be removed.
  bool AddFolder(const std::string& sourceFolder, const std::string& workspaceFolder);
  // False when the workspace folder could not be created.
  bool WriteFolderCatalogue(const std::string& sourceFolder, const std::string& workspaceFolder);
  // False when the source is a folder.
  bool AddSingleFile(const std::string& source, const std::string& workspacePath);
  void AddSessionEntry(const std::string& descriptor, const std::string& folder);

 private:
  bool IsWorkspaceOrInside(const std::string& source) const;
  bool AddFolderBelow(const std::string& sourceFolder, const std::string& workspaceFolder,
                      std::vector<platform::FolderIdentity>& ancestors);

  bool mp3Only_;
  std::string workspace_;
  std::optional<platform::FolderIdentity> workspaceIdentity_;
};

}  // namespace dorvik
