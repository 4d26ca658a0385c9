// The directory walk of Compose: every workspace folder becomes a primary
// and a Joliet directory extent, written after all of its subfolders, so
// the deepest directories come first and the root comes last.
#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "collection/catalogue.h"
#include "iso/composer_walk.h"
#include "iso/directory_buffer.h"
#include "iso/directory_record.h"
#include "iso/iso_dates.h"
#include "iso/iso_fields.h"
#include "iso/iso_names.h"
#include "collection/previous_session_descriptor.h"
#include "platform/files.h"

namespace dorvik::iso {

namespace {

constexpr uint8_t kRecordDateOffset = 2;

}  // namespace

ImageComposer::Sizes ImageComposer::WriteDirectory(Walk& walk, const std::string& folder,
                                                   const std::string& imagePath) {
  DirectoryBuffer primary;
  DirectoryBuffer joliet;
  WriteRecord(walk, primary, joliet, "", "", RecordKind::Self, 0, 0, 0, 0);
  WriteRecord(walk, primary, joliet, "", "", RecordKind::Parent, 0, 0, 0, 0);

  for (const platform::DirEntry& entry : platform::ListDirectory(folder)) {
    if (entry.isSymlink) continue;  // the workspace holds no links; never follow one into a loop
    const std::string entryPath = imagePath + "\\" + entry.name;
    if (entry.isDirectory) {
      // A folder whose name Joliet cannot carry keeps its primary record,
      // so it and everything in it stay on the disc; only the Joliet tree
      // goes without it (and the Joliet path tables, which stay in step).
      const Sizes child = WriteDirectory(walk, folder + platform::kPathSeparator + entry.name, entryPath);
      if (!WriteRecord(walk, primary, joliet, entry.name, "", RecordKind::Subdirectory,
                       walk.primaryCursor - child.primary, walk.jolietCursor - child.joliet, child.primary,
                       child.joliet))
        Notice({ComposeNotice::Kind::FolderWithoutJolietName, entryPath, "", LeftOutReason::NameNotJoliet});
    } else if (IsCatalogueName(entry.name)) {
      const std::string catalogue = folder + platform::kPathSeparator + entry.name;
      ForEachCatalogueRecord(catalogue, [&](const CatalogueRecord& entry) {
        const std::string& source = entry.source;
        if (!WriteRecord(walk, primary, joliet, entry.name, source, RecordKind::File, 0, 0, 0, 0)) {
          Notice({ComposeNotice::Kind::FileLeftOut, imagePath + "\\" + entry.name, source, walk.leftOut});
          return;
        }
        if (IsSessionDescriptor(source)) return;
        uint8_t record[kDataListRecordSize] = {};
        std::memcpy(record, source.data(), std::min(source.size(), kDataListPathField - 1));
        PutLe32(record + kDataListPathField, walk.lastFileSectors);
        walk.dataList.Write(record, sizeof record);
      });
    }
  }

  walk.directoryList.Write(DirectoryListLine(imagePath.empty() ? std::string("\\") : imagePath) + "\n" +
                           std::to_string(walk.primaryCursor) + "\n" + std::to_string(walk.jolietCursor) + "\n");

  // "." and ".." both describe the directory itself: its own extent and its
  // exact byte length.
  auto patchSelf = [](DirectoryBuffer& buffer, uint32_t extent) {
    uint8_t record[kDotRecordLength] = {};
    const uint32_t length = static_cast<uint32_t>(buffer.Length());
    for (uint64_t at : {uint64_t{0}, uint64_t{kDotRecordLength}}) {
      PatchExtentAndLength(record, extent, length);
      buffer.Patch(at + 2, record + 2, 16);
    }
  };
  patchSelf(primary, walk.primaryCursor);
  patchSelf(joliet, walk.jolietCursor);

  const Sizes sizes{SectorsFor(primary.Length()), SectorsFor(joliet.Length())};
  walk.primaryCursor += sizes.primary;
  walk.jolietCursor += sizes.joliet;
  primary.CopyTo(walk.primaryDirectories);
  joliet.CopyTo(walk.jolietDirectories);
  return sizes;
}

bool ImageComposer::WriteRecord(Walk& walk, DirectoryBuffer& primary, DirectoryBuffer& joliet,
                                const std::string& name, const std::string& source, RecordKind kind,
                                uint32_t primaryExtent, uint32_t jolietExtent, uint32_t primarySectors,
                                uint32_t jolietSectors) {
  DirectoryRecord record;
  record.extent = primaryExtent;
  record.dataLength = primarySectors * kSectorSize;
  record.flags = kind == RecordKind::File ? 0 : kDirectoryFlag;
  PutRecordDate(record.date.data(), walk.now, kRecordDateOffset);

  if (kind == RecordKind::Self || kind == RecordKind::Parent) {
    record.identifier.assign(1, kind == RecordKind::Self ? '\0' : '\1');
    const std::string encoded = EncodeRecord(record);
    primary.Append(reinterpret_cast<const uint8_t*>(encoded.data()), encoded.size());
    joliet.Append(reinterpret_cast<const uint8_t*>(encoded.data()), encoded.size());
    return true;
  }

  // Both names are settled before any sector is given away, so a file is
  // either written whole or not at all. A folder's primary record goes in
  // even when its Joliet name cannot.
  const std::optional<std::string> jolietName = NameFits(name, rules_) ? JolietName(name) : std::nullopt;
  if (!jolietName && kind == RecordKind::File) {
    walk.leftOut = LeftOutReason::NameNotJoliet;
    return false;
  }
  record.identifier = kind == RecordKind::File ? PrimaryFileName(name) : PrimaryFolderName(name);

  uint32_t fileSectors = 0;
  if (kind == RecordKind::File) {
    if (IsSessionDescriptor(source)) {
      const SessionDescriptor old = ParseSessionDescriptor(source);
      record.extent = static_cast<uint32_t>(old.extent);
      record.dataLength = static_cast<uint32_t>(old.size);
      if (old.kind == SessionEntryKind::File) record.date = FullDate(old);
    } else {
      // Opened without waiting, regular files only: a source replaced by a
      // pipe or a device since it was added is left out, never waited for.
      SourceFacts facts;
      if (const auto refused = InspectSource(source, rules_, facts)) {
        walk.leftOut = *refused;
        return false;  // no sectors taken
      }
      fileSectors = std::max<uint32_t>(1, SectorsFor(facts.length));
      if (fileSectors > UINT32_MAX - fileCursor_) {
        walk.leftOut = LeftOutReason::TooLarge;  // past the last sector an image can address
        return false;
      }
      record.extent = fileCursor_;
      record.dataLength = static_cast<uint32_t>(facts.length);
      PutRecordDate(record.date.data(), platform::ToLocal(facts.modified), kRecordDateOffset);
    }
  }

  AppendRecord(primary, EncodeRecord(record));
  if (!jolietName) return false;  // a folder: in the primary tree only
  if (kind == RecordKind::Subdirectory) {
    record.extent = jolietExtent;
    record.dataLength = jolietSectors * kSectorSize;
  }
  record.identifier = *jolietName;
  AppendRecord(joliet, EncodeRecord(record));

  if (kind == RecordKind::File && !IsSessionDescriptor(source)) {
    fileCursor_ += fileSectors;
    walk.lastFileSectors = fileSectors;
  }
  return true;
}

}  // namespace dorvik::iso
