// The track's three threads: the starter, the reader (track source ->
// ring) and the writer (ring -> drive, or the output file).
#include <algorithm>
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

uint32_t BurnManager::ReadPieceSectors() const { return sectorSize_ == kDataSectorSize ? kReadPieceSectors : 1; }

void BurnManager::ReaderThread() {
  try {
    const uint32_t count = trackBlocks_.load();
    const uint32_t piece = ReadPieceSectors();
    std::vector<uint8_t> buffer(size_t{sectorSize_} * piece);
    std::string shown;
    for (uint32_t i = 0; i < count; i += piece) {
      if (stopRequested_.load()) break;
      const uint32_t bytes = sectorSize_ * std::min(piece, count - i);
      std::fill(buffer.begin(), buffer.begin() + bytes, 0);
      source_.ReadSector(buffer.data(), bytes);
      ring_.Put(buffer.data(), bytes);
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
    std::vector<uint8_t> buffer(n);
    uint32_t lba = startAddress_;
    for (uint32_t written = 0; written < count;) {
      if (stopRequested_.load()) break;
      std::fill(buffer.begin(), buffer.end(), 0);
      ring_.Take(buffer.data(), n);
      // A stop while waiting for sectors ends the track before this block:
      // zeros must not go to the drive as if they were data.
      if (stopRequested_.load()) break;
      if (output_.fileOutput) {
        AppendToOutputFile(buffer.data(), n);
      } else if (!WriteBlock(lba, buffer.data(), n, sectorsPerWrite_)) {
        Stop();
        return;
      }
      blocksWritten_ += sectorsPerWrite_;
      written += sectorsPerWrite_;
      lba += sectorsPerWrite_;
      trackChanged_.Notify();
    }
  } catch (...) {
    Stop();
  }
  trackChanged_.Notify();
}

bool BurnManager::WriteBlock(uint32_t lba, const uint8_t* buffer, uint32_t length, uint32_t blocks) {
  // A busy drive (long write in progress, operation in progress) is asked
  // again at once, then every 100 ms for at most kBusyRetryLimit tries; a
  // write error is retried at once, kWriteErrorRetries times. Anything
  // else, a stop, or a used-up bound ends the track.
  uint32_t busyTries = 0;
  uint32_t errorTries = 0;
  for (;;) {
    if (drive_->Write10(lba, buffer, length, blocks) == 0) return true;
    const SenseResult sense = drive_->LastSense();
    if (DriveBusy(sense)) {
      if (++busyTries > kBusyRetryLimit) return false;
      if (busyTries > 1) trackChanged_.WaitFor(kBusyRetryMs, [this] { return stopRequested_.load(); });
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
