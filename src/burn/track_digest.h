#pragma once
// What each sector of the last data track looked like as it went to the
// drive: a 64-bit sum per 2048-byte sector, kept so the track can be read
// back and compared later (a drive may take a write and record it wrong).
//
// A DVD's track holds millions of sectors, so the sums do not stay in
// memory: all but the latest few thousand go to a scratch file (a file
// without a name in the temporary folder), and a burn
// needs the same memory whatever the track's size. Without a scratch file
// they stay in memory. The writer thread adds, a host's thread reads: both
// under the mutex.
#include <cstdint>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/large_file.h"

namespace dorvik {

class Recorder;

class TrackDigest {
 public:
  struct Record {
    const Recorder* drive = nullptr;
    uint32_t start = 0;  // LBA of the first sector summed
    uint32_t sectors = 0;
  };

  // Starts the record of a track written to drive from start; a null drive
  // (a simulated write, file output, audio) records nothing until the next.
  void Begin(const Recorder* drive, uint32_t start);
  // The SectorSums of the next count sectors sent.
  void Add(const uint64_t* sums, uint32_t count);
  // What was recorded, or nothing when no track was (or its sums were lost).
  std::optional<Record> Last() const;
  // The sums of count sectors from the index-th one of the record; false
  // when they are not all there.
  bool Sums(uint32_t index, uint32_t count, uint64_t* out) const;

  static uint64_t SectorSum(const uint8_t* sector);

 private:
  // Sums held in memory before they go to the scratch file (64 KiB).
  static constexpr size_t kHeldSums = 8192;
  void Spill();

  mutable std::mutex mutex_;
  Record record_;
  bool recording_ = false;
  mutable platform::LargeFile file_;  // reading moves nothing a caller sees
  bool fileFailed_ = false;  // from now on everything stays in memory
  uint32_t inFile_ = 0;      // the first sums, in the file
  std::vector<uint64_t> held_;  // the sums after them
};

}  // namespace dorvik
