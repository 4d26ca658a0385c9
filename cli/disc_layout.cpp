#include "disc_layout.h"

#include <algorithm>
#include <cstdio>

#include "json.h"

namespace dorvik::cli {

const char* TrackStateName(int32_t state) {
  switch (state) {
    case DORVIK_TRACK_OPEN: return "open";
    case DORVIK_TRACK_BLANK: return "blank";
    default: return "closed";
  }
}

DiscLayout ReadDiscLayout() {
  DiscLayout layout;
  int32_t count = 0;
  if (Vuz_GetDiscTracks(nullptr, 0, &count) != DORVIK_OK || count <= 0) return layout;
  layout.tracks.resize(static_cast<size_t>(count));
  if (Vuz_GetDiscTracks(layout.tracks.data(), count, &count) != DORVIK_OK) return {};
  layout.tracks.resize(std::min<size_t>(layout.tracks.size(), static_cast<size_t>(count)));

  // A session: its first track's start, the sectors its written tracks
  // hold, and whether it is closed, open, or holds nothing yet.
  for (size_t i = 0; i < layout.tracks.size();) {
    SessionSummary s;
    s.number = layout.tracks[i].session;
    s.start = layout.tracks[i].start;
    bool written = false;
    const bool closed = layout.tracks[i].sessionClosed != 0;
    for (; i < layout.tracks.size() && layout.tracks[i].session == s.number; ++i) {
      if (layout.tracks[i].state == DORVIK_TRACK_BLANK) continue;
      s.size += layout.tracks[i].size;
      written = true;
    }
    s.state = closed ? "closed" : written ? "open" : "empty";
    layout.sessions.push_back(s);
  }
  return layout;
}

void PrintDiscLayout(const DiscLayout& layout) {
  if (layout.tracks.empty()) return;
  std::printf("sessions:\n");
  for (const SessionSummary& s : layout.sessions)
    std::printf("  session %d: start %d, size %lld, %s\n", s.number, s.start, static_cast<long long>(s.size), s.state);
  std::printf("tracks:\n");
  for (const DorvikTrack& t : layout.tracks)
    std::printf("  track %d: session %d, start %d, size %d, %s, %s\n", t.track, t.session, t.start, t.size,
                t.isData ? "data" : "audio", TrackStateName(t.state));
}

void WriteDiscLayout(JsonWriter& json, const DiscLayout& layout) {
  json.Key("sessions").BeginArray();
  for (const SessionSummary& s : layout.sessions)
    json.BeginObject()
        .Key("number").Number(s.number)
        .Key("start").Number(s.start)
        .Key("size").Number(s.size)
        .Key("state").String(s.state)
        .EndObject();
  json.EndArray();
  json.Key("tracks").BeginArray();
  for (const DorvikTrack& t : layout.tracks)
    json.BeginObject()
        .Key("number").Number(t.track)
        .Key("session").Number(t.session)
        .Key("start").Number(t.start)
        .Key("size").Number(t.size)
        .Key("data").Bool(t.isData != 0)
        .Key("state").String(TrackStateName(t.state))
        .EndObject();
  json.EndArray();
}

}  // namespace dorvik::cli
