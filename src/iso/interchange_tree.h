#pragma once
// The workspace as the interchange layout sees it: every folder with its
// place in both trees and both names, read in one breadth-first walk. Each
// folder's files, with their names, sizes and dates settled, go to an entry
// file, so the directories can be sized, placed and written from what was
// read once, and memory grows with the number of folders and the largest
// folder, not with the number of files.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "collection/image_rules.h"

namespace dorvik::iso {

inline constexpr uint32_t kNoFolder = UINT32_MAX;
// Directory levels the primary tree may have, the root being level 1.
inline constexpr uint32_t kDeepestPrimaryLevel = 8;
// The primary tree's folder for directories that would lie deeper: it
// stands in the root, and the Joliet tree keeps them in place.
inline constexpr char kRelocationFolderName[] = "DEEPER";

struct InterchangeFile {
  std::string primaryId;  // "NAME.EXT;1"
  std::string jolietId;   // big-endian UTF-16
  std::string source;     // host path; for a file already on the disc, its descriptor
  uint64_t length = 0;
  std::array<uint8_t, 7> date{};
  bool onDisc = false;  // written by an earlier session, at extent
  uint32_t extent = 0;
};

struct InterchangeFolder {
  std::string primaryId, jolietId;  // empty for the root
  uint32_t primaryParent = 0;       // the root is its own parent
  uint32_t jolietParent = 0;        // kNoFolder: not in the Joliet tree
  uint32_t level = 1;               // in the primary tree
  std::vector<uint32_t> primaryChildren, jolietChildren;
  uint64_t filesAt = 0, filesBytes = 0;  // its files in the entry file
  uint32_t primarySectors = 0, jolietSectors = 0;
  uint32_t primaryExtent = 0, jolietExtent = 0;
};

struct InterchangeTree {
  // Told each file left out: its disc path ("\\A\\name"), its source, why.
  using LeftOutSink =
      std::function<void(const std::string& discPath, const std::string& source, LeftOutReason reason)>;

  // Folder 0 is the root; the rest follow in walk order. A file the rules
  // refuse (its source cannot be read or is no regular file, or it is too
  // large), or whose data would pass the data area, is left out and handed
  // to leftOut. Throws platform::FileError when the entry file cannot be
  // written.
  void Scan(const std::string& workspaceRoot, const std::string& entryFile, const ImageRules& rules,
            const LeftOutSink& leftOut);
  // A folder's files as Scan wrote them. Throws platform::FileError.
  std::vector<InterchangeFile> ReadFiles(const InterchangeFolder& folder) const;
  // Folders in the order of a tree's path table: level by level, parents in
  // their own order, children by identifier. Sorts the children lists.
  std::vector<uint32_t> PrimaryOrder();
  std::vector<uint32_t> JolietOrder();

  std::vector<InterchangeFolder> folders;
  std::string entryFile;
};

}  // namespace dorvik::iso
