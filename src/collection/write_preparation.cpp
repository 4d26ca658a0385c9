// The collection's part of a data write: the optional playlist of every
// catalogue record, then the layout file.
#include "collection/catalogue.h"
#include "collection/file_collection.h"
#include "collection/file_tree.h"
#include "collection/layout_file.h"
#include "collection/temp_names.h"
#include "platform/large_file.h"

namespace dorvik {

using platform::LargeFile;

void FileCollection::PrepareForWrite(const std::string& layoutPath, bool playlist, const std::string& volumeLabel) {
  std::lock_guard lock(mutex_);
  const bool usable = WorkspaceUsable();
  if (playlist) {
    if (PreparePlaylistFile().empty()) return;  // no playlist, and so no layout file either
    if (usable) {
      WritePlaylist(workspace_);
      AppendCatalogueRecord(WithSeparator(workspace_) + kCatalogueFileName, {playlistPath_, kPlaylistName});
    }
  }
  WriteLayoutFile(usable ? workspace_ : std::string(), layoutPath, volumeLabel);
}

std::string FileCollection::PreparePlaylistFile() {
  // The first playlist's file is created as its name is chosen, so a process
  // drawing the same name sequence cannot take it too; later ones empty it.
  if (playlistPath_.empty()) return playlistPath_ = ReserveTempFileName("m3u");
  try {
    platform::RemoveFile(playlistPath_);
    LargeFile(playlistPath_, LargeFile::Mode::Create);
  } catch (const platform::FileError&) {
    return {};
  }
  return playlistPath_;
}

void FileCollection::WritePlaylist(const std::string& folder) {
  for (const auto& entry : platform::ListDirectory(folder)) {
    if (entry.isSymlink) continue;
    const std::string path = WithSeparator(folder) + entry.name;
    if (entry.isDirectory) {
      WritePlaylist(path);
      continue;
    }
    if (!IsCatalogueName(entry.name)) continue;
    auto records = ReadCatalogue(path);
    if (records.empty()) continue;
    // Lines outside the root carry the record's disc folder: "\A\B\" + name.
    std::string prefix;
    if (folder.size() != workspace_.size()) {
      prefix = folder.substr(workspace_.size());
      for (char& c : prefix)
        if (c == platform::kPathSeparator) c = '\\';
      prefix += '\\';
    }
    std::string lines;
    for (const auto& r : records) lines += prefix + r.name + "\r\n";
    try {
      LargeFile out(playlistPath_, LargeFile::Mode::ReadWrite);
      out.Seek(0, LargeFile::Origin::End);
      out.Write(lines.data(), lines.size());
    } catch (const platform::FileError&) {
      // A playlist that vanished meanwhile loses these lines.
    }
  }
}

}  // namespace dorvik
