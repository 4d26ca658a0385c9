#pragma once
// The disc's sessions and tracks, as `dorvik info` shows them.
#include <cstdint>
#include <vector>

#include "dorvik.h"

namespace dorvik::cli {

class JsonWriter;

struct SessionSummary {
  int32_t number = 0;
  int32_t start = 0;  // its first track's
  int64_t size = 0;   // sectors its written tracks hold
  const char* state = "empty";  // closed, open, or empty (holds only the blank track)
};

struct DiscLayout {
  std::vector<DorvikTrack> tracks;
  std::vector<SessionSummary> sessions;
};

// The selected recorder's disc; empty when the drive gives no disc information.
DiscLayout ReadDiscLayout();
const char* TrackStateName(int32_t state);

// "sessions:" and "tracks:" lists; nothing for an empty layout.
void PrintDiscLayout(const DiscLayout& layout);
// "sessions": [...], "tracks": [...] inside an open object.
void WriteDiscLayout(JsonWriter& json, const DiscLayout& layout);

}  // namespace dorvik::cli
