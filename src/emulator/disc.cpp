#include "emulator/disc.h"

#include <algorithm>

namespace dorvik::emulator {

namespace {
// CD track-at-once: two run-out blocks end a track and the next one starts
// after its 150-block pregap.
constexpr uint32_t kCdRunOut = 2;
constexpr uint32_t kCdPregap = 150;
// A CD track lasts at least 4 seconds; a drive pads a shorter one when it
// closes it.
constexpr uint32_t kCdMinimumTrack = 300;
// CD multisession: the lead-out after the first session is 6750 blocks long,
// later ones 2250; every session begins with a 4500-block lead-in.
constexpr uint32_t kCdFirstLeadOut = 6750;
constexpr uint32_t kCdLaterLeadOut = 2250;
constexpr uint32_t kCdLeadIn = 4500;
// DVD: tracks start on a 16-block ECC block; a closed session costs its
// border-out and the next border-in (closure and intro on DVD+R).
constexpr uint32_t kDvdEccBlock = 16;
constexpr uint32_t kDvdFirstSessionGap = 16384;
constexpr uint32_t kDvdLaterSessionGap = 3072;

uint32_t RoundUp(uint32_t v, uint32_t to) { return (v + to - 1) / to * to; }
}  // namespace

Disc Disc::Blank(MediumKind kind, uint32_t capacity) {
  Disc d(kind, capacity);
  d.formatted_ = kind == MediumKind::DvdRam || kind == MediumKind::DvdRwRestricted;
  return d;
}

Disc Disc::Pressed(MediumKind kind, uint32_t blocks) {
  Disc d(kind, blocks);
  d.formatted_ = true;
  d.closedSessions_ = 1;
  d.finalized_ = true;
  d.tracks_.push_back(TrackRecord{1, 0, 0, blocks, true, 4});
  return d;
}

std::optional<Disc> Disc::Restore(MediumKind kind, uint32_t capacity, bool formatted, uint16_t closedSessions,
                                  bool finalized, std::vector<TrackRecord> tracks) {
  Disc d(kind, capacity);
  d.formatted_ = formatted;
  d.closedSessions_ = closedSessions;
  d.finalized_ = finalized;
  // Tracks must be in address order, in non-decreasing sessions, inside the
  // medium, with at most the last one open, and no session beyond the open one.
  uint32_t previousEnd = 0;
  uint16_t previousSession = 1;
  for (size_t i = 0; i < tracks.size(); ++i) {
    const auto& t = tracks[i];
    if (t.session < previousSession || t.session > closedSessions + 1 || t.session == 0) return std::nullopt;
    if (t.start < previousEnd || t.End() > capacity || t.End() < t.start) return std::nullopt;
    if (t.reserved && t.written > t.reserved) return std::nullopt;
    if (!t.closed && i + 1 != tracks.size()) return std::nullopt;
    previousEnd = t.End();
    previousSession = t.session;
  }
  if (finalized && closedSessions == 0 && TraitsOf(kind).recording == Recording::Sequential) return std::nullopt;
  if (tracks.size() > 99 && TraitsOf(kind).cd) return std::nullopt;
  d.tracks_ = std::move(tracks);
  return d;
}

TrackRecord* Disc::OpenTrack() {
  if (tracks_.empty() || tracks_.back().closed || !Sequential()) return nullptr;
  return &tracks_.back();
}

const TrackRecord* Disc::OpenTrack() const { return const_cast<Disc*>(this)->OpenTrack(); }

DiscStatus Disc::Status() const {
  switch (Traits().recording) {
    case Recording::Pressed: return DiscStatus::Complete;
    case Recording::Random: return formatted_ ? DiscStatus::Complete : DiscStatus::Empty;
    case Recording::Sequential: break;
  }
  if (tracks_.empty() && closedSessions_ == 0) return DiscStatus::Empty;
  return finalized_ ? DiscStatus::Complete : DiscStatus::Incomplete;
}

SessionState Disc::LastSessionState() const {
  if (!Sequential()) return formatted_ ? SessionState::Complete : SessionState::Empty;
  if (finalized_) return SessionState::Complete;
  for (const auto& t : tracks_)
    if (t.session == OpenSession()) return SessionState::Incomplete;
  return SessionState::Empty;
}

uint16_t Disc::SessionCount() const {
  if (!Sequential()) return 1;
  return finalized_ ? closedSessions_ : OpenSession();
}

uint32_t Disc::GapAfter(const TrackRecord& last, bool newSession) const {
  if (Traits().cd) {
    if (!newSession) return kCdRunOut + kCdPregap;
    // The session being opened is session closedSessions_ + 1; its
    // predecessor's lead-out is the long one only when that was the first.
    const uint32_t leadOut = closedSessions_ <= 1 ? kCdFirstLeadOut : kCdLaterLeadOut;
    return leadOut + kCdLeadIn + kCdPregap;
  }
  const uint32_t aligned = RoundUp(last.End(), kDvdEccBlock) - last.End();
  if (!newSession) return aligned;
  return aligned + (closedSessions_ <= 1 ? kDvdFirstSessionGap : kDvdLaterSessionGap);
}

uint32_t Disc::NextTrackStart() const {
  if (tracks_.empty()) return 0;
  const auto& last = tracks_.back();
  const bool newSession = last.session < OpenSession();
  uint64_t start = static_cast<uint64_t>(last.End()) + GapAfter(last, newSession);
  return static_cast<uint32_t>(std::min<uint64_t>(start, 0xFFFFFFF0u));
}

bool Disc::HasInvisibleTrack() const {
  if (!Sequential() || finalized_) return false;
  const TrackRecord* open = OpenTrack();
  if (open && !open->reserved) return true;  // the growing track is the incomplete one
  return NextTrackStart() < capacity_;
}

std::vector<TrackView> Disc::Tracks() const {
  std::vector<TrackView> out;
  if (Traits().recording == Recording::Random) {
    TrackView v;
    v.number = 1;
    v.session = 1;
    v.size = capacity_;
    v.written = formatted_ ? capacity_ : 0;
    v.freeBlocks = capacity_;
    v.closed = formatted_;
    v.blank = !formatted_;
    out.push_back(v);
    return out;
  }
  uint16_t number = 1;
  for (const auto& t : tracks_) {
    TrackView v;
    v.number = number++;
    v.session = t.session;
    v.start = t.start;
    v.written = t.written;
    v.mode = t.mode;
    v.closed = t.closed;
    v.damaged = t.damaged;
    v.reserved = t.reserved != 0;
    if (!t.closed && !t.reserved) {
      // The incomplete track reaches to the end of the medium.
      v.size = capacity_ - t.start;
      v.nwa = t.start + t.written;
      v.nwaValid = true;
      v.freeBlocks = capacity_ - v.nwa;
    } else {
      v.size = t.Size();
      if (!t.closed) {
        v.nwa = t.start + t.written;
        v.nwaValid = t.written < t.reserved;  // a filled reservation takes no more
        v.freeBlocks = t.reserved - t.written;
      }
    }
    if (t.damaged) {
      v.nwaValid = false;
      v.freeBlocks = 0;
    }
    out.push_back(v);
  }
  const TrackRecord* open = OpenTrack();
  if (HasInvisibleTrack() && !(open && !open->reserved)) {
    TrackView v;
    v.number = number;
    v.session = OpenSession();
    v.start = NextTrackStart();
    v.size = capacity_ - v.start;
    v.nwa = v.start;
    v.nwaValid = true;
    v.freeBlocks = v.size;
    v.blank = true;
    out.push_back(v);
  }
  return out;
}

std::optional<TrackView> Disc::Track(uint16_t number) const {
  auto all = Tracks();
  if (number == 0xFF) {
    if (!HasInvisibleTrack() || all.empty()) return std::nullopt;
    return all.back();
  }
  for (const auto& v : all)
    if (v.number == number) return v;
  return std::nullopt;
}

std::optional<TrackView> Disc::TrackContaining(uint32_t lba) const {
  for (const auto& v : Tracks())
    if (lba >= v.start && static_cast<uint64_t>(lba) < static_cast<uint64_t>(v.start) + v.size) return v;
  return std::nullopt;
}

std::optional<TrackView> Disc::FirstTrackOfSession(uint16_t session) const {
  for (const auto& v : Tracks())
    if (v.session == session) return v;
  return std::nullopt;
}

uint16_t Disc::LastTrackInLastSession() const {
  auto all = Tracks();
  return all.empty() ? 1 : all.back().number;
}

uint16_t Disc::FirstTrackInLastSession() const {
  if (auto first = FirstTrackOfSession(SessionCount())) return first->number;
  return LastTrackInLastSession();
}

std::vector<TrackRecord> Disc::TocTracks() const {
  std::vector<TrackRecord> out;
  if (!Sequential()) {
    if (Traits().recording == Recording::Random && !formatted_) return out;
    if (Traits().recording == Recording::Random) {
      out.push_back(TrackRecord{1, 0, 0, capacity_, true, 4});
      return out;
    }
    return tracks_;
  }
  for (const auto& t : tracks_) {
    if (t.session <= closedSessions_) out.push_back(t);
    else if (!Traits().cd && t.closed && t.written > 0) out.push_back(t);
  }
  return out;
}

bool Disc::Readable(uint32_t lba, uint32_t count, uint32_t* firstBad) const {
  const uint64_t end = static_cast<uint64_t>(lba) + count;
  auto fail = [&](uint32_t at) {
    if (firstBad) *firstBad = at;
    return false;
  };
  if (Traits().recording == Recording::Random) {
    if (!formatted_) return fail(lba);
    if (end > capacity_) return fail(std::max(lba, capacity_));
    return true;
  }
  for (const auto& t : tracks_) {
    if (lba >= t.start && lba < t.start + t.written) {
      if (end <= static_cast<uint64_t>(t.start) + t.written) return true;
      return fail(t.start + t.written);
    }
  }
  return fail(lba);
}

uint32_t Disc::ReadableEnd() const {
  if (Traits().recording == Recording::Random) return formatted_ ? capacity_ : 0;
  uint32_t end = 0;
  for (const auto& t : tracks_)
    if (t.written) end = t.start + t.written;
  return end;
}

Sense Disc::CheckWrite(uint32_t lba, uint32_t count, bool needsReservation, uint8_t trackMode) const {
  const uint64_t end = static_cast<uint64_t>(lba) + count;
  switch (Traits().recording) {
    case Recording::Pressed: return sense::CannotWriteIncompatibleFormat();
    case Recording::Random:
      // A DVD+RW must be formatted (FORMAT UNIT 26h) before anything is written.
      if (!formatted_) return sense::CannotWriteIncompatibleFormat();
      if (end > capacity_) return sense::LbaOutOfRange().WithInformation(std::max(lba, capacity_));
      return Sense::None();
    case Recording::Sequential: break;
  }
  if (finalized_) return sense::InvalidAddressForWrite().WithInformation(lba);
  const TrackRecord* open = OpenTrack();
  uint32_t nwa;
  uint64_t limit = capacity_;
  if (open) {
    if (open->damaged) return sense::InvalidAddressForWrite().WithInformation(lba);
    // A track holds either audio or data blocks.
    if (Traits().cd && open->Audio() != ((trackMode & 0x04) == 0)) return sense::IllegalModeForThisTrack();
    nwa = open->start + open->written;
    if (open->reserved) limit = open->start + open->reserved;
  } else {
    if (needsReservation) return sense::CommandSequenceError();
    nwa = NextTrackStart();
    if (nwa >= capacity_) return sense::LbaOutOfRange().WithInformation(lba);
  }
  if (lba != nwa) return sense::InvalidAddressForWrite().WithInformation(lba);
  if (end > limit) return sense::LbaOutOfRange().WithInformation(static_cast<uint32_t>(limit));
  return Sense::None();
}

bool Disc::RecordWrite(uint32_t lba, uint32_t count, uint8_t trackMode) {
  if (Traits().recording != Recording::Sequential) return false;
  bool reshaped = false;
  TrackRecord* open = OpenTrack();
  if (!open) {
    tracks_.push_back(TrackRecord{OpenSession(), lba, 0, 0, false, trackMode});
    open = &tracks_.back();
    reshaped = true;
  }
  open->written += count;
  return reshaped;
}

bool Disc::Damage(uint32_t lba, uint8_t trackMode) {
  if (!Sequential() || finalized_) return false;
  if (TrackRecord* open = OpenTrack()) {
    const bool was = open->damaged;
    open->damaged = true;
    return !was;
  }
  // The failed write was to begin a new track: it exists now, damaged.
  if (lba != NextTrackStart() || lba >= capacity_) return false;
  if (Traits().cd && tracks_.size() >= 99) return false;
  tracks_.push_back(TrackRecord{OpenSession(), lba, 0, 0, false, trackMode, true});
  return true;
}

void Disc::ResumeOpenTrack(uint64_t recordedEnd) {
  const TrackRecord* open = OpenTrack();
  if (!open || open->damaged) return;
  const uint32_t nwa = open->start + open->written;
  const uint64_t end = std::min<uint64_t>(recordedEnd, open->reserved ? open->End() : capacity_);
  if (end > nwa) RecordWrite(nwa, static_cast<uint32_t>(end - nwa), open->mode);
}

Sense Disc::Reserve(uint32_t blocks, uint8_t trackMode) {
  if (!Sequential()) return sense::CommandSequenceError();
  if (finalized_ || OpenTrack()) return sense::CommandSequenceError();
  if (blocks == 0) return sense::InvalidFieldInCdb();
  const uint32_t start = NextTrackStart();
  if (start >= capacity_ || blocks > capacity_ - start) return sense::InvalidFieldInCdb();
  if (Traits().cd && tracks_.size() >= 99) return sense::CommandSequenceError();
  tracks_.push_back(TrackRecord{OpenSession(), start, blocks, 0, false, trackMode});
  return Sense::None();
}

void Disc::Complete(TrackRecord& track) const {
  if (!track.damaged) {
    if (track.reserved) {
      track.written = track.reserved;
    } else if (Traits().cd && track.written < kCdMinimumTrack) {
      track.written = std::min(kCdMinimumTrack, capacity_ - track.start);
    }
  }
  track.closed = true;
}

Sense Disc::CloseTrack(uint32_t number, bool discAtOnce) {
  if (Traits().recording == Recording::Pressed) return sense::CannotWriteIncompatibleFormat();
  if (!Sequential()) return Sense::None();  // nothing to close on random-access media
  TrackRecord* open = OpenTrack();
  const uint16_t openNumber = static_cast<uint16_t>(tracks_.size());
  if (open && (number == 0xFF || number == openNumber)) {
    if (open->reserved == 0 && open->written == 0 && !open->damaged) {
      tracks_.pop_back();  // nothing was written: there is no track to close
      return Sense::None();
    }
    if (discAtOnce && open->reserved && open->written < open->reserved && !open->damaged)
      return sense::EmptyOrPartiallyWrittenReservedTrack();
    Complete(*open);
    return Sense::None();
  }
  // Closing the blank invisible track records nothing.
  if (!open && !finalized_ && (number == 0xFF || number == openNumber + 1u)) return Sense::None();
  return sense::InvalidFieldInCdb();
}

Sense Disc::CloseSession(bool allowNext) {
  if (Traits().recording == Recording::Pressed) return sense::CannotWriteIncompatibleFormat();
  if (!Sequential()) return Sense::None();
  if (finalized_) return sense::CommandSequenceError();
  if (TrackRecord* open = OpenTrack()) {
    // A drive closes a session only over complete tracks; a damaged one it
    // closes as it is.
    if (open->damaged) open->closed = true;
    else if (open->reserved && open->written < open->reserved) return sense::EmptyOrPartiallyWrittenReservedTrack();
    else if (open->reserved) open->closed = true;  // filled: the close flushes it
    else if (open->written > 0) return sense::IncompleteTrackInSession();
    else tracks_.pop_back();
  }
  bool any = false;
  for (const auto& t : tracks_) any = any || (t.session == OpenSession() && (t.written > 0 || t.damaged));
  if (!any) return sense::CommandSequenceError();
  ++closedSessions_;
  if (!allowNext || NextTrackStart() >= capacity_) finalized_ = true;
  return Sense::None();
}

Sense Disc::Finalize() {
  if (!Sequential()) return CloseSession(false);
  if (finalized_) return sense::CommandSequenceError();
  bool openSessionUsed = false;
  for (const auto& t : tracks_) openSessionUsed = openSessionUsed || t.session == OpenSession();
  if (openSessionUsed) return CloseSession(false);
  if (closedSessions_ == 0) return sense::CommandSequenceError();
  finalized_ = true;
  return Sense::None();
}

bool Disc::Flush(bool discAtOnce, bool closeTrack) {
  TrackRecord* open = OpenTrack();
  if (!open || open->damaged) return false;
  if (open->reserved) {
    if (open->written < open->reserved) return false;
    open->closed = true;
    if (discAtOnce) {
      ++closedSessions_;
      finalized_ = true;
    }
    return true;
  }
  if (!closeTrack || open->written == 0) return false;
  Complete(*open);
  return true;
}

Sense Disc::Blank() {
  if (!Traits().erasable || Traits().recording == Recording::Pressed) return sense::CannotWriteIncompatibleFormat();
  if (kind_ == MediumKind::DvdPlusRw || kind_ == MediumKind::DvdRam) return sense::CannotWriteIncompatibleFormat();
  // Blanking a restricted-overwrite DVD-RW returns it to sequential recording.
  if (kind_ == MediumKind::DvdRwRestricted) kind_ = MediumKind::DvdRwSequential;
  tracks_.clear();
  closedSessions_ = 0;
  finalized_ = false;
  formatted_ = false;
  return Sense::None();
}

Sense Disc::Format(uint8_t formatType) {
  switch (kind_) {
    case MediumKind::DvdPlusRw:
      if (formatType != 0x26) return sense::InvalidFieldInParameterList();
      formatted_ = true;
      return Sense::None();
    case MediumKind::DvdRwRestricted:
    case MediumKind::DvdRwSequential:
      if (formatType != 0x10 && formatType != 0x15) return sense::InvalidFieldInParameterList();
      kind_ = MediumKind::DvdRwRestricted;
      tracks_.clear();
      closedSessions_ = 0;
      finalized_ = false;
      formatted_ = true;
      return Sense::None();
    case MediumKind::DvdRam:
      if (formatType != 0x00 && formatType != 0x01) return sense::InvalidFieldInParameterList();
      formatted_ = true;
      return Sense::None();
    default: return sense::CannotFormatIncompatibleMedium();
  }
}

}  // namespace dorvik::emulator
