// The disc's sessions and tracks for hosts that list them (a Linux
// extension).
#include "api/guard.h"
#include "api/library.h"
#include "dorvik.h"
#include "drive/disc_layout.h"
#include "drive/drive.h"

#if !defined(_WIN32)  // not one of DORVIK.DLL's exports

using dorvik::Guarded;
using dorvik::Library;

namespace {

int32_t StateCode(dorvik::TrackState state) {
  switch (state) {
    case dorvik::TrackState::Open: return DORVIK_TRACK_OPEN;
    case dorvik::TrackState::Blank: return DORVIK_TRACK_BLANK;
    default: return DORVIK_TRACK_CLOSED;
  }
}

}  // namespace

extern "C" {

DORVIK_API int32_t Vuz_GetDiscTracks(DorvikTrack* tracks, int32_t capacity, int32_t* count) {
  return Guarded(DORVIK_E_NOT_READY, [&] {
    if (count) *count = 0;
    // Claimed like every export that talks to the drive: a job writing to
    // it must be the only one sending it commands.
    const dorvik::DeviceUse use(Library::Get());
    if (!use) return use.Refusal();
    auto* drive = use.Drive();
    if (drive->IsReady() != 0) return DORVIK_E_NOT_READY;
    dorvik::DiscLayout layout;
    if (dorvik::ReadDiscLayout(*drive, layout) != 0) return DORVIK_E_REFUSED;
    if (count) *count = static_cast<int32_t>(layout.tracks.size());
    for (size_t i = 0; tracks && i < layout.tracks.size() && static_cast<int64_t>(i) < capacity; ++i) {
      const auto& t = layout.tracks[i];
      // Sessions before the last are closed; the last one as the disc says.
      const bool closed = t.session < layout.sessions || layout.lastSessionState == dorvik::kSessionStateComplete;
      tracks[i] = {static_cast<int32_t>(t.session), static_cast<int32_t>(t.number), static_cast<int32_t>(t.start),
                   static_cast<int32_t>(t.size),    StateCode(t.state),              t.data ? 1 : 0,
                   closed ? 1 : 0};
    }
    return DORVIK_OK;
  });
}

}  // extern "C"

#endif
