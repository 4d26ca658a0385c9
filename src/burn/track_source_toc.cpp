// The track source in drive mode: sessions and tracks from the source
// drive's full table of contents.
#include <algorithm>
#include <vector>

#include "burn/track_source.h"
#include "drive/drive.h"

namespace dorvik {

namespace {
constexpr uint32_t kFullTocFormat = 2;
constexpr uint32_t kDescriptorLength = 11;
constexpr uint32_t kTocHeaderLength = 4;
}  // namespace

void TrackSource::AttachDrive(Drive& source) {
  currentName_ = kProcessingName;
  source_ = &source;
  layoutMode_ = false;
  composer_.reset();
  composed_ = false;
  std::vector<uint8_t> toc(kTocAnswerLength, 0);
  if (source.ReadToc(toc.data(), kTocAnswerLength, kFullTocFormat, 0) != 0) return;
  uint32_t count = Be16(toc.data()) >= 2 ? (Be16(toc.data()) - 2u) / kDescriptorLength : 0;
  count = std::min(count, (kTocAnswerLength - kTocHeaderLength) / kDescriptorLength);
  // A run of descriptors with one session byte is one session.
  toc_.clear();
  int previous = -1;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* d = toc.data() + kTocHeaderLength + i * kDescriptorLength;
    if (d[0] != previous) toc_.emplace_back();
    previous = d[0];
    TocEntry entry;
    std::copy(d + 1, d + kDescriptorLength, entry.begin());
    toc_.back().push_back(entry);
  }
}

const TrackSource::TocEntry* TrackSource::FindTocEntry(uint8_t point) const {
  if (session_ < 1 || session_ > toc_.size()) return nullptr;
  for (const TocEntry& e : toc_[session_ - 1])
    if (e[2] == point && (e[0] >> 4) != 5) return &e;  // ADR 5 entries reuse point numbers
  return nullptr;
}

int32_t TrackSource::TocTrackField(uint8_t point) const {
  const TocEntry* e = FindTocEntry(point);
  return e ? (*e)[7] : -1;  // PMIN
}

}  // namespace dorvik
