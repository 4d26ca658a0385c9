// The collection's part of a data write: the optional playlist of every
// catalogue record, then the layout file.
#include "collection/catalogue.h"
#include "collection/file_collection.h"
#include "collection/file_tree.h"
#include "collection/layout_file.h"
#include "collection/temp_names.h"
#include "collection/workspace_walk.h"
#include "platform/buffered_writer.h"
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

void FileCollection::WritePlaylist(const std::string& workspace) {
  // The playlist file was just made empty, so writing it anew appends.
  try {
    platform::BufferedWriter out;
    out.Create(playlistPath_);
    // One line per catalogue record, in workspace order: the disc path, or
    // the bare name for a file in the root.
    WalkWorkspace(workspace, [&](const WorkspaceEntry& e) {
      if (e.kind != WorkspaceEntry::Kind::File) return;
      const bool inRoot = e.discPath.size() == e.name.size() + 1;
      out.Write((inRoot ? e.name : e.discPath) + "\r\n");
    });
    out.Close();
  } catch (const platform::FileError&) {
    // A playlist file that cannot be written loses its lines.
  }
}

}  // namespace dorvik
