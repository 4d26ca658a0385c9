#pragma once
// Reading a workspace: the folder tree mirrors the disc's, and each folder's
// catalogue lists its files. Entries come in the platform's enumeration
// order (byte-wise by name), a folder before anything inside it; a folder's
// files come where its catalogue falls among its sub-folders. The walk goes
// from the workspace's descriptor and never through a symbolic link (the
// library makes none; one found there is passed over).
#include <cstdint>
#include <functional>
#include <string>

#include "collection/catalogue.h"
#include "collection/disc_path.h"

namespace dorvik::platform {
class Folder;
}

namespace dorvik {

struct WorkspaceEntry {
  enum class Kind : uint8_t { Folder = 1, File = 2 };
  Kind kind = Kind::Folder;
  std::string source;      // the record's source field; empty for a folder
  std::string name;        // folder name, or the record's name field
  std::string discPath;    // "\A\B\" for a folder, "\A\B\x.mp3" for a file
};

// Depth-first walk of the workspace (the disc's root). The root itself is
// not reported; a workspace that is not open gives nothing.
void WalkWorkspace(const platform::Folder& workspace, const std::function<void(const WorkspaceEntry&)>& visit);

}  // namespace dorvik
