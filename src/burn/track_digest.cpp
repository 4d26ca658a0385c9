#include "burn/track_digest.h"

#include <algorithm>
#include <cstring>

#include "platform/files.h"

namespace dorvik {

void TrackDigest::Begin(const Recorder* drive, uint32_t start) {
  std::lock_guard lock(mutex_);
  record_ = Record{drive, start, 0};
  recording_ = drive != nullptr;
  held_.clear();
  held_.shrink_to_fit();  // an earlier track's sums may have stayed in memory
  inFile_ = 0;
  fileFailed_ = false;
  file_.Close();
}

void TrackDigest::Add(const uint64_t* sums, uint32_t count) {
  std::lock_guard lock(mutex_);
  if (!recording_) return;
  held_.insert(held_.end(), sums, sums + count);
  record_.sectors += count;
  if (held_.size() >= kHeldSums && !fileFailed_) Spill();
}

void TrackDigest::Spill() {
  try {
    if (!file_.IsOpen()) file_.OpenScratch(platform::TempDirectory());
    file_.WriteAt(uint64_t{inFile_} * sizeof(uint64_t), held_.data(), held_.size() * sizeof(uint64_t));
  } catch (const platform::FileError&) {
    fileFailed_ = true;  // what is held stays; the file's part is still whole
    return;
  }
  inFile_ += static_cast<uint32_t>(held_.size());
  held_.clear();
}

std::optional<TrackDigest::Record> TrackDigest::Last() const {
  std::lock_guard lock(mutex_);
  if (!recording_) return std::nullopt;
  return record_;
}

bool TrackDigest::Sums(uint32_t index, uint32_t count, uint64_t* out) const {
  std::lock_guard lock(mutex_);
  if (!recording_ || index > record_.sectors || count > record_.sectors - index) return false;
  if (index < inFile_) {
    const uint32_t fromFile = std::min(count, inFile_ - index);
    const size_t bytes = size_t{fromFile} * sizeof(uint64_t);
    try {
      if (file_.ReadAt(uint64_t{index} * sizeof(uint64_t), out, bytes) != bytes) return false;
    } catch (const platform::FileError&) {
      return false;
    }
    index += fromFile;
    count -= fromFile;
    out += fromFile;
  }
  std::copy_n(held_.begin() + (index - inFile_), count, out);
  return true;
}

uint64_t TrackDigest::SectorSum(const uint8_t* sector) {
  // Two running sums per lane, of the words and of the first sums (as
  // Fletcher's checksum does), in eight lanes the compiler turns into
  // vector additions: summing costs the writer less than the copy it
  // makes anyway. One changed bit changes its lane's first sum; words
  // that trade places change the second. The sixteen sums are then mixed
  // into one, each step a bijection, so a change in any of them shows.
  // Not meant against tampering.
  constexpr int kLanes = 8;
  uint64_t a[kLanes] = {}, b[kLanes] = {};
  for (size_t i = 0; i < 2048; i += 8 * kLanes) {
    uint64_t w[kLanes];
    std::memcpy(w, sector + i, sizeof w);
    for (int k = 0; k < kLanes; ++k) {
      a[k] += w[k];
      b[k] += a[k];
    }
  }
  constexpr uint64_t kMultiplier = 0xFF51AFD7ED558CCDull;
  auto mix = [](uint64_t h, uint64_t x) {
    h = (h ^ x) * kMultiplier;
    return (h << 31) | (h >> 33);
  };
  uint64_t h = 0x9E3779B97F4A7C15ull;
  for (int k = 0; k < kLanes; ++k) h = mix(mix(h, a[k]), b[k]);
  return h ^ (h >> 29);
}

}  // namespace dorvik
