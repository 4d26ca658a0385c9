#pragma once
// What a write job writes: its sessions, each session's tracks, a track's
// type and size, and the track's sectors one by one.
//
// Layout mode reads the layout file the collection wrote for a data job and
// streams the data track from the ImageComposer. Drive mode reads the full
// table of contents of a source Drive (an image file opened in image mode)
// and copies the track's user sectors from it.
//
// One thread at a time: the job's thread while tracks are planned and
// prepared, the reader thread while a track is streamed.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "iso/image_composer.h"

namespace dorvik {

class Drive;

enum TrackKind : int { kTrackUnknown = 0, kTrackAudio = 1, kTrackData = 2 };

inline constexpr char kProcessingName[] = "Processing...";

class TrackSource {
 public:
  // The notifier goes to the composer: it hears of every collection file
  // that cannot be read while a data track is streamed.
  explicit TrackSource(iso::UnreadableFileNotifier notifyUnreadable = {});
  ~TrackSource();
  TrackSource(const TrackSource&) = delete;
  TrackSource& operator=(const TrackSource&) = delete;

  void OpenLayout(const std::string& layoutPath, const std::string& workspacePath);
  // Reads the source's table of contents; when that fails the sessions
  // read before stay.
  void AttachDrive(Drive& source);

  // Session numbers; 0 when none can be read.
  uint32_t FirstSession();
  uint32_t LastSession();
  bool SelectSession(uint32_t session);
  // Track numbers of the selected session; 0 (layout) or -1 (drive) when
  // they cannot be read. The closing track is the one after which the
  // session is closed.
  int32_t ClosingTrack();
  int32_t FirstTrack();
  int32_t LastTrack();

  // Finds the track and readies its sectors; a data track of a layout is
  // composed for the given start address. False when the track is not
  // there or its image cannot be composed.
  bool PrepareTrack(uint32_t track, uint32_t startAddress);
  int TrackType();
  uint32_t TrackBlocks();
  // The track's next sector into a zeroed buffer; what cannot be read stays
  // zero. A data track's sectors may be asked for several at a time (length
  // a multiple of 2048): each source file is then opened once per piece
  // instead of once per sector.
  void ReadSector(uint8_t* buffer, uint32_t length);
  const std::string& CurrentName() const { return currentName_; }

  void ResetTrack();
  void ResetSession();

 private:
  // Drive mode: one full-TOC descriptor without its session byte.
  using TocEntry = std::array<uint8_t, 10>;
  using TocSession = std::vector<TocEntry>;

  // Layout mode.
  bool ReadLayout(uint64_t offset, void* bytes, size_t length) const;
  int LayoutByte(uint64_t offset) const;  // -1 when unreadable
  bool FindLayoutTrack(uint32_t track);
  // Drive mode.
  const TocEntry* FindTocEntry(uint8_t point) const;
  int32_t TocTrackField(uint8_t point) const;

  iso::UnreadableFileNotifier notifyUnreadable_;
  bool layoutMode_ = false;
  std::string layoutPath_;
  std::string workspacePath_;
  std::string currentName_;
  uint32_t session_ = 0;
  uint32_t track_ = 0;
  uint64_t sessionRecord_ = 0;
  uint64_t trackPosition_ = 0;  // layout: the track record; drive: the next LBA
  std::unique_ptr<iso::ImageComposer> composer_;
  bool composed_ = false;
  bool firstRead_ = true;
  int cachedType_ = kTrackUnknown;
  Drive* source_ = nullptr;
  std::vector<TocSession> toc_;
  uint32_t trackSize_ = 0;
};

}  // namespace dorvik
