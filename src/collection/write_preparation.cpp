// The collection's part of a data write: the optional playlist of every
// file the image will carry, then the layout file.
#include "collection/catalogue.h"
#include "collection/file_collection.h"
#include "collection/image_rules.h"
#include "collection/layout_file.h"
#include "collection/temp_names.h"
#include "collection/workspace_walk.h"
#include "platform/buffered_writer.h"
#include "platform/large_file.h"

namespace dorvik {

using platform::LargeFile;

void FileCollection::PrepareForWrite(const std::string& layoutPath, bool playlist, const std::string& volumeLabel,
                                     const ImageRules& rules) {
  std::lock_guard lock(mutex_);
  const platform::Folder workspace = OpenWorkspace();
  if (playlist) {
    if (PreparePlaylistFile().empty()) return;  // no playlist, and so no layout file either
    if (workspace.IsOpen()) {
      WritePlaylist(workspace, rules);
      AppendCatalogueRecord(workspace, {playlistPath_, kPlaylistName});
    }
  }
  WriteLayoutFile(workspace, layoutPath, volumeLabel);
}

std::string FileCollection::PreparePlaylistFile() {
  // The first playlist's file is created as its name is chosen, so a process
  // drawing the same name sequence cannot take it too; later ones empty it
  // in place. It is never unlinked and made anew: between the two another
  // local user could plant a link under the name.
  if (playlistPath_.empty()) return playlistPath_ = ReserveTempFileName("m3u");
  try {
    LargeFile(playlistPath_, LargeFile::Mode::Rewrite);
  } catch (const platform::FileError&) {
    return {};
  }
  return playlistPath_;
}

void FileCollection::WritePlaylist(const platform::Folder& workspace, const ImageRules& rules) {
  try {
    platform::BufferedWriter out;
    out.Create(playlistPath_);
    // One line per file the image will carry, in workspace order: the disc
    // path, or the bare name for a file in the root. A file the layout
    // leaves out (unreadable, not a regular file, too large, a name it
    // cannot write) gets no line: the playlist names only what is on the disc.
    WalkWorkspace(workspace, [&](const WorkspaceEntry& e) {
      if (e.kind != WorkspaceEntry::Kind::File) return;
      if (CheckRecord({e.source, e.name}, rules)) return;
      const bool inRoot = e.discPath.size() == e.name.size() + 1;
      out.Write((inRoot ? e.name : e.discPath) + "\r\n");
    });
    out.Close();
  } catch (const platform::FileError&) {
    // A playlist file that cannot be written loses its lines.
  }
}

}  // namespace dorvik
