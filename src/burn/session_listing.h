#pragma once
// The file tree of the newest session on whatever disc is loaded, walked as
// the previous-session import walks it (the same bounds, the same names),
// for a host that wants to show what the disc holds.
#include <cstdint>
#include <functional>
#include <string>

#include "collection/previous_session_descriptor.h"
#include "iso/session_walk.h"

namespace dorvik {

class Drive;

enum class SessionListingOutcome {
  Listed,
  NoDiscInformation,  // READ DISC INFORMATION failed
  BlankDisc,
  NoTree,  // no data track of the disc holds an ISO 9660 tree
};

struct SessionListing {
  SessionListingOutcome outcome = SessionListingOutcome::NoDiscInformation;
  uint32_t track = 0;  // the track listed
  uint32_t start = 0;  // its first sector
  iso::SessionWalkReport walk;
};

// Each entry as the walk finds it: a folder before what it holds; folder is
// the disc folder it stands in ("\" or "\A\B\").
using ListedEntrySink = std::function<void(const SessionDescriptor& entry, const std::string& folder)>;

// Lists the tree of the last track that holds one, looking back from the
// first track of the last session that holds anything (a track left open
// by an interrupted write holds none; the session before it is then the
// newest readable one).
SessionListing ListNewestSession(Drive& drive, const ListedEntrySink& sink);

}  // namespace dorvik
