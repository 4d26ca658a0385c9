#include "iso/interchange_tree.h"

#include <algorithm>
#include <deque>
#include <optional>
#include <utility>

#include "collection/catalogue.h"
#include "collection/previous_session_descriptor.h"
#include "iso/file_sections.h"
#include "iso/interchange_names.h"
#include "iso/iso_dates.h"
#include "iso/iso_layout.h"
#include "platform/buffered_writer.h"
#include "platform/byte_order.h"
#include "platform/files.h"
#include "platform/large_file.h"

namespace dorvik::iso {

namespace {

// A catalogue record as a file of the image, before it is named; the
// reason when it cannot go on the disc (it is left out).
std::optional<LeftOutReason> ReadRecord(const CatalogueRecord& record, const ImageRules& rules,
                                        InterchangeFile& file) {
  file.source = record.source;
  if (IsSessionDescriptor(record.source)) {
    const SessionDescriptor old = ParseSessionDescriptor(record.source);
    file.onDisc = true;
    file.extent = static_cast<uint32_t>(old.extent);
    file.length = static_cast<uint32_t>(old.size);
    file.date = FullDate(old);
    return std::nullopt;
  }
  // Opened as the stream will read it: without waiting, regular files only.
  SourceFacts facts;
  if (const auto refused = InspectSource(record.source, rules, facts)) return refused;
  file.length = facts.length;
  const platform::LocalTime when = platform::ToLocal(facts.modified);
  PutRecordDate(file.date.data(), when, UtcOffsetByte(when));
  return std::nullopt;
}

void PutText(std::string& out, const std::string& text) {
  uint8_t length[4];
  platform::PutLe32(length, static_cast<uint32_t>(text.size()));
  out.append(reinterpret_cast<const char*>(length), 4);
  out += text;
}

std::string EncodeFile(const InterchangeFile& file) {
  std::string out;
  PutText(out, file.primaryId);
  PutText(out, file.jolietId);
  PutText(out, file.source);
  uint8_t numbers[8 + 7 + 1 + 4];
  platform::PutLe32(numbers, static_cast<uint32_t>(file.length));
  platform::PutLe32(numbers + 4, static_cast<uint32_t>(file.length >> 32));
  std::copy(file.date.begin(), file.date.end(), numbers + 8);
  numbers[15] = file.onDisc ? 1 : 0;
  platform::PutLe32(numbers + 16, file.extent);
  out.append(reinterpret_cast<const char*>(numbers), sizeof numbers);
  return out;
}

// Reads what EncodeFile wrote; false at the end of the block.
bool DecodeFile(const std::string& block, size_t& at, InterchangeFile& file) {
  auto text = [&](std::string& out) {
    if (at + 4 > block.size()) return false;
    const uint32_t n = platform::GetLe32(reinterpret_cast<const uint8_t*>(block.data() + at));
    if (at + 4 + n > block.size()) return false;
    out.assign(block, at + 4, n);
    at += 4 + n;
    return true;
  };
  if (!text(file.primaryId) || !text(file.jolietId) || !text(file.source) || at + 20 > block.size()) return false;
  const auto* p = reinterpret_cast<const uint8_t*>(block.data() + at);
  file.length = platform::GetLe32(p) | uint64_t{platform::GetLe32(p + 4)} << 32;
  std::copy(p + 8, p + 15, file.date.begin());
  file.onDisc = p[15] != 0;
  file.extent = platform::GetLe32(p + 16);
  at += 20;
  return true;
}

}  // namespace

void InterchangeTree::Scan(const std::string& workspaceRoot, const std::string& entryFilePath, const ImageRules& rules,
                           const LeftOutSink& leftOut) {
  entryFile = entryFilePath;
  folders.assign(1, InterchangeFolder{});
  platform::BufferedWriter entries;
  entries.Create(entryFile);
  uint64_t written = 0;
  uint64_t dataSectors = 0;

  DirectoryNames rootNames;  // kept to the end: the relocation folder is named last
  DirectoryNames deepNames;  // the relocation folder's own entries
  uint32_t relocation = kNoFolder;

  struct Pending {
    uint32_t index;
    std::string path;       // in the workspace
    std::string imagePath;  // "" for the root, "\A\B" below it
  };
  std::deque<Pending> queue{{0, workspaceRoot, ""}};
  while (!queue.empty()) {
    const Pending current = std::move(queue.front());
    queue.pop_front();
    const uint32_t index = current.index;
    const std::string& path = current.path;

    std::vector<std::string> subfolders;
    std::vector<std::pair<std::string, InterchangeFile>> onDisc, fresh;
    for (const platform::DirEntry& entry : platform::ListDirectory(path)) {
      if (entry.isSymlink) continue;  // the workspace holds no links; never follow one into a loop
      if (entry.isDirectory) {
        subfolders.push_back(entry.name);
      } else if (IsCatalogueName(entry.name)) {
        ForEachCatalogueRecord(path + platform::kPathSeparator + entry.name, [&](CatalogueRecord& record) {
          InterchangeFile file;
          std::optional<LeftOutReason> refused = ReadRecord(record, rules, file);
          if (!refused && !file.onDisc) {
            const uint64_t sectors = std::max<uint64_t>(1, (file.length + kSectorSize - 1) / kSectorSize);
            if (dataSectors + sectors > kInterchangeDataSectors) refused = LeftOutReason::TooLarge;
            else dataSectors += sectors;
          }
          if (refused) {
            leftOut(current.imagePath + "\\" + record.name, record.source, *refused);
            return;
          }
          (file.onDisc ? onDisc : fresh).emplace_back(std::move(record.name), std::move(file));
        });
      }
    }

    // Folders are named first, then the files an earlier session left, then
    // the new ones, so what is on the disc already keeps its name where it can.
    DirectoryNames localNames;
    DirectoryNames& names = index == 0 ? rootNames : localNames;
    for (const std::string& name : subfolders) {
      const auto child = static_cast<uint32_t>(folders.size());
      InterchangeFolder folder;
      folder.jolietParent = index;
      folder.jolietId = names.Joliet(name);
      folder.level = folders[index].level + 1;
      if (folder.level > kDeepestPrimaryLevel) {
        if (relocation == kNoFolder) {
          relocation = child + 1;
          InterchangeFolder deep;
          deep.jolietParent = kNoFolder;
          deep.level = 2;
          folders[0].primaryChildren.push_back(relocation);
          folders.push_back(std::move(folder));
          folders.push_back(std::move(deep));
        } else {
          folders.push_back(std::move(folder));
        }
        folders[child].primaryParent = relocation;
        folders[child].level = folders[relocation].level + 1;
        folders[child].primaryId = deepNames.Folder(name);
      } else {
        folder.primaryParent = index;
        folder.primaryId = names.Folder(name);
        folders.push_back(std::move(folder));
      }
      folders[folders[child].primaryParent].primaryChildren.push_back(child);
      folders[index].jolietChildren.push_back(child);
      queue.push_back({child, path + platform::kPathSeparator + name, current.imagePath + "\\" + name});
    }
    std::string block;
    for (auto* group : {&onDisc, &fresh}) {
      for (auto& [name, file] : *group) {
        file.primaryId = names.File(name);
        file.jolietId = names.Joliet(name);
        block += EncodeFile(file);
      }
    }
    folders[index].filesAt = written;
    folders[index].filesBytes = block.size();
    entries.Write(block);
    written += block.size();
  }
  if (relocation != kNoFolder) folders[relocation].primaryId = rootNames.Folder(kRelocationFolderName);
  entries.Close();
}

std::vector<InterchangeFile> InterchangeTree::ReadFiles(const InterchangeFolder& folder) const {
  std::vector<InterchangeFile> files;
  if (folder.filesBytes == 0) return files;
  platform::LargeFile file(entryFile, platform::LargeFile::Mode::Read);
  file.Seek(static_cast<int64_t>(folder.filesAt));
  std::string block(folder.filesBytes, '\0');
  block.resize(file.Read(block.data(), block.size()));
  size_t at = 0;
  InterchangeFile one;
  while (DecodeFile(block, at, one)) files.push_back(one);
  return files;
}

namespace {

template <typename Children, typename Less>
std::vector<uint32_t> BreadthFirst(std::vector<InterchangeFolder>& folders, Children children, Less less) {
  std::vector<uint32_t> order{0};
  for (size_t i = 0; i < order.size(); ++i) {
    std::vector<uint32_t>& list = children(folders[order[i]]);
    std::sort(list.begin(), list.end(), [&](uint32_t a, uint32_t b) { return less(folders[a], folders[b]); });
    order.insert(order.end(), list.begin(), list.end());
  }
  return order;
}

}  // namespace

std::vector<uint32_t> InterchangeTree::PrimaryOrder() {
  return BreadthFirst(
      folders, [](InterchangeFolder& f) -> std::vector<uint32_t>& { return f.primaryChildren; },
      [](const InterchangeFolder& a, const InterchangeFolder& b) { return PrimaryIdentifierLess(a.primaryId, b.primaryId); });
}

std::vector<uint32_t> InterchangeTree::JolietOrder() {
  return BreadthFirst(
      folders, [](InterchangeFolder& f) -> std::vector<uint32_t>& { return f.jolietChildren; },
      [](const InterchangeFolder& a, const InterchangeFolder& b) { return JolietIdentifierLess(a.jolietId, b.jolietId); });
}

}  // namespace dorvik::iso
