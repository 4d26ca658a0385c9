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
      e.hostFolder = host;
      visit(e);
      WalkFolder(host, e.discPath, visit);
    } else if (IsCatalogueName(entry.name)) {
      for (auto& record : ReadCatalogue(host)) {
        WorkspaceEntry e;
        e.kind = WorkspaceEntry::Kind::File;
        e.discPath = discPath + record.name;
        e.source = std::move(record.source);
        e.name = std::move(record.name);
        e.hostFolder = folder;
        visit(e);
      }
    }
  }
}

}  // namespace

void WalkWorkspace(const std::string& workspace, const std::function<void(const WorkspaceEntry&)>& visit) {
  if (workspace.empty()) return;
  WalkFolder(WithoutSeparator(workspace), std::string(1, kDiscSeparator), visit);
}

WorkspaceFolder ReadWorkspaceFolder(const std::string& hostFolder) {
  WorkspaceFolder out;
  if (hostFolder.empty()) return out;
  for (const auto& entry : platform::ListDirectory(hostFolder)) {
    if (entry.isSymlink) continue;
    if (entry.isDirectory) {
      out.subFolders.push_back(entry.name);
    } else if (IsCatalogueName(entry.name)) {
      for (auto& record : ReadCatalogue(WithSeparator(hostFolder) + entry.name))
        out.records.push_back(std::move(record));
    }
  }
  return out;
}

}  // namespace dorvik
