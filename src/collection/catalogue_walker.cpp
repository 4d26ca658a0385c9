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

bool CatalogueWalker::AddEntry(const std::string& folder, const std::string& source) {
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
    const std::string target = folder + name;
    if (FolderExists(target) && !DeleteTree(target)) return false;
    return AddFolder(WithSeparator(source), WithSeparator(target));
  }

  if (CatalogueHoldsText(folder + kCatalogueFileName, name)) return true;
  if (mp3Only_ && !IsMp3(source)) return false;
  return AddSingleFile(source, folder + name);
}

bool CatalogueWalker::AddSingleFile(const std::string& source, const std::string& workspacePath) {
  const auto info = platform::Stat(source);
  if (!info.exists) return true;
  if (info.isDirectory) return false;
  // Files of 4 GiB or more are taken too: whether the image can hold one is
  // the layout's question, answered when the image is composed.
  CatalogueRecord record{source, LastComponent(source)};
  AppendCatalogueRecord(platform::FolderOf(workspacePath) + kCatalogueFileName, record);
  return true;
}

bool CatalogueWalker::AddFolder(const std::string& sourceFolder, const std::string& workspaceFolder) {
  std::vector<platform::FolderIdentity> ancestors;
  return AddFolderBelow(sourceFolder, workspaceFolder, ancestors);
}

bool CatalogueWalker::AddFolderBelow(const std::string& sourceFolder, const std::string& workspaceFolder,
                                     std::vector<platform::FolderIdentity>& ancestors) {
  if (LastComponent(WithoutSeparator(sourceFolder)) == "..") return true;
  if (FolderExists(workspaceFolder) && !DeleteTree(workspaceFolder)) return false;
  // Without its workspace folder nothing below it could be recorded either.
  if (!WriteFolderCatalogue(sourceFolder, workspaceFolder)) return true;

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
    AddFolderBelow(WithSeparator(sub), WithSeparator(workspaceFolder + entry.name), ancestors);
  }
  if (self) ancestors.pop_back();
  return true;
}

bool CatalogueWalker::WriteFolderCatalogue(const std::string& sourceFolder, const std::string& workspaceFolder) {
  if (!platform::CreateFolder(WithoutSeparator(workspaceFolder))) return false;
  const std::string catalogue = WithSeparator(workspaceFolder) + kCatalogueFileName;
  try {
    platform::LargeFile file(catalogue, platform::LargeFile::Mode::Append);
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
  return true;
}

void CatalogueWalker::AddSessionEntry(const std::string& descriptor, const std::string& folder) {
  const auto parsed = ParseSessionDescriptor(descriptor);
  if (!IsSafeEntryName(parsed.name)) return;
  if (parsed.kind == SessionEntryKind::Folder) {
    platform::CreateFolder(folder + parsed.name);
    return;
  }
  AppendCatalogueRecord(folder + kCatalogueFileName, {descriptor, parsed.name});
}

}  // namespace dorvik
