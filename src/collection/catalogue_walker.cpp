#include "collection/catalogue_walker.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "collection/catalogue.h"
#include "collection/disc_path.h"
#include "collection/file_tree.h"
#include "collection/previous_session_descriptor.h"
#include "platform/large_file.h"

namespace dorvik {

using platform::kPathSeparator;

namespace {

// The last component of a host path (a trailing separator already removed).
std::string LastComponent(const std::string& path) {
  auto pos = path.rfind(kPathSeparator);
  return pos == std::string::npos ? path : path.substr(pos + 1);
}

}  // namespace

bool IsMp3(const std::string& path) {
  size_t begin = 0, end = path.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(path[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(path[end - 1]))) --end;
  if (end - begin <= 4) return false;
  std::string tail = path.substr(end - 4, 4);
  for (char& c : tail) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return tail == ".MP3";
}

CatalogueWalker::CatalogueWalker(bool mp3Only, std::string workspace)
    : mp3Only_(mp3Only), workspace_(std::move(workspace)), workspaceIdentity_(platform::IdentifyFolder(workspace_)) {}

bool CatalogueWalker::IsWorkspaceOrInside(const std::string& source) const {
  std::error_code ec;
  auto src = std::filesystem::weakly_canonical(source, ec);
  if (ec) return false;
  auto ws = std::filesystem::weakly_canonical(workspace_, ec);
  if (ec || ws.empty()) return false;
  auto [wsEnd, srcAt] = std::mismatch(ws.begin(), ws.end(), src.begin(), src.end());
  (void)srcAt;
  return wsEnd == ws.end();
}

bool CatalogueWalker::AddEntry(const platform::Folder& folder, const std::string& source) {
  if (IsSessionDescriptor(source)) {
    AddSessionEntry(source, folder);
    return true;
  }
  const std::string name = LastComponent(source);
  // "." and ".." would name the folder itself or its parent, and an empty
  // name (the file-system root) names nothing: none of them is taken.
  if (name == "..") return true;
  if (!IsSafeEntryName(name)) return false;

  const auto info = platform::Stat(source);
  if (!info.exists) return false;

  if (info.isDirectory) {
    if (IsWorkspaceOrInside(source)) return false;
    return AddFolder(WithSeparator(source), folder, name);
  }
  // A pipe, socket or device has no end and could block whoever reads it.
  if (!info.isRegular) return false;

  if (CatalogueHoldsText(folder, name)) return true;
  if (mp3Only_ && !IsMp3(source)) return false;
  return AddSingleFile(source, folder);
}

bool CatalogueWalker::AddSingleFile(const std::string& source, const platform::Folder& folder) {
  const auto info = platform::Stat(source);
  if (!info.exists) return true;
  // A pipe, socket or device has no end and could block whoever reads it.
  if (!info.isRegular) return false;
  // Files of 4 GiB or more are taken too: whether the image can hold one is
  // the layout's question, answered when the image is composed.
  AppendCatalogueRecord(folder, {source, LastComponent(source)});
  return true;
}

bool CatalogueWalker::AddFolder(const std::string& sourceFolder, const platform::Folder& parent,
                                const std::string& name) {
  std::vector<platform::FolderIdentity> ancestors;
  return AddFolderBelow(sourceFolder, parent, name, ancestors);
}

bool CatalogueWalker::AddFolderBelow(const std::string& sourceFolder, const platform::Folder& parent,
                                     const std::string& name, std::vector<platform::FolderIdentity>& ancestors) {
  if (LastComponent(WithoutSeparator(sourceFolder)) == "..") return true;
  // The old folder of that name goes, with everything in it. A link (or a
  // file) standing there is not ours to replace: the addition is refused.
  const auto kind = parent.KindOf(name);
  if (kind == platform::Folder::Kind::Folder && !DeleteTree(parent, name)) return false;
  if (kind != platform::Folder::Kind::Folder && kind != platform::Folder::Kind::Missing) return false;
  // Without its workspace folder nothing below it could be recorded either.
  const platform::Folder folder = WriteFolderCatalogue(sourceFolder, parent, name);
  if (!folder.IsOpen()) return true;

  auto self = platform::IdentifyFolder(sourceFolder);
  if (self) ancestors.push_back(*self);
  for (const auto& entry : platform::ListDirectory(sourceFolder)) {
    if (!entry.isDirectory || !IsSafeEntryName(entry.name)) continue;
    const std::string sub = sourceFolder + entry.name;
    auto id = platform::IdentifyFolder(sub);
    if (!id) continue;
    // The workspace grows while we walk: entering it would never end. A
    // folder that is one of its own ancestors (through a link) neither.
    if (workspaceIdentity_ && *id == *workspaceIdentity_) continue;
    if (std::find(ancestors.begin(), ancestors.end(), *id) != ancestors.end()) continue;
    AddFolderBelow(WithSeparator(sub), folder, entry.name, ancestors);
  }
  if (self) ancestors.pop_back();
  return true;
}

platform::Folder CatalogueWalker::WriteFolderCatalogue(const std::string& sourceFolder, const platform::Folder& parent,
                                                       const std::string& name) {
  if (!parent.CreateChild(name)) return {};
  platform::Folder folder = parent.Child(name);
  if (!folder.IsOpen()) return {};
  try {
    platform::LargeFile file = folder.OpenFile(kCatalogueFileName, platform::LargeFile::Mode::Append);
    const std::string base = WithoutSeparator(sourceFolder);
    for (const auto& entry : platform::ListDirectory(base)) {
      if (entry.isDirectory) continue;
      CatalogueRecord record{base + kPathSeparator + entry.name, entry.name};
      if (mp3Only_ && !IsMp3(record.source)) continue;
      if (!IsSafeEntryName(record.name)) continue;
      auto bytes = EncodeCatalogueRecord(record);
      if (!bytes) continue;  // too long for a field: skipped, never cut
      file.Write(bytes->data(), bytes->size());
    }
  } catch (const platform::FileError&) {
    // The folder stays, empty or with the records written so far.
  }
  return folder;
}

void CatalogueWalker::AddSessionEntry(const std::string& descriptor, const platform::Folder& folder) {
  const auto parsed = ParseSessionDescriptor(descriptor);
  if (!IsSafeEntryName(parsed.name)) return;
  if (parsed.kind == SessionEntryKind::Folder) {
    folder.CreateChild(parsed.name);
    return;
  }
  AppendCatalogueRecord(folder, {descriptor, parsed.name});
}

}  // namespace dorvik
