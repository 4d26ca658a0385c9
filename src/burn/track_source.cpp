// The track source in layout mode: sessions and tracks from the layout
// file's header, sectors from the composer. Every query opens the layout
// file afresh and reads only the bytes it needs.
#include "burn/track_source.h"

#include "drive/drive.h"
#include "platform/byte_order.h"
#include "platform/large_file.h"

namespace dorvik {

namespace {

constexpr uint64_t kSessionAreaField = 0;
constexpr uint64_t kFirstSessionField = 257;
constexpr uint64_t kLastSessionField = 258;
constexpr uint64_t kSessionRecordSearch = 64;  // after the session-area offset
constexpr uint64_t kRecordSize = 64;
constexpr uint32_t kTrackMultiple = 32;
constexpr uint32_t kDataSectorLength = 2048;

}  // namespace

TrackSource::TrackSource(iso::UnreadableFileNotifier notifyUnreadable)
    : notifyUnreadable_(std::move(notifyUnreadable)) {}

TrackSource::~TrackSource() = default;

void TrackSource::OpenLayout(const std::string& layoutPath, const std::string& workspacePath) {
  currentName_ = kProcessingName;
  layoutPath_ = layoutPath;
  workspacePath_ = workspacePath;
  session_ = track_ = 0;
  sessionRecord_ = trackPosition_ = 0;
  composed_ = false;
  layoutMode_ = true;
}

bool TrackSource::ReadLayout(uint64_t offset, void* bytes, size_t length) const {
  if (layoutPath_.empty()) return false;
  try {
    platform::LargeFile file(layoutPath_, platform::LargeFile::Mode::Read);
    file.Seek(static_cast<int64_t>(offset));
    return file.Read(bytes, length) == length;
  } catch (const platform::FileError&) {
    return false;
  }
}

int TrackSource::LayoutByte(uint64_t offset) const {
  uint8_t b = 0;
  return ReadLayout(offset, &b, 1) ? b : -1;
}

uint32_t TrackSource::FirstSession() {
  if (!layoutMode_) return 1;
  const int b = LayoutByte(kFirstSessionField);
  return b > 0 ? static_cast<uint32_t>(b) : 0;
}

uint32_t TrackSource::LastSession() {
  if (!layoutMode_) return static_cast<uint32_t>(toc_.size());
  const int b = LayoutByte(kLastSessionField);
  return b > 0 ? static_cast<uint32_t>(b) : 0;
}

bool TrackSource::SelectSession(uint32_t session) {
  if (!layoutMode_) {
    // Only the sessions the table of contents holds can be written.
    if (session < 1 || session > toc_.size()) return false;
    session_ = session;
    return true;
  }
  sessionRecord_ = 0;
  const uint32_t first = FirstSession();
  const uint32_t last = LastSession();
  if (first == 0 || last == 0 || session < first || session > last) return false;
  uint8_t field[4];
  if (!ReadLayout(kSessionAreaField, field, sizeof field)) return false;
  // The session record is the first byte from there that holds the number.
  try {
    platform::LargeFile file(layoutPath_, platform::LargeFile::Mode::Read);
    uint64_t at = uint64_t{platform::GetLe32(field)} + kSessionRecordSearch;
    file.Seek(static_cast<int64_t>(at));
    uint8_t chunk[512];
    for (;;) {
      const size_t n = file.Read(chunk, sizeof chunk);
      if (n == 0) return false;
      for (size_t i = 0; i < n; ++i) {
        if (chunk[i] == session) {
          sessionRecord_ = at + i;
          session_ = session;
          return true;
        }
      }
      at += n;
    }
  } catch (const platform::FileError&) {
    return false;
  }
}

int32_t TrackSource::ClosingTrack() {
  if (!layoutMode_) return TocTrackField(0xA1);  // the session's last track
  const int b = sessionRecord_ ? LayoutByte(sessionRecord_ + 1) : -1;
  return b > 0 ? b : 0;
}

int32_t TrackSource::FirstTrack() {
  if (!layoutMode_) return TocTrackField(0xA0);
  const int b = sessionRecord_ ? LayoutByte(sessionRecord_ + 2) : -1;
  return b > 0 ? b : 0;
}

int32_t TrackSource::LastTrack() {
  if (!layoutMode_) return TocTrackField(0xA1);
  const int b = sessionRecord_ ? LayoutByte(sessionRecord_ + 3) : -1;
  return b > 0 ? b : 0;
}

bool TrackSource::FindLayoutTrack(uint32_t track) {
  // Track records follow the session record's 64 bytes: 64 bytes each
  // (number, type, ...), then the track's own list: a data track's entry
  // list behind its 32-bit length, an audio track's name behind its 32-bit
  // length and 64 more bytes.
  try {
    platform::LargeFile file(layoutPath_, platform::LargeFile::Mode::Read);
    uint64_t at = sessionRecord_ + kRecordSize;
    const uint64_t end = file.Length();
    while (at + kRecordSize <= end) {
      uint8_t record[kRecordSize + 4];
      file.Seek(static_cast<int64_t>(at));
      const size_t n = file.Read(record, sizeof record);
      if (n >= 1 && record[0] == track) {
        trackPosition_ = at;
        return true;
      }
      if (n < sizeof record) return false;
      const uint64_t length = platform::GetLe32(record + kRecordSize);
      at += kRecordSize + 4 + length + (record[1] == kTrackAudio ? kRecordSize : 0);
    }
  } catch (const platform::FileError&) {
  }
  return false;
}

bool TrackSource::PrepareTrack(uint32_t track, uint32_t startAddress) {
  firstRead_ = true;
  cachedType_ = kTrackUnknown;
  if (!layoutMode_) {
    track_ = track;
    trackPosition_ = 0;
    trackSize_ = 0;
    if (!source_) return false;
    uint8_t record[36] = {};
    if (source_->TrackInfoFromToc(record, 1, track) != 0) return false;
    trackPosition_ = Be32(record + 8);
    trackSize_ = Be32(record + 24);
    return true;
  }
  trackPosition_ = 0;
  composed_ = false;
  if (sessionRecord_ == 0) return false;
  const int32_t first = FirstTrack(), last = LastTrack();
  if (first <= 0 || last <= 0 || track < static_cast<uint32_t>(first) || track > static_cast<uint32_t>(last))
    return false;
  if (!FindLayoutTrack(track)) return false;
  track_ = track;
  switch (TrackType()) {
    case kTrackAudio: {
      uint8_t field[4];
      if (!ReadLayout(trackPosition_ + kRecordSize, field, sizeof field)) break;
      std::string name(platform::GetLe32(field), '\0');
      if (ReadLayout(trackPosition_ + kRecordSize + 4, name.data(), name.size())) currentName_ = name;
      break;
    }
    case kTrackData:
      // The library lays out one data track per layout: session 1, track 1.
      composer_ = std::make_unique<iso::ImageComposer>(notifyUnreadable_);
      composed_ = composer_->Compose(layoutPath_, 1, 1, workspacePath_, startAddress);
      // An image that could not be laid out must not be written as if it had been.
      if (!composed_) return false;
      break;
    default:
      break;
  }
  return true;
}

int TrackSource::TrackType() {
  if (!layoutMode_) {
    const TocEntry* e = FindTocEntry(static_cast<uint8_t>(track_));
    if (!e || track_ == 0 || track_ > 99) return kTrackUnknown;
    return ((*e)[0] & 0x04) ? kTrackData : kTrackAudio;
  }
  if (trackPosition_ == 0) return kTrackUnknown;
  const int b = LayoutByte(trackPosition_ + 1);
  return b == kTrackAudio || b == kTrackData ? b : kTrackUnknown;
}

uint32_t TrackSource::TrackBlocks() {
  if (!layoutMode_) return trackSize_;
  if (!composed_) return 0;
  const uint64_t padded = composer_->PaddedSize();
  return static_cast<uint32_t>((padded + kTrackMultiple - 1) / kTrackMultiple * kTrackMultiple);
}

void TrackSource::ReadSector(uint8_t* buffer, uint32_t length) {
  if (firstRead_) {
    firstRead_ = false;
    cachedType_ = TrackType();
  }
  if (!layoutMode_) {
    const uint32_t blocks = length / kDataSectorLength;
    if (source_ && blocks) source_->ReadUserSectors(buffer, length, blocks, static_cast<uint32_t>(trackPosition_));
    trackPosition_ += blocks;
    return;
  }
  if (!composed_) return;
  if (length > kDataSectorLength && length % kDataSectorLength == 0)
    composer_->ReadNextSectors(buffer, length / kDataSectorLength);
  else
    composer_->ReadNextSector(buffer, length);
  // The sector just read belongs to this file (empty while the metadata and
  // the padding go by).
  currentName_ = composer_->CurrentSourcePath();
}

void TrackSource::ResetTrack() {
  track_ = 0;
  trackPosition_ = 0;
}

void TrackSource::ResetSession() {
  session_ = 0;
  sessionRecord_ = 0;
}

}  // namespace dorvik
