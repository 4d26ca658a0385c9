// The four path tables: every directory once, level by level from the root,
// each level grouped by parent in the parents' order and, within a parent,
// in folder-listing order: a breadth-first walk of the workspace.
#include <algorithm>
#include <cstdlib>
#include <deque>
#include <optional>
#include <unordered_map>
#include <utility>

#include "platform/buffered_writer.h"
#include "iso/composer_walk.h"
#include "iso/image_composer.h"
#include "iso/iso_names.h"
#include "iso/volume_descriptors.h"
#include "platform/files.h"

namespace dorvik::iso {

namespace {

using Extents = std::pair<uint32_t, uint32_t>;  // primary, provisional Joliet

// The directory list read once into an index: the walk below looks every
// directory up, and rescanning the text for each would cost the square of
// the tree's size.
std::unordered_map<std::string, Extents> ReadDirectoryList(const std::string& path) {
  std::unordered_map<std::string, Extents> index;
  platform::LargeFile file(path, platform::LargeFile::Mode::Read);
  std::string text(static_cast<size_t>(file.Length()), '\0');
  text.resize(file.Read(text.data(), text.size()));
  size_t at = 0;
  auto line = [&]() -> std::string {
    const size_t end = text.find('\n', at);
    std::string out = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    return out;
  };
  while (at < text.size()) {
    std::string imagePath = line();
    const uint32_t primary = static_cast<uint32_t>(std::strtoul(line().c_str(), nullptr, 10));
    const uint32_t joliet = static_cast<uint32_t>(std::strtoul(line().c_str(), nullptr, 10));
    index.emplace(std::move(imagePath), Extents{primary, joliet});  // the first triple wins
  }
  return index;
}

}  // namespace

bool ImageComposer::WritePathTables() {
  if (workspaceRoot_.empty()) return false;
  const auto directories = ReadDirectoryList(temp_[kDirectoryList]);
  auto extentsOf = [&](const std::string& imagePath) {
    auto it = directories.find(DirectoryListLine(imagePath));
    return it == directories.end() ? Extents{0, 0} : it->second;
  };

  BufferedWriter primaryL, primaryM, jolietL, jolietM;
  primaryL.Create(temp_[kPrimaryL]);
  primaryM.Create(temp_[kPrimaryM]);
  jolietL.Create(temp_[kJolietL]);
  jolietM.Create(temp_[kJolietM]);
  // Directory numbers are positions in a table. A folder without a Joliet
  // name has primary records only, so the Joliet tables leave it out with
  // its subtree (which the Joliet tree cannot reach either) and count their
  // own records: each table's parent numbers stay true to that table.
  auto number16 = [](uint32_t n) {
    // Numbers past 16 bits cannot be written; such a table names the last
    // representable directory as parent, which readers of the trees ignore.
    return static_cast<uint16_t>(std::min<uint32_t>(n, 0xFFFF));
  };
  auto writePrimary = [&](const std::string& id, uint32_t extent, uint32_t parent) {
    primaryL.Write(EncodePathTableRecord(id, extent, number16(parent), false));
    primaryM.Write(EncodePathTableRecord(id, extent, number16(parent), true));
  };
  auto writeJoliet = [&](const std::string& id, uint32_t extent, uint32_t parent) {
    jolietL.Write(EncodePathTableRecord(id, extent, number16(parent), false));
    jolietM.Write(EncodePathTableRecord(id, extent, number16(parent), true));
  };

  const std::string rootId(1, '\0');
  const Extents root = extentsOf("\\");
  writePrimary(rootId, root.first, 1);
  writeJoliet(rootId, root.second, 1);

  struct Pending {
    std::string folder;
    std::string imagePath;
    uint32_t number;
    uint32_t jolietNumber;  // 0: not in the Joliet tree
  };
  std::deque<Pending> queue{{workspaceRoot_, "", 1, 1}};
  uint32_t counter = 1, jolietCounter = 1;
  while (!queue.empty()) {
    const Pending parent = std::move(queue.front());
    queue.pop_front();
    for (const platform::DirEntry& entry : platform::ListDirectory(parent.folder)) {
      if (!entry.isDirectory || entry.isSymlink) continue;
      const std::string imagePath = parent.imagePath + "\\" + entry.name;
      const Extents extents = extentsOf(imagePath);
      writePrimary(PrimaryFolderName(entry.name), extents.first, parent.number);
      uint32_t jolietNumber = 0;
      const std::optional<std::string> jolietId =
          parent.jolietNumber && NameFits(entry.name, rules_) ? JolietName(entry.name) : std::nullopt;
      if (jolietId) {
        writeJoliet(*jolietId, extents.second, parent.jolietNumber);
        jolietNumber = ++jolietCounter;
      }
      queue.push_back({parent.folder + platform::kPathSeparator + entry.name, imagePath, ++counter, jolietNumber});
    }
  }
  primaryL.Close();
  primaryM.Close();
  jolietL.Close();
  jolietM.Close();
  return true;
}

}  // namespace dorvik::iso
