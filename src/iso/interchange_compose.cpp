// Compose in the interchange layout. A reader that streams the image (as
// libarchive does) meets everything in the order it needs it: the
// descriptors, the four path tables, every primary directory and then every
// Joliet directory, each tree with parents before children (the order of its
// path table), and only then the data of the new files. Nothing needs to be
// moved once written: each directory is sized first, then placed, then
// written once at its place.
#include <algorithm>
#include <cstring>
#include <utility>

#include "collection/previous_session_descriptor.h"
#include "iso/composer_walk.h"
#include "iso/directory_record.h"
#include "iso/file_sections.h"
#include "iso/image_composer.h"
#include "iso/interchange_names.h"
#include "iso/interchange_tree.h"
#include "iso/iso_dates.h"
#include "iso/iso_fields.h"
#include "iso/volume_descriptors.h"
#include "platform/buffered_writer.h"

namespace dorvik::iso {

namespace {

constexpr uint32_t kSystemAreaSectors = 16;
constexpr uint32_t kDescriptorSectors = 3;  // primary, Joliet, terminator

enum class Tree { Primary, Joliet };

const std::string& IdOf(const InterchangeFolder& folder, Tree tree) {
  return tree == Tree::Primary ? folder.primaryId : folder.jolietId;
}
const std::string& IdOf(const InterchangeFile& file, Tree tree) {
  return tree == Tree::Primary ? file.primaryId : file.jolietId;
}
uint32_t ExtentOf(const InterchangeFolder& folder, Tree tree) {
  return tree == Tree::Primary ? folder.primaryExtent : folder.jolietExtent;
}
uint32_t SectorsOf(const InterchangeFolder& folder, Tree tree) {
  return tree == Tree::Primary ? folder.primarySectors : folder.jolietSectors;
}
uint32_t ParentOf(const InterchangeFolder& folder, Tree tree) {
  return tree == Tree::Primary ? folder.primaryParent : folder.jolietParent;
}
bool IdentifierLess(const std::string& a, const std::string& b, Tree tree) {
  return tree == Tree::Primary ? PrimaryIdentifierLess(a, b) : JolietIdentifierLess(a, b);
}

uint64_t DataSectors(uint64_t length) { return std::max<uint64_t>(1, (length + kSectorSize - 1) / kSectorSize); }

// A record never crosses a sector: the rest of the sector is left zero.
void Append(std::string& directory, const DirectoryRecord& record) {
  const std::string encoded = EncodeRecord(record);
  const size_t room = kSectorSize - directory.size() % kSectorSize;
  if (room < encoded.size()) directory.append(room, '\0');
  directory += encoded;
}

// One directory of one tree in whole sectors, sized by its records; before
// the extents are placed it has its final length already.
std::string BuildDirectory(const InterchangeTree& tree, uint32_t index, const std::vector<InterchangeFile>& files,
                           Tree which, const platform::LocalTime& now) {
  const InterchangeFolder& self = tree.folders[index];
  const InterchangeFolder& parent = tree.folders[ParentOf(self, which)];
  DirectoryRecord record;
  record.flags = kDirectoryFlag;
  PutRecordDate(record.date.data(), now, UtcOffsetByte(now));
  std::string out;
  for (const auto& [folder, id] : {std::pair{&self, '\0'}, std::pair{&parent, '\1'}}) {
    record.extent = ExtentOf(*folder, which);
    record.dataLength = SectorsOf(*folder, which) * kSectorSize;
    record.identifier.assign(1, id);
    Append(out, record);
  }

  struct Entry {
    const std::string* id;
    const InterchangeFolder* folder;
    const InterchangeFile* file;
  };
  std::vector<Entry> entries;
  for (uint32_t child : which == Tree::Primary ? self.primaryChildren : self.jolietChildren)
    entries.push_back({&IdOf(tree.folders[child], which), &tree.folders[child], nullptr});
  for (const InterchangeFile& file : files) entries.push_back({&IdOf(file, which), nullptr, &file});
  std::sort(entries.begin(), entries.end(),
            [which](const Entry& a, const Entry& b) { return IdentifierLess(*a.id, *b.id, which); });

  for (const Entry& entry : entries) {
    record.identifier = *entry.id;
    if (entry.folder) {
      record.flags = kDirectoryFlag;
      record.extent = ExtentOf(*entry.folder, which);
      record.dataLength = SectorsOf(*entry.folder, which) * kSectorSize;
      PutRecordDate(record.date.data(), now, UtcOffsetByte(now));
      Append(out, record);
      continue;
    }
    const InterchangeFile& file = *entry.file;
    record.date = file.date;
    const uint32_t sections = SectionCount(file.length);
    for (uint32_t k = 0; k < sections; ++k) {
      record.flags = k + 1 < sections ? kMultiExtentFlag : 0;
      record.extent = file.extent + k * kSectionSectors;
      record.dataLength = SectionLength(file.length, k);
      Append(out, record);
    }
  }
  out.append((kSectorSize - out.size() % kSectorSize) % kSectorSize, '\0');
  return out;
}

// One tree's path table, little-endian (L) or big-endian (M): every folder in
// the tree's order, each naming its parent by its place in that order.
std::string PathTable(const InterchangeTree& tree, const std::vector<uint32_t>& order, Tree which, bool bigEndian) {
  std::vector<uint32_t> number(tree.folders.size(), 0);
  std::string out;
  for (size_t i = 0; i < order.size(); ++i) {
    const InterchangeFolder& folder = tree.folders[order[i]];
    number[order[i]] = static_cast<uint32_t>(i + 1);
    // Past 65535 folders the 16-bit parent number cannot be written; the
    // last one it can name stands in, as in the classic layout.
    const auto parent = static_cast<uint16_t>(std::min<uint32_t>(i == 0 ? 1 : number[ParentOf(folder, which)], 0xFFFF));
    out += EncodePathTableRecord(i == 0 ? std::string(1, '\0') : IdOf(folder, which), ExtentOf(folder, which), parent,
                                 bigEndian);
  }
  return out;
}

std::string WholeSectors(std::string bytes) {
  bytes.append((kSectorSize - bytes.size() % kSectorSize) % kSectorSize, '\0');
  return bytes;
}

}  // namespace

bool ImageComposer::ComposeInterchange() {
  InterchangeTree tree;
  tree.Scan(workspaceRoot_, temp_[kDirectoryList], rules_,
            [this](const std::string& discPath, const std::string& source, LeftOutReason reason) {
              Notice({ComposeNotice::Kind::FileLeftOut, discPath, source, reason});
            });
  const std::vector<uint32_t> primaryOrder = tree.PrimaryOrder();
  const std::vector<uint32_t> jolietOrder = tree.JolietOrder();

  // Sizes first: a directory's length depends on its names alone.
  for (uint32_t index : primaryOrder) {
    const std::vector<InterchangeFile> files = tree.ReadFiles(tree.folders[index]);
    InterchangeFolder& folder = tree.folders[index];
    folder.primarySectors = SectorsFor(BuildDirectory(tree, index, files, Tree::Primary, composeTime_).size());
    if (folder.jolietParent != kNoFolder)
      folder.jolietSectors = SectorsFor(BuildDirectory(tree, index, files, Tree::Joliet, composeTime_).size());
  }
  primaryPathTableSize_ = static_cast<uint32_t>(PathTable(tree, primaryOrder, Tree::Primary, false).size());
  jolietPathTableSize_ = static_cast<uint32_t>(PathTable(tree, jolietOrder, Tree::Joliet, false).size());

  // Then places, each piece right after the one before.
  const uint32_t headStart = startAddress_ + kSystemAreaSectors;
  uint64_t at = headStart + kDescriptorSectors;
  primaryLTable_ = static_cast<uint32_t>(at);
  primaryMTable_ = static_cast<uint32_t>(at += SectorsFor(primaryPathTableSize_));
  jolietLTable_ = static_cast<uint32_t>(at += SectorsFor(primaryPathTableSize_));
  jolietMTable_ = static_cast<uint32_t>(at += SectorsFor(jolietPathTableSize_));
  at += SectorsFor(jolietPathTableSize_);
  for (uint32_t index : primaryOrder) {
    tree.folders[index].primaryExtent = static_cast<uint32_t>(at);
    at += tree.folders[index].primarySectors;
  }
  for (uint32_t index : jolietOrder) {
    tree.folders[index].jolietExtent = static_cast<uint32_t>(at);
    at += tree.folders[index].jolietSectors;
  }
  if (at > UINT32_MAX) return false;
  firstFileSector_ = fileCursor_ = static_cast<uint32_t>(at);

  // Then every piece written once, at its place in the head file.
  // A reserved name: rewritten in place, never through a link.
  platform::LargeFile head(temp_[kHead], platform::LargeFile::Mode::Rewrite);
  auto writeAt = [&](uint32_t sector, const std::string& bytes) {
    head.Seek(int64_t{sector - headStart} * kSectorSize);
    head.Write(bytes.data(), bytes.size());
  };
  writeAt(primaryLTable_, WholeSectors(PathTable(tree, primaryOrder, Tree::Primary, false)));
  writeAt(primaryMTable_, WholeSectors(PathTable(tree, primaryOrder, Tree::Primary, true)));
  writeAt(jolietLTable_, WholeSectors(PathTable(tree, jolietOrder, Tree::Joliet, false)));
  writeAt(jolietMTable_, WholeSectors(PathTable(tree, jolietOrder, Tree::Joliet, true)));

  BufferedWriter dataList;
  dataList.Create(temp_[kDataList]);
  uint64_t cursor = fileCursor_;
  for (uint32_t index : primaryOrder) {
    std::vector<InterchangeFile> files = tree.ReadFiles(tree.folders[index]);
    for (InterchangeFile& file : files) {
      if (file.onDisc) continue;  // stays where the earlier session put it
      const uint64_t sectors = DataSectors(file.length);
      if (cursor + sectors > UINT32_MAX) return false;
      file.extent = static_cast<uint32_t>(cursor);
      cursor += sectors;
      uint8_t record[kDataListRecordSize] = {};
      std::memcpy(record, file.source.data(), std::min(file.source.size(), kDataListPathField - 1));
      PutLe32(record + kDataListPathField, static_cast<uint32_t>(sectors));
      dataList.Write(record, sizeof record);
    }
    const InterchangeFolder& folder = tree.folders[index];
    writeAt(folder.primaryExtent, BuildDirectory(tree, index, files, Tree::Primary, composeTime_));
    if (folder.jolietParent != kNoFolder)
      writeAt(folder.jolietExtent, BuildDirectory(tree, index, files, Tree::Joliet, composeTime_));
  }
  dataList.Close();
  fileCursor_ = static_cast<uint32_t>(cursor);
  totalSectors_ = fileCursor_ - startAddress_;
  headSectors_ = firstFileSector_ - headStart;

  const InterchangeFolder& root = tree.folders[0];
  rootPrimaryExtent_ = root.primaryExtent;
  rootPrimarySectors_ = root.primarySectors;
  rootJolietExtent_ = root.jolietExtent;
  rootJolietSectors_ = root.jolietSectors;
  std::string descriptors(kDescriptorSectors * kSectorSize, '\0');
  BuildDescriptors(reinterpret_cast<uint8_t*>(descriptors.data()));
  writeAt(headStart, descriptors);
  head.SetLength(uint64_t{headSectors_} * kSectorSize);
  head.Close();
  return true;
}

}  // namespace dorvik::iso
