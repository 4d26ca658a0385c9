#pragma once
// The disc's sessions and tracks as the drive reports them: READ DISC
// INFORMATION for the counts and the last session's state, READ TRACK
// INFORMATION (or, where the drive refuses it, the TOC) for each track.
#include <cstdint>
#include <vector>

namespace dorvik {

class Drive;

enum class TrackState : uint8_t {
  Closed,  // written and closed
  Open,    // incomplete: writing may go on at its next writable address
  Blank,   // the invisible or reserved track nothing was written to yet
};

struct TrackSummary {
  uint32_t session = 0;
  uint32_t number = 0;
  uint32_t start = 0;  // first sector
  uint32_t size = 0;   // sectors; for an open or blank track, what it may still take as well
  TrackState state = TrackState::Closed;
  bool data = false;   // a data track (track mode 4 or more), else audio
};

struct DiscLayout {
  uint8_t status = 0;            // 0 empty, 1 incomplete (appendable), 2 complete, 3 other
  uint8_t lastSessionState = 0;  // 0 empty, 1 incomplete, 2 damaged, 3 complete
  uint32_t sessions = 0;
  std::vector<TrackSummary> tracks;  // in track order
};

// 0 when the disc information was read (a track that cannot be described is
// left out of the list), 1 when not.
int ReadDiscLayout(Drive& drive, DiscLayout& layout);

}  // namespace dorvik
