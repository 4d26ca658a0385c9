// The track's three threads: the starter, the reader (track source ->
// ring) and the writer (ring -> drive, or the output file).
#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "burn/burn_manager.h"
#include "platform/large_file.h"

namespace dorvik {

namespace {

bool DriveBusy(const SenseResult& s) { return s.senseKey == 2 && s.asc == 0x04 && (s.ascq == 0x07 || s.ascq == 0x08); }

bool WriteError(const SenseResult& s) {
  return s.senseKey == 3 && s.asc == 0x0C &&
         (s.ascq == 0x00 || s.ascq == 0x07 || s.ascq == 0x08 || s.ascq == 0x09 || s.ascq == 0x0A);
}

}  // namespace

void BurnManager::StarterThread() {
  try {
    reader_ = std::thread([this] { ReaderThread(); });
    // The writer starts once the ring has filled, or would have had time
    // to: a short track need not wait the whole delay.
    ring_.Changed().WaitFor(kWriterStartDelayMs, [this] {
      return stopRequested_.load() || ring_.Stopped() || ring_.Filled(uint64_t{sectorSize_} * ReadPieceSectors());
    });
    if (!stopRequested_.load()) writer_ = std::thread([this] { WriterThread(); });
  } catch (...) {
    Stop();  // a thread that cannot start ends the track
  }
}

bool BurnManager::Summed() const {
  // Only user data that lands on the disc as sent can be compared later.
  return !output_.fileOutput && !testWrite_.load() && sectorSize_ == kDataSectorSize;
}

uint32_t BurnManager::ReadPieceSectors() const { return sectorSize_ == kDataSectorSize ? kReadPieceSectors : 1; }

void BurnManager::ReaderThread() {
  try {
    const uint32_t count = trackBlocks_.load();
    const uint32_t piece = ReadPieceSectors();
    const bool summed = Summed();
    std::string shown;
    for (uint32_t i = 0; i < count; i += piece) {
      if (stopRequested_.load()) break;
      // Read straight into the ring. The ring holds whole sectors, so a piece
      // that wraps around its end is cut between two sectors.
      const uint32_t bytes = sectorSize_ * std::min(piece, count - i);
      RingBuffer::Spans where;
      if (!ring_.ReserveForPut(bytes, &where)) break;  // stopped, or the writer has the whole track
      const std::pair<uint8_t*, uint64_t> spans[] = {{where.first, where.firstLength},
                                                     {where.second, where.secondLength}};
      for (const auto& [at, length] : spans) {
        if (length == 0) continue;
        std::memset(at, 0, length);
        source_.ReadSector(at, static_cast<uint32_t>(length));
      }
      if (summed) {
        uint64_t slot = ring_.WritePosition() / kDataSectorSize;
        for (const auto& [at, length] : spans)
          for (uint64_t offset = 0; offset < length; offset += kDataSectorSize)
            ringSums_[slot++ % kRingSectors] = TrackDigest::SectorSum(at + offset);
      }
      ring_.CommitPut(bytes);
      // The name changes once per file; the lock is taken only then.
      if (source_.CurrentName() != shown) {
        shown = source_.CurrentName();
        SetCurrentFileName(shown);
      }
    }
  } catch (...) {
    Stop();  // the writer must not wait for sectors that will never come
  }
}

void BurnManager::WriterThread() {
  try {
    const uint32_t count = trackBlocks_.load();
    const uint32_t n = sectorSize_ * sectorsPerWrite_;
    // Only for a block that wraps around the ring's end or is the track's
    // last, partial one (the rest of it zeros); every other block goes to
    // the drive straight from the ring.
    std::vector<uint8_t> buffer(n);
    uint32_t lba = startAddress_;
    const bool summed = Summed();
    digest_.Begin(summed ? drive_ : nullptr, lba);
    // A block's sectors past the track's end go out as zeros.
    static const uint64_t zeroSum = [] {
      const std::vector<uint8_t> zeros(kDataSectorSize, 0);
      return TrackDigest::SectorSum(zeros.data());
    }();
    std::vector<uint64_t> sums(sectorsPerWrite_);
    for (uint32_t written = 0; written < count;) {
      if (stopRequested_.load()) break;
      RingBuffer::Spans where;
      // A stop while waiting for sectors ends the track before this block:
      // zeros must not go to the drive as if they were data.
      if (!ring_.PeekForTake(n, &where) || stopRequested_.load()) break;
      const uint64_t taken = where.firstLength + where.secondLength;
      const uint8_t* block = where.first;
      if (where.firstLength != n) {
        std::memset(buffer.data(), 0, n);
        std::memcpy(buffer.data(), where.first, where.firstLength);
        std::memcpy(buffer.data() + where.firstLength, where.second, where.secondLength);
        block = buffer.data();
      }
      if (output_.fileOutput) {
        AppendToOutputFile(block, n);
      } else if (!WriteBlock(lba, block, n, sectorsPerWrite_)) {
        Stop();
        return;
      }
      // Taken before the ring may hand the slots to the reader again.
      if (summed) {
        for (uint32_t i = 0; i < sectorsPerWrite_; ++i)
          sums[i] = written + i < count ? ringSums_[(written + i) % kRingSectors] : zeroSum;
        digest_.Add(sums.data(), sectorsPerWrite_);
      }
      // Only now may the reader fill these bytes again.
      ring_.ReleaseTake(taken);
      blocksWritten_ += sectorsPerWrite_;
      written += sectorsPerWrite_;
      lba += sectorsPerWrite_;
    }
  } catch (...) {
    Stop();
  }
  // The job waits for the track's end, which is now: the last block is
  // written, or the track stopped. (Told once, not after every block, so
  // the job's thread is not woken thousands of times a track.)
  trackChanged_.Notify();
}

bool BurnManager::WriteBlock(uint32_t lba, const uint8_t* buffer, uint32_t length, uint32_t blocks) {
  // A busy drive (long write in progress, operation in progress) is asked
  // again at once, then after each wait for room in its buffer (at most
  // 100 ms), until two minutes of waiting have gone by; a write error is
  // retried at once, kWriteErrorRetries times. Anything else, a stop, or a
  // used-up bound ends the track.
  uint64_t busyWaitedMs = 0;
  bool askedAgain = false;
  // Room in the buffer and still busy: something else keeps the drive busy,
  // and the buffer no longer tells when to ask again.
  bool bufferTells = true;
  uint32_t errorTries = 0;
  for (;;) {
    if (drive_->Write10(lba, buffer, length, blocks) == 0) return true;
    const SenseResult sense = drive_->LastSense();
    if (DriveBusy(sense)) {
      if (askedAgain) {
        if (busyWaitedMs >= kBusyRetryLimitMs) return false;
        const uint32_t waited = WaitForDriveRoom(length, bufferTells);
        bufferTells = bufferTells && waited >= kBusyRetryMs;
        busyWaitedMs += waited;
      }
      askedAgain = true;
      if (stopRequested_.load()) return false;
      continue;
    }
    if (WriteError(sense) && errorTries < kWriteErrorRetries) {
      ++errorTries;
      continue;
    }
    return false;
  }
}

uint32_t BurnManager::WaitForDriveRoom(uint32_t length, bool lookAtBuffer) {
  // A drive whose buffer is full answers "long write in progress" and makes
  // room at its write speed: at 24x DVD a 2 MB buffer is written out in
  // 63 ms, so a blind 100 ms wait would let it run dry. The wait looks at
  // the buffer every kBufferPollMs and ends once the block fits; a drive
  // that cannot tell gets the whole 100 ms.
  auto stopped = [this] { return stopRequested_.load(); };
  if (!lookAtBuffer) {
    trackChanged_.WaitFor(kBusyRetryMs, stopped);
    return kBusyRetryMs;
  }
  uint32_t waited = 0;
  while (waited < kBusyRetryMs && !stopped()) {
    uint32_t size = 0, free = 0;
    if (waited > 0 && drive_->ReadBufferCapacity(&size, &free) != 0) {
      trackChanged_.WaitFor(kBusyRetryMs - waited, stopped);
      return kBusyRetryMs;
    }
    if (waited > 0 && free >= length) break;
    trackChanged_.WaitFor(kBufferPollMs, stopped);
    waited += kBufferPollMs;
  }
  return waited;
}

void BurnManager::AppendToOutputFile(const uint8_t* buffer, uint32_t length) {
  if (output_.outputFilePath.empty()) return;  // no file named: the block is dropped
  try {
    platform::LargeFile file(output_.outputFilePath, platform::LargeFile::Mode::Append);
    file.Write(buffer, length);
  } catch (const platform::FileError&) {
    // a file that cannot be opened drops the block
  }
}

}  // namespace dorvik
