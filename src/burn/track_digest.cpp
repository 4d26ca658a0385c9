#include "burn/track_digest.h"

#include <cstring>

namespace dorvik {

void TrackDigest::Begin(const Recorder* drive, uint32_t start) {
  std::lock_guard lock(mutex_);
  record_ = Record{drive, start, {}};
  recording_ = drive != nullptr;
}

void TrackDigest::Add(const uint8_t* sectors, uint32_t count) {
  std::vector<uint64_t> sums(count);
  for (uint32_t i = 0; i < count; ++i) sums[i] = SectorSum(sectors + size_t{i} * 2048);
  std::lock_guard lock(mutex_);
  if (recording_) record_.sums.insert(record_.sums.end(), sums.begin(), sums.end());
}

std::optional<TrackDigest::Record> TrackDigest::Last() const {
  std::lock_guard lock(mutex_);
  if (!recording_) return std::nullopt;
  return record_;
}

uint64_t TrackDigest::SectorSum(const uint8_t* sector) {
  // Word by word multiply-and-rotate: fast enough to keep up with any
  // drive, and one changed bit changes the sum. Not meant against tampering.
  uint64_t h = 0x9E3779B97F4A7C15ull;
  for (size_t i = 0; i < 2048; i += 8) {
    uint64_t w;
    std::memcpy(&w, sector + i, 8);
    h = (h ^ w) * 0xFF51AFD7ED558CCDull;
    h = (h << 31) | (h >> 33);
  }
  return h ^ (h >> 29);
}

}  // namespace dorvik
