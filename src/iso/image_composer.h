#pragma once
// Lays out the ISO 9660 + Joliet image of one data track from the
// collection's workspace, and hands it out sector by sector.
//
// Compose builds every piece of metadata into temporary files: directories
// (children before parents, the root last), path tables, volume descriptors;
// file data is never copied but read from the sources while the track is
// streamed. Every sector address in the image is absolute: the start
// address plus the sector's place in the image.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "collection/image_rules.h"
#include "iso/iso_layout.h"
#include "platform/clock.h"
#include "platform/large_file.h"

namespace dorvik::platform {
class BufferedWriter;
}

namespace dorvik::iso {

class DirectoryBuffer;
using platform::BufferedWriter;

// Entry kinds that WriteRecord writes.
enum class RecordKind { Self = 1, Parent = 2, File = 3, Subdirectory = 4 };

// One data-list record: the source path, NUL-terminated and zero-filled,
// then the sectors the file was given (little-endian), so the stream keeps
// every file on its extent even when the source changed since.
inline constexpr size_t kDataListPathField = 260;
inline constexpr size_t kDataListRecordSize = kDataListPathField + 4;

// Sectors before the first directory: system area, three descriptors and
// eight zero sectors.
inline constexpr uint32_t kHeadGapSectors = 27;

// Told the source path of every collection file that does not reach the
// disc whole: left out when the image is composed (unreadable, not a
// regular file, too large, or a name the layout cannot write), or found
// unreadable while the image is streamed. Once per file; the layer that
// knows the host passes the message on.
using UnreadableFileNotifier = std::function<void(const char* path)>;

// What Compose found worth telling about the collection, in walk order.
struct ComposeNotice {
  enum class Kind {
    FileLeftOut,             // no record in either tree, no sectors
    FolderWithoutJolietName  // kept, with its subtree, in the primary tree only
  };
  Kind kind = Kind::FileLeftOut;
  std::string discPath;  // "\A\B\name"
  std::string source;    // the record's source field (files)
  LeftOutReason reason = LeftOutReason::Unreadable;  // files
};

class ImageComposer {
 public:
  // The layout is the configured one (DORVIK_ISO_LAYOUT) unless given; what
  // it can carry of the collection follows from it (RulesOf).
  explicit ImageComposer(UnreadableFileNotifier notifyUnreadable = {}, IsoLayout layout = ConfiguredIsoLayout());
  ~ImageComposer();
  ImageComposer(const ImageComposer&) = delete;
  ImageComposer& operator=(const ImageComposer&) = delete;

  // Builds the metadata; true when the head file, the data list and all
  // sizes are ready. Never throws.
  bool Compose(const std::string& layoutPath, uint32_t session, uint32_t track, const std::string& workspaceRoot,
               uint32_t startAddress);

  // Total sectors, raised to 600, rounded up to a multiple of 16.
  uint32_t PaddedSize() const;
  IsoLayout Layout() const { return layout_; }

  // The next sector of the image into a zero-filled buffer (length 2048).
  // Writes nothing for the system area, the padding and unreadable data.
  void ReadNextSector(uint8_t* buffer, uint32_t length);
  // The next count sectors into a zero-filled buffer of count * 2048 bytes,
  // as count calls of ReadNextSector would give them, each source opened
  // once per call rather than once per sector.
  void ReadNextSectors(uint8_t* buffer, uint32_t count);
  std::string CurrentSourcePath() const { return currentSource_; }

  // What the last Compose left out or kept only in part.
  const std::vector<ComposeNotice>& Notices() const { return notices_; }

 private:
  struct Sizes {
    uint32_t primary = 0;
    uint32_t joliet = 0;
  };
  struct Walk;  // the open files of one directory walk

  Sizes WriteDirectory(Walk& walk, const std::string& folder, const std::string& imagePath);
  void Notice(ComposeNotice notice);
  bool WriteRecord(Walk& walk, DirectoryBuffer& primary, DirectoryBuffer& joliet, const std::string& name,
                   const std::string& source, RecordKind kind, uint32_t primaryExtent, uint32_t jolietExtent,
                   uint32_t primarySectors, uint32_t jolietSectors);
  // The interchange layout's steps after the common set-up (interchange_compose.cpp).
  bool ComposeInterchange();
  bool WritePathTables();
  bool Relocate();
  bool RelocateExtents(uint32_t jolietBase);
  bool WriteHead();
  // Primary, Joliet and terminator descriptors into three sectors.
  void BuildDescriptors(uint8_t* sectors) const;
  void DeleteTemporaryFiles();
  void ResetStream();
  bool NextDataFile();
  void ReadFileSectors(uint8_t* buffer, size_t bytes, uint32_t sectors);

  // Temporary files, in the order they are named.
  enum TempFile {
    kPrimaryDirectories,
    kJolietDirectories,
    kPrimaryL,
    kPrimaryM,
    kJolietL,
    kJolietM,
    kDirectoryList,
    kHead,
    kDataList,
    kTempFileCount
  };

  IsoLayout layout_;
  ImageRules rules_;
  std::vector<ComposeNotice> notices_;
  uint32_t session_ = 0;
  uint32_t track_ = 0;
  std::string layoutPath_;
  std::string workspaceRoot_;
  std::array<std::string, kTempFileCount> temp_;
  uint32_t fileCursor_ = 0;
  uint32_t rootPrimaryExtent_ = 0, rootPrimarySectors_ = 0;
  uint32_t rootJolietExtent_ = 0, rootJolietSectors_ = 0;
  uint32_t totalSectors_ = 0;
  uint32_t primaryLTable_ = 0, primaryMTable_ = 0, jolietLTable_ = 0, jolietMTable_ = 0;
  uint32_t primaryPathTableSize_ = 0, jolietPathTableSize_ = 0;
  uint32_t headSectors_ = 0;
  uint32_t startAddress_ = 0;
  uint32_t firstFileSector_ = 0;
  // One clock reading per Compose: records and descriptors agree.
  platform::LocalTime composeTime_;

  // Stream state.
  uint32_t sectorCounter_ = 0;
  std::string currentSource_;
  uint64_t fileOffset_ = 0;
  uint64_t listOffset_ = 0;
  uint32_t fileSectorsLeft_ = 0;
  bool currentReported_ = false;
  // The file being streamed, open from its first sector to its last, so a
  // large file is not opened again for every piece.
  platform::LargeFile currentFile_;
  bool currentOpened_ = false;
  UnreadableFileNotifier notifyUnreadable_;
};

}  // namespace dorvik::iso
