#pragma once
// The file tree of a disc's last data session, read back so that a new
// session can carry it: the volume descriptors at the session's start, the
// Joliet tree when there is one (the primary tree otherwise), and every
// directory record turned into a previous-session descriptor.
//
// The disc is untrusted. Every record is checked against its sector, every
// extent against the end of the track; each sector is walked as a directory
// at most once, so a directory that contains itself or an ancestor, or that
// shares sectors with one already walked, is left out; depth and path
// length are bounded. Bad entries are left out and counted, never followed.
// Memory does not grow with the number of files: one sector per open
// directory level, one interval per directory walked.
#include <cstdint>
#include <functional>
#include <string>

#include "iso/sector_reader.h"

namespace dorvik::iso {

// Folders nested deeper than this below the root are left out, with all
// they hold.
inline constexpr uint32_t kImportDepthLimit = 64;
// A folder whose disc path ("\A\B\") would be longer than this is left out,
// so the workspace that mirrors it stays well inside the host's path limit.
inline constexpr size_t kImportPathLimit = 2048;
// The descriptor handed on must fit a catalogue field; longer names are cut.
inline constexpr size_t kDescriptorLimit = 259;

struct SessionLocation {
  uint32_t start = 0;     // the session's first sector (its data track's start)
  uint32_t end = 0;       // the first sector past the track; 0: not known
  uint32_t dataMode = 1;  // the track's data mode: 1 Mode 1, anything else Mode 2
};

enum class SessionWalkResult {
  Imported,      // the tree was walked; entries may still have been left out
  NoDescriptor,  // no Joliet or primary volume descriptor in sectors 16 to 25
  NoRoot,        // the root directory is missing, outside the track or unreadable
};

struct SessionWalkReport {
  SessionWalkResult result = SessionWalkResult::NoDescriptor;
  bool joliet = false;    // names were read from the Joliet tree
  uint32_t folders = 0;   // entries handed on
  uint32_t files = 0;
  uint32_t skipped = 0;   // records or entries left out
  uint32_t shortened = 0; // names cut so the descriptor fits a catalogue field
};

// Receives each old entry as the collection takes it: the descriptor and the
// disc folder it belongs in ("\" or "\A\B\"). A folder comes before what it
// holds, in the order of a depth-first walk.
using SessionEntrySink = std::function<void(const std::string& descriptor, const std::string& discFolder)>;
// Told of each entry left out, so the host can be: its disc path ("\A\f.txt",
// folders "\A\B\"), or the folder's path when the entry has no name that
// can be read (a damaged record, a directory sector that cannot be read).
using SessionLeftOutSink = std::function<void(const std::string& discPath)>;

SessionWalkReport WalkSession(SectorReader& reader, const SessionLocation& where, const SessionEntrySink& add,
                              const SessionLeftOutSink& leftOut = {});

}  // namespace dorvik::iso
