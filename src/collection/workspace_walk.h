#pragma once
// Reading a workspace: the folder tree mirrors the disc's, and each folder's
// catalogue lists its files. Entries come in the platform's enumeration
// order (byte-wise by name), a folder before anything inside it; a folder's
// files come where its catalogue falls among its sub-folders. Symbolic links
// found in a workspace are never followed (the library makes none).
#include <cstdint>
#include <functional>
#include <string>

#include "collection/catalogue.h"
#include "collection/disc_path.h"

namespace dorvik {

struct WorkspaceEntry {
  enum class Kind : uint8_t { Folder = 1, File = 2 };
  Kind kind = Kind::Folder;
  std::string source;      // the record's source field; empty for a folder
  std::string name;        // folder name, or the record's name field
  std::string discPath;    // "\A\B\" for a folder, "\A\B\x.mp3" for a file
};

// Depth-first walk of the workspace (the disc's root, given without or with
// a trailing separator). The root itself is not reported.
void WalkWorkspace(const std::string& workspace, const std::function<void(const WorkspaceEntry&)>& visit);

}  // namespace dorvik
