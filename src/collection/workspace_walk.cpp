#include "collection/workspace_walk.h"

#include "platform/folder.h"

namespace dorvik {
namespace {

void WalkFolder(const platform::Folder& folder, const std::string& discPath,
                const std::function<void(const WorkspaceEntry&)>& visit) {
  for (const auto& entry : folder.List()) {
    if (entry.isDirectory) {
      const platform::Folder sub = folder.Child(entry.name);
      if (!sub.IsOpen()) continue;  // replaced since the listing
      WorkspaceEntry e;
      e.kind = WorkspaceEntry::Kind::Folder;
      e.name = entry.name;
      e.discPath = discPath + entry.name + kDiscSeparator;
      visit(e);
      WalkFolder(sub, e.discPath, visit);
    } else if (!entry.isSymlink && IsCatalogueName(entry.name)) {
      ForEachCatalogueRecord(folder, entry.name, [&](CatalogueRecord& record) {
        WorkspaceEntry e;
        e.kind = WorkspaceEntry::Kind::File;
        e.discPath = discPath + record.name;
        e.source = std::move(record.source);
        e.name = std::move(record.name);
        visit(e);
      });
    }
  }
}

}  // namespace

void WalkWorkspace(const platform::Folder& workspace, const std::function<void(const WorkspaceEntry&)>& visit) {
  if (!workspace.IsOpen()) return;
  WalkFolder(workspace, std::string(1, kDiscSeparator), visit);
}

}  // namespace dorvik
