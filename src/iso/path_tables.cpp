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
  auto writeRecords = [&](const std::string& primaryId, const std::string& jolietId, Extents extents,
                          uint32_t parent) {
    // Numbers past 16 bits cannot be written; such a table names the last
    // representable directory as parent, which readers of the trees ignore.
    const auto number = static_cast<uint16_t>(std::min<uint32_t>(parent, 0xFFFF));
    primaryL.Write(EncodePathTableRecord(primaryId, extents.first, number, false));
    primaryM.Write(EncodePathTableRecord(primaryId, extents.first, number, true));
    jolietL.Write(EncodePathTableRecord(jolietId, extents.second, number, false));
    jolietM.Write(EncodePathTableRecord(jolietId, extents.second, number, true));
  };

  const std::string rootId(1, '\0');
  writeRecords(rootId, rootId, extentsOf("\\"), 1);

  struct Pending {
    std::string folder;
    std::string imagePath;
    uint32_t number;
  };
  std::deque<Pending> queue{{workspaceRoot_, "", 1}};
  uint32_t counter = 1;
  while (!queue.empty()) {
    const Pending parent = std::move(queue.front());
    queue.pop_front();
    for (const platform::DirEntry& entry : platform::ListDirectory(parent.folder)) {
      if (!entry.isDirectory || entry.isSymlink) continue;
      const std::optional<std::string> jolietId = JolietName(entry.name);
      if (!jolietId) continue;  // left out of the directory tree as well
      const std::string imagePath = parent.imagePath + "\\" + entry.name;
      writeRecords(PrimaryFolderName(entry.name), *jolietId, extentsOf(imagePath), parent.number);
      ++counter;
      queue.push_back({parent.folder + platform::kPathSeparator + entry.name, imagePath, counter});
    }
  }
  primaryL.Close();
  primaryM.Close();
  jolietL.Close();
  jolietM.Close();
  return true;
}

}  // namespace dorvik::iso
