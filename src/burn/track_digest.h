#pragma once
// What each sector of the last data track looked like as it went to the
// drive: a 64-bit sum per 2048-byte sector, kept so the track can be read
// back and compared later (a drive may take a write and record it wrong).
// The writer thread adds, a host's thread reads: both under the mutex.
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

namespace dorvik {

class Recorder;

class TrackDigest {
 public:
  struct Record {
    const Recorder* drive = nullptr;
    uint32_t start = 0;  // LBA of the first sector summed
    std::vector<uint64_t> sums;
  };

  // Starts the record of a track written to drive from start; a null drive
  // (a simulated write, file output, audio) records nothing until the next.
  void Begin(const Recorder* drive, uint32_t start);
  // The next sectors sent (count * 2048 bytes).
  void Add(const uint8_t* sectors, uint32_t count);
  // A copy of the record, or nothing when no track was recorded.
  std::optional<Record> Last() const;

  static uint64_t SectorSum(const uint8_t* sector);

 private:
  mutable std::mutex mutex_;
  Record record_;
  bool recording_ = false;
};

}  // namespace dorvik
