#include "collection/workspace_walk.h"

#include "collection/file_tree.h"
#include "platform/files.h"

namespace dorvik {
namespace {

void WalkFolder(const std::string& folder, const std::string& discPath,
                const std::function<void(const WorkspaceEntry&)>& visit) {
  for (const auto& entry : platform::ListDirectory(folder)) {
    if (entry.isSymlink) continue;
    const std::string host = WithSeparator(folder) + entry.name;
    if (entry.isDirectory) {
      WorkspaceEntry e;
      e.kind = WorkspaceEntry::Kind::Folder;
      e.name = entry.name;
      e.discPath = discPath + entry.name + kDiscSeparator;
      visit(e);
      WalkFolder(host, e.discPath, visit);
    } else if (IsCatalogueName(entry.name)) {
      ForEachCatalogueRecord(host, [&](CatalogueRecord& record) {
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

void WalkWorkspace(const std::string& workspace, const std::function<void(const WorkspaceEntry&)>& visit) {
  if (workspace.empty()) return;
  WalkFolder(WithoutSeparator(workspace), std::string(1, kDiscSeparator), visit);
}

}  // namespace dorvik
