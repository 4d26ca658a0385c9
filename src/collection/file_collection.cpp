#include "collection/file_collection.h"

#include "collection/catalogue.h"
#include "collection/catalogue_walker.h"
#include "collection/disc_path.h"
#include "collection/file_tree.h"
#include "collection/layout_file.h"
#include "collection/temp_names.h"

namespace dorvik {

using platform::kPathSeparator;

namespace {

// The folder of the disc path's components below from; missing folders are
// created when create is set. Not open when a component is a link or no
// folder: nothing is ever reached through one.
platform::Folder Descend(platform::Folder from, const std::vector<std::string>& parts, bool create) {
  for (const auto& part : parts) {
    platform::Folder next = from.Child(part);
    if (!next.IsOpen() && create && from.CreateChild(part)) next = from.Child(part);
    if (!next.IsOpen()) return {};
    from = std::move(next);
  }
  return from;
}

}  // namespace

FileCollection::FileCollection() { AdoptWorkspace(CreateWorkspaceFolder()); }

FileCollection::~FileCollection() {
  if (const platform::Folder workspace = OpenWorkspace(); workspace.IsOpen()) DeleteWorkspace(workspace);
}

void FileCollection::AdoptWorkspace(std::string path) {
  workspace_ = std::move(path);
  identity_ = workspace_.empty() ? std::nullopt : platform::Folder::Open(workspace_).Identity();
  if (!identity_) workspace_.clear();
}

void FileCollection::ForgetWorkspace() {
  workspace_.clear();
  identity_.reset();
}

platform::Folder FileCollection::OpenWorkspace() const {
  if (workspace_.empty() || !identity_) return {};
  platform::Folder workspace = platform::Folder::Open(workspace_);
  if (!workspace.IsOpen() || workspace.Identity() != identity_) return {};
  return workspace;
}

void FileCollection::DeleteWorkspace(const platform::Folder& workspace) {
  EmptyFolder(workspace);
  // The workspace sits in the temporary directory, which only its owner
  // (or nobody, in a sticky one) can rename: the path still names it.
  platform::RemoveFolder(workspace_);
}

std::string FileCollection::GetWorkspacePath() const {
  std::lock_guard lock(mutex_);
  return workspace_;
}

std::string FileCollection::GetPlaylistPath() const {
  std::lock_guard lock(mutex_);
  return playlistPath_;
}

void FileCollection::AddFiles(const std::string& source, const std::string& target, bool mp3Only) {
  std::lock_guard lock(mutex_);
  auto parts = SplitDiscPath(NormaliseTargetFolder(target));
  if (!parts) return;
  // The target folders exist afterwards even when the source does not.
  const platform::Folder folder = Descend(OpenWorkspace(), *parts, true);
  if (!folder.IsOpen()) return;

  std::string src = source;
  if (!src.empty() && src.back() == kPathSeparator) src.pop_back();
  CatalogueWalker walker(mp3Only, workspace_);
  walker.AddEntry(folder, src);
}

void FileCollection::DeleteFiles(const std::string& discPath, bool isFolder) {
  std::lock_guard lock(mutex_);
  platform::Folder workspace = OpenWorkspace();
  if (!workspace.IsOpen()) return;
  // Splitting drops empty components, so a leading backslash needs no care.
  if (isFolder) {
    auto parts = SplitDiscPath(discPath);
    if (!parts) return;
    if (parts->empty()) {
      // The host removed the root: the collection has no workspace until
      // cleared, and nothing may be done under a path that is not ours.
      DeleteWorkspace(workspace);
      ForgetWorkspace();
      return;
    }
    const std::string name = parts->back();
    parts->pop_back();
    const platform::Folder parent = Descend(std::move(workspace), *parts, false);
    if (parent.IsOpen()) DeleteTree(parent, name);
    return;
  }

  const auto cut = discPath.rfind(kDiscSeparator);
  const std::string name = cut == std::string::npos ? discPath : discPath.substr(cut + 1);
  auto parts = SplitDiscPath(discPath.substr(0, cut == std::string::npos ? 0 : cut));
  if (!parts) return;
  const platform::Folder folder = Descend(std::move(workspace), *parts, false);
  if (!folder.IsOpen()) return;
  if (auto index = FindCatalogueName(folder, name))
    CutRange(folder, kCatalogueFileName, *index * kCatalogueRecordSize, kCatalogueRecordSize);
}

void FileCollection::Clear() {
  std::lock_guard lock(mutex_);
  if (const platform::Folder workspace = OpenWorkspace(); workspace.IsOpen()) DeleteWorkspace(workspace);
  AdoptWorkspace(CreateWorkspaceFolder());
}

}  // namespace dorvik
