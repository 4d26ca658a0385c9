#include "disc_layout.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "dorvik.h"

namespace dorvik::cli {
namespace {

const char* TrackStateName(int32_t state) {
  switch (state) {
    case DORVIK_TRACK_OPEN: return "open";
    case DORVIK_TRACK_BLANK: return "blank";
    default: return "closed";
  }
}

}  // namespace

void PrintDiscLayout() {
  int32_t count = 0;
  if (Vuz_GetDiscTracks(nullptr, 0, &count) != DORVIK_OK || count <= 0) return;
  std::vector<DorvikTrack> tracks(static_cast<size_t>(count));
  if (Vuz_GetDiscTracks(tracks.data(), count, &count) != DORVIK_OK) return;
  tracks.resize(std::min<size_t>(tracks.size(), static_cast<size_t>(count)));

  // A session: its first track's start, the sectors its written tracks
  // hold, and whether it is closed, open, or holds nothing yet.
  std::printf("sessions:\n");
  for (size_t i = 0; i < tracks.size();) {
    const int32_t session = tracks[i].session;
    const int32_t start = tracks[i].start;
    int64_t size = 0;
    bool written = false;
    const bool closed = tracks[i].sessionClosed != 0;
    for (; i < tracks.size() && tracks[i].session == session; ++i) {
      if (tracks[i].state == DORVIK_TRACK_BLANK) continue;
      size += tracks[i].size;
      written = true;
    }
    std::printf("  session %d: start %d, size %lld, %s\n", session, start, static_cast<long long>(size),
                closed ? "closed" : written ? "open" : "empty");
  }
  std::printf("tracks:\n");
  for (const auto& t : tracks)
    std::printf("  track %d: session %d, start %d, size %d, %s, %s\n", t.track, t.session, t.start, t.size,
                t.isData ? "data" : "audio", TrackStateName(t.state));
}

}  // namespace dorvik::cli
