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

std::string JoinHost(const std::string& base, const std::vector<std::string>& parts) {
  std::string out = base;
  for (const auto& p : parts) out += kPathSeparator + p;
  return out;
}

}  // namespace

FileCollection::FileCollection() { AdoptWorkspace(CreateWorkspaceFolder()); }

FileCollection::~FileCollection() {
  if (WorkspaceUsable()) DeleteTree(workspace_);
}

void FileCollection::AdoptWorkspace(std::string path) {
  workspace_ = std::move(path);
  identity_ = workspace_.empty() ? std::nullopt : platform::IdentifyFolder(workspace_);
  if (!identity_) workspace_.clear();
}

void FileCollection::ForgetWorkspace() {
  workspace_.clear();
  identity_.reset();
}

bool FileCollection::WorkspaceUsable() const {
  if (workspace_.empty() || !identity_ || platform::IsSymlink(workspace_)) return false;
  return platform::IdentifyFolder(workspace_) == identity_;
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
  if (!WorkspaceUsable()) return;
  auto parts = SplitDiscPath(NormaliseTargetFolder(target));
  if (!parts) return;

  std::string src = source;
  if (!src.empty() && src.back() == kPathSeparator) src.pop_back();

  // The target folders exist afterwards even when the source does not.
  std::string folder = workspace_;
  for (const auto& part : *parts) {
    folder += kPathSeparator + part;
    if (!FolderExists(folder)) platform::CreateFolder(folder);
  }
  CatalogueWalker walker(mp3Only, workspace_);
  walker.AddEntry(folder + kPathSeparator, src);
}

void FileCollection::DeleteFiles(const std::string& discPath, bool isFolder) {
  std::lock_guard lock(mutex_);
  if (!WorkspaceUsable()) return;
  // Splitting drops empty components, so a leading backslash needs no care.
  if (isFolder) {
    auto parts = SplitDiscPath(discPath);
    if (!parts) return;
    if (parts->empty()) {
      // The host removed the root: the collection has no workspace until
      // cleared, and nothing may be done under a path that is not ours.
      DeleteTree(workspace_);
      ForgetWorkspace();
      return;
    }
    DeleteTree(JoinHost(workspace_, *parts));
    return;
  }

  const auto cut = discPath.rfind(kDiscSeparator);
  const std::string name = cut == std::string::npos ? discPath : discPath.substr(cut + 1);
  auto parts = SplitDiscPath(discPath.substr(0, cut == std::string::npos ? 0 : cut));
  if (!parts) return;
  const std::string catalogue = JoinHost(workspace_, *parts) + kPathSeparator + kCatalogueFileName;
  if (auto index = FindCatalogueName(catalogue, name))
    CutRange(catalogue, *index * kCatalogueRecordSize, kCatalogueRecordSize);
}

void FileCollection::Clear() {
  std::lock_guard lock(mutex_);
  if (WorkspaceUsable()) DeleteTree(workspace_);
  AdoptWorkspace(CreateWorkspaceFolder());
}

}  // namespace dorvik
