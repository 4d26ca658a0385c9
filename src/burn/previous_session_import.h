#pragma once
// Before a session is appended to a CD-R or CD-RW, the file tree of the
// disc's last data session is taken into the collection, every old file and
// folder as a previous-session descriptor: the new session's directories
// then list the old files where they already stand, and none is written
// again.
#include <cstdint>

#include "iso/session_walk.h"

namespace dorvik {

class Drive;
class FileCollection;

// Why an import ended. Only Imported means the tree was walked; every other
// outcome adds nothing, and the write goes on.
enum class SessionImportOutcome {
  Imported,
  NoDiscInformation,  // READ DISC INFORMATION failed
  BlankDisc,
  NotCd,              // the medium is not a CD-R or CD-RW
  DiscClosed,         // the disc is complete: no session can follow
  NoTrackInformation, // READ TRACK INFORMATION of the last track failed
  NotDataTrack,       // the last session ends in an audio track
  UdfPresent,         // a UDF file system would not see what is imported
  NoTree,             // no ISO 9660 descriptor or root directory (see walk.result)
};

struct SessionImportReport {
  SessionImportOutcome outcome = SessionImportOutcome::NoDiscInformation;
  uint32_t start = 0;  // the imported track's first sector
  iso::SessionWalkReport walk;
  uint32_t hidden = 0;  // old entries left out where the host's own entry of the other kind has their name
};

// Imports one track's tree. Lives for one import.
class SessionImporter {
 public:
  SessionImporter(FileCollection& collection, bool passOn);
  virtual ~SessionImporter() = default;

  // start and size: the track's first sector and length (0: not known);
  // dataMode: the track's data mode (1 Mode 1, 2 Mode 2). Each old entry
  // the walk leaves out is told to leftOut, by its disc path.
  SessionImportReport ImportFromTrack(Drive& drive, uint32_t start, uint32_t size, uint32_t dataMode,
                                      const iso::SessionLeftOutSink& leftOut = {});

 private:
  FileCollection& collection_;
  uint8_t joliet_ = 0;
  uint32_t dataMode_ = 1;
  uint8_t passOn_ = 0;  // handed to AddFiles as its MP3-only switch, which old entries ignore
};

// Finds the disc's last data track and imports its tree. Call it only for a
// CD-R or CD-RW; it checks again and imports nothing otherwise.
SessionImportReport ImportPreviousSession(Drive& drive, FileCollection& collection, bool passOn,
                                          const iso::SessionLeftOutSink& leftOut = {});

}  // namespace dorvik
