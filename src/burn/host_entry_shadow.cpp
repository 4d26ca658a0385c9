#include "burn/host_entry_shadow.h"

#include "collection/catalogue.h"
#include "collection/disc_path.h"
#include "collection/previous_session_descriptor.h"
#include "platform/folder.h"

namespace dorvik {

const HostEntryShadow::Folder& HostEntryShadow::Enter(const std::string& discFolder) {
  // Depth first: a folder the walk has left is never entered again, so only
  // the folders on the way down to this one are kept.
  while (!open_.empty() && discFolder.compare(0, open_.back().discPath.size(), open_.back().discPath) != 0)
    open_.pop_back();
  if (!open_.empty() && open_.back().discPath == discFolder) return open_.back();

  Folder folder{discFolder, {}, {}};
  const auto parts = SplitDiscPath(discFolder);
  // The workspace is read as the collection reads it: through the folders
  // themselves, never through a link.
  platform::Folder at = workspace_.empty() || !parts ? platform::Folder() : platform::Folder::Open(workspace_);
  for (size_t i = 0; parts && i < parts->size() && at.IsOpen(); ++i) at = at.Child((*parts)[i]);
  if (at.IsOpen()) {
    for (const auto& entry : at.List())
      if (entry.isDirectory && !entry.isSymlink) folder.folders.insert(entry.name);
    ForEachCatalogueRecord(at, kCatalogueFileName, [&](CatalogueRecord& record) { folder.files.insert(record.name); });
  }
  open_.push_back(std::move(folder));
  return open_.back();
}

bool HostEntryShadow::Hides(const std::string& descriptor, const std::string& discFolder) {
  if (!hiddenFolder_.empty() && discFolder.compare(0, hiddenFolder_.size(), hiddenFolder_) == 0) {
    ++hidden_;
    return true;
  }
  hiddenFolder_.clear();
  const SessionDescriptor old = ParseSessionDescriptor(descriptor);
  const Folder& host = Enter(discFolder);
  const bool isFolder = old.kind == SessionEntryKind::Folder;
  if (!(isFolder ? host.files : host.folders).count(old.name)) return false;
  if (isFolder) hiddenFolder_ = discFolder + old.name + kDiscSeparator;
  ++hidden_;
  return true;
}

}  // namespace dorvik
