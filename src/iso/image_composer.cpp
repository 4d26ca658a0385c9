#include "iso/image_composer.h"

#include <algorithm>
#include <cstring>
#include <vector>
#include <utility>

#include "collection/temp_names.h"
#include "iso/composer_walk.h"
#include "iso/iso_fields.h"
#include "iso/volume_descriptors.h"
#include "platform/files.h"

namespace dorvik::iso {

namespace {

constexpr uint32_t kMinimumTrackSectors = 600;
constexpr uint32_t kTrackSectorMultiple = 16;
constexpr size_t kCopyPiece = 20480;

// Entry-list length field of the layout file: its session-area offset plus
// 192. Compose only checks that it can be read.
bool LayoutFileReadable(const std::string& path) {
  try {
    platform::LargeFile layout(path, platform::LargeFile::Mode::Read);
    uint8_t field[4];
    if (layout.Read(field, 4) != 4) return false;
    const uint64_t at = uint64_t{GetLe32(field)} + 192;
    if (at + 4 > layout.Length()) return false;
    layout.Seek(static_cast<int64_t>(at));
    return layout.Read(field, 4) == 4;
  } catch (const platform::FileError&) {
    return false;
  }
}

uint32_t FileSectors(const std::string& path) {
  const platform::PathInfo info = platform::Stat(path);
  return info.exists ? SectorsFor(info.size) : 0;
}

// Appends a whole file to out in 20480-byte pieces, each rounded up to whole
// sectors with zeros.
void AppendSectors(BufferedWriter& out, const std::string& path) {
  platform::LargeFile in(path, platform::LargeFile::Mode::Read);
  std::vector<char> piece(kCopyPiece);
  for (;;) {
    const size_t n = in.Read(piece.data(), piece.size());
    if (n == 0) break;
    out.Write(piece.data(), n);
    if (n % kSectorSize) out.WriteZeros(kSectorSize - n % kSectorSize);
    if (n < piece.size()) break;
  }
}

}  // namespace

std::string ReadVolumeLabel(const std::string& path) {
  try {
    platform::LargeFile layout(path, platform::LargeFile::Mode::Read);
    char label[13] = {};
    layout.Seek(5);
    const size_t n = layout.Read(label, sizeof label);
    return std::string(label, strnlen(label, n));
  } catch (const platform::FileError&) {
    return {};
  }
}

ImageComposer::ImageComposer(UnreadableFileNotifier notifyUnreadable, IsoLayout layout)
    : layout_(layout), rules_(RulesOf(layout)), notifyUnreadable_(std::move(notifyUnreadable)) {}

void ImageComposer::Notice(ComposeNotice notice) {
  if (notice.kind == ComposeNotice::Kind::FileLeftOut && notifyUnreadable_) notifyUnreadable_(notice.source.c_str());
  notices_.push_back(std::move(notice));
}

ImageComposer::~ImageComposer() { DeleteTemporaryFiles(); }

void ImageComposer::DeleteTemporaryFiles() {
  for (auto& path : temp_) {
    if (!path.empty()) platform::RemoveFile(path);
    path.clear();
  }
}

void ImageComposer::ResetStream() {
  sectorCounter_ = 0;
  currentSource_.clear();
  fileOffset_ = 0;
  listOffset_ = 0;
  fileSectorsLeft_ = 0;
  currentReported_ = false;
  currentFile_.Close();
  currentOpened_ = false;
}

uint32_t ImageComposer::PaddedSize() const {
  const uint32_t size = std::max(totalSectors_, kMinimumTrackSectors);
  return (size + kTrackSectorMultiple - 1) / kTrackSectorMultiple * kTrackSectorMultiple;
}

bool ImageComposer::Compose(const std::string& layoutPath, uint32_t session, uint32_t track,
                            const std::string& workspaceRoot, uint32_t startAddress) {
  DeleteTemporaryFiles();
  notices_.clear();
  session_ = session;
  track_ = track;
  layoutPath_ = layoutPath;
  workspaceRoot_ = workspaceRoot;
  startAddress_ = startAddress;
  ResetStream();
  fileCursor_ = startAddress;
  totalSectors_ = headSectors_ = 0;
  rootPrimaryExtent_ = rootPrimarySectors_ = rootJolietExtent_ = rootJolietSectors_ = 0;
  // The walk allocates every address below 2^32; a start address that
  // leaves no room for the metadata cannot be laid out.
  if (startAddress > UINT32_MAX / 2) return false;

  if (!LayoutFileReadable(layoutPath)) return false;
  try {
    // Nine fresh files up front, each created on the spot so no other
    // composer, here or in another process, can take the same name.
    for (auto& path : temp_) {
      path = ReserveTempFileName();
      if (path.empty()) return false;
    }

    composeTime_ = platform::ToLocal(platform::Now());
    if (layout_ == IsoLayout::Interchange) return ComposeInterchange();

    const uint32_t d0 = startAddress + kHeadGapSectors;
    {
      Walk walk;
      walk.dataList.Create(temp_[kDataList]);
      walk.primaryDirectories.Create(temp_[kPrimaryDirectories]);
      walk.jolietDirectories.Create(temp_[kJolietDirectories]);
      walk.directoryList.Create(temp_[kDirectoryList]);
      walk.primaryCursor = d0;
      walk.jolietCursor = 0;
      walk.now = composeTime_;
      const Sizes root = WriteDirectory(walk, workspaceRoot, "");
      rootPrimarySectors_ = root.primary;
      rootJolietSectors_ = root.joliet;
      walk.dataList.Close();
      walk.primaryDirectories.Close();
      walk.jolietDirectories.Close();
      walk.directoryList.Close();
    }
    WritePathTables();
    Relocate();
    return WriteHead();
  } catch (const platform::FileError&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void ImageComposer::BuildDescriptors(uint8_t* sectors) const {
  VolumeFields primary;
  primary.interchange = layout_ == IsoLayout::Interchange;
  primary.label = ReadVolumeLabel(layoutPath_);
  // The volume reaches from sector 0 of the disc to the end of this image,
  // so the extents an appended session keeps from earlier ones lie inside.
  primary.totalSectors = startAddress_ + totalSectors_;
  primary.now = composeTime_;
  VolumeFields joliet = primary;
  primary.rootExtent = rootPrimaryExtent_;
  primary.rootSectors = rootPrimarySectors_;
  primary.pathTableSize = primaryPathTableSize_;
  primary.lTable = primaryLTable_;
  primary.mTable = primaryMTable_;
  joliet.rootExtent = rootJolietExtent_;
  joliet.rootSectors = rootJolietSectors_;
  joliet.pathTableSize = jolietPathTableSize_;
  joliet.lTable = jolietLTable_;
  joliet.mTable = jolietMTable_;
  BuildPrimaryDescriptor(sectors, primary);
  BuildJolietDescriptor(sectors + kSectorSize, joliet);
  BuildTerminator(sectors + 2 * kSectorSize);
}

bool ImageComposer::WriteHead() {
  if (temp_[kHead].empty()) return false;
  BufferedWriter head;
  head.Create(temp_[kHead]);
  uint8_t sectors[3 * kSectorSize];
  BuildDescriptors(sectors);
  head.Write(sectors, sizeof sectors);
  head.WriteZeros(8 * kSectorSize);
  for (TempFile part : {kPrimaryDirectories, kJolietDirectories, kPrimaryL, kPrimaryM, kJolietL, kJolietM}) {
    const platform::PathInfo info = platform::Stat(temp_[part]);
    if (!info.exists || info.size == 0) continue;
    AppendSectors(head, temp_[part]);
    platform::RemoveFile(temp_[part]);
    temp_[part].clear();
  }
  head.Close();
  const platform::PathInfo info = platform::Stat(temp_[kHead]);
  if (!info.exists) return false;
  headSectors_ = static_cast<uint32_t>(info.size / kSectorSize);
  return true;
}

bool ImageComposer::Relocate() {
  const uint32_t s1 = FileSectors(temp_[kPrimaryDirectories]);
  const uint32_t s2 = FileSectors(temp_[kJolietDirectories]);
  const uint32_t s3 = FileSectors(temp_[kPrimaryL]);
  const uint32_t s4 = FileSectors(temp_[kPrimaryM]);
  const uint32_t s5 = FileSectors(temp_[kJolietL]);
  const uint32_t s6 = FileSectors(temp_[kJolietM]);
  const uint32_t d0 = startAddress_ + kHeadGapSectors;
  const uint32_t metadata = s1 + s2 + s3 + s4 + s5 + s6;
  totalSectors_ = (fileCursor_ - startAddress_) + kHeadGapSectors + metadata;
  rootPrimaryExtent_ = d0 + (s1 - rootPrimarySectors_);
  const uint32_t jolietBase = d0 + s1;
  rootJolietExtent_ = jolietBase + (s2 - rootJolietSectors_);
  primaryLTable_ = d0 + s1 + s2;
  primaryMTable_ = primaryLTable_ + s3;
  jolietLTable_ = primaryMTable_ + s4;
  jolietMTable_ = jolietLTable_ + s5;
  primaryPathTableSize_ = s3 * kSectorSize;
  jolietPathTableSize_ = s5 * kSectorSize;
  firstFileSector_ = d0 + metadata;
  return RelocateExtents(jolietBase);
}

}  // namespace dorvik::iso
