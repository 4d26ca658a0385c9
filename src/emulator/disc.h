#pragma once
// The recorded state of the medium in the software recorder: sessions,
// tracks, where writing may continue, and the rules a real disc imposes on
// writing, closing, blanking and formatting. No file I/O happens here; the
// recorder keeps the sectors and saves this state beside them.
#include <cstdint>
#include <optional>
#include <vector>

#include "emulator/medium.h"
#include "emulator/sense.h"

namespace dorvik::emulator {

// One track as recorded (the blank invisible track is never stored).
struct TrackRecord {
  uint16_t session = 1;
  uint32_t start = 0;
  uint32_t reserved = 0;  // size set by RESERVE TRACK; 0: the track grows as it is written
  uint32_t written = 0;   // blocks recorded from start
  bool closed = false;
  uint8_t mode = 4;       // track mode nibble, also the TOC CONTROL: 4 data, 5 data recorded incrementally, 0 audio
  bool damaged = false;   // a write failed inside it: nothing more can be written there

  uint32_t Size() const { return reserved ? reserved : written; }
  bool Audio() const { return (mode & 0x04) == 0; }
  uint32_t End() const { return start + Size(); }
};

enum class DiscStatus : uint8_t { Empty = 0, Incomplete = 1, Complete = 2 };
enum class SessionState : uint8_t { Empty = 0, Incomplete = 1, Complete = 3 };

// What READ TRACK INFORMATION reports about one track, visible or not.
struct TrackView {
  uint16_t number = 0;
  uint16_t session = 0;
  uint32_t start = 0;
  uint32_t size = 0;
  uint32_t written = 0;
  uint32_t nwa = 0;
  uint32_t freeBlocks = 0;
  bool nwaValid = false;
  bool blank = false;     // the invisible track with nothing in it
  bool reserved = false;
  bool closed = false;
  bool damaged = false;
  uint8_t mode = 4;
};

class Disc {
 public:
  // A new blank medium. Rewritable random-access media come formatted the
  // way they are sold (DVD-RAM, DVD-RW in restricted overwrite); a DVD+RW
  // comes unformatted.
  static Disc Blank(MediumKind kind, uint32_t capacity);
  // A pressed disc holding blocks sectors as one complete session.
  static Disc Pressed(MediumKind kind, uint32_t blocks);

  MediumKind Kind() const { return kind_; }
  const MediumTraits& Traits() const { return TraitsOf(kind_); }
  uint32_t Capacity() const { return capacity_; }
  bool Formatted() const { return formatted_; }
  bool Finalized() const { return finalized_; }
  uint16_t ClosedSessions() const { return closedSessions_; }
  const std::vector<TrackRecord>& Recorded() const { return tracks_; }
  bool OpenTrackAudio() const { return OpenTrack() && OpenTrack()->Audio(); }

  DiscStatus Status() const;
  SessionState LastSessionState() const;
  uint16_t SessionCount() const;  // including an open, possibly empty, last session
  uint16_t FirstTrackInLastSession() const;
  uint16_t LastTrackInLastSession() const;
  // Every track READ TRACK INFORMATION can name, the invisible one last.
  std::vector<TrackView> Tracks() const;
  std::optional<TrackView> Track(uint16_t number) const;  // 0xFF: the invisible/incomplete track
  std::optional<TrackView> TrackContaining(uint32_t lba) const;
  std::optional<TrackView> FirstTrackOfSession(uint16_t session) const;
  // Where the next new track would begin (the invisible track's start).
  uint32_t NextTrackStart() const;
  // Tracks of closed sessions (plus closed tracks of the open session on
  // DVD), which is what the table of contents shows.
  std::vector<TrackRecord> TocTracks() const;
  bool Readable(uint32_t lba, uint32_t count, uint32_t* firstBad) const;
  uint32_t ReadableEnd() const;  // one past the last readable block (READ CAPACITY)

  // Whether count blocks of trackMode may be written at lba now; a write
  // that runs past the end of a reservation or of the medium is refused
  // whole.
  Sense CheckWrite(uint32_t lba, uint32_t count, bool needsReservation, uint8_t trackMode) const;
  // True when more changed than the open track's length (a new track).
  bool RecordWrite(uint32_t lba, uint32_t count, uint8_t trackMode);
  // A write at lba failed and left the track it was writing damaged (a new
  // one when it would have started a track). True when anything changed.
  bool Damage(uint32_t lba, uint8_t trackMode);
  // The disc file holds recordedEnd blocks: an open track the saved state
  // had not followed to its end continues there.
  void ResumeOpenTrack(uint64_t recordedEnd);
  // A new track of exactly blocks, to be written in trackMode.
  Sense Reserve(uint32_t blocks, uint8_t trackMode);
  // discAtOnce: page 5 selects disc-at-once, where a reservation can only
  // be completed by filling it.
  Sense CloseTrack(uint32_t number, bool discAtOnce);
  // Refused while the open track is incomplete (05/72/03) or an unfilled
  // reservation (05/72/04); a damaged track is closed as it is.
  Sense CloseSession(bool allowNext);
  Sense Finalize();
  // SYNCHRONIZE CACHE: a filled reservation is complete, and written
  // disc-at-once it closes the disc; closeTrack (drives that end a
  // track-at-once track when its cache is flushed) closes the open track
  // too. True when anything changed.
  bool Flush(bool discAtOnce, bool closeTrack);
  Sense Blank();
  Sense Format(uint8_t formatType);

  // Restores a state read back from the state file.
  static std::optional<Disc> Restore(MediumKind kind, uint32_t capacity, bool formatted, uint16_t closedSessions,
                                     bool finalized, std::vector<TrackRecord> tracks);

 private:
  Disc(MediumKind kind, uint32_t capacity) : kind_(kind), capacity_(capacity) {}
  bool Sequential() const { return Traits().recording == Recording::Sequential; }
  uint16_t OpenSession() const { return static_cast<uint16_t>(closedSessions_ + 1); }
  TrackRecord* OpenTrack();
  const TrackRecord* OpenTrack() const;
  bool HasInvisibleTrack() const;
  uint32_t GapAfter(const TrackRecord& last, bool newSession) const;
  // Closes the open track the way a drive finishes one: a reservation is
  // padded to its size, a CD track to the 4-second minimum.
  void Complete(TrackRecord& track) const;

  MediumKind kind_;
  uint32_t capacity_;
  bool formatted_ = false;
  uint16_t closedSessions_ = 0;
  bool finalized_ = false;
  std::vector<TrackRecord> tracks_;
};

}  // namespace dorvik::emulator
