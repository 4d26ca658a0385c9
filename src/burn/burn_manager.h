#pragma once
// Writes one track at a time: prepares the track and the medium, runs the
// reader and writer threads that meet in the ring buffer, and finishes the
// track. One object for the process; the job (write_job.h) drives it and
// the host watches it (progress, current file name) and may stop it from
// any thread.
//
// Threads per track: a starter (starts the reader, waits for the ring to
// fill, starts the writer), the reader (track source -> ring) and the
// writer (ring -> WRITE(10), or the output file in file-output mode). All
// three are joined before BurnEnd resets the track, and by the destructor.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "burn/ring_buffer.h"
#include "burn/track_digest.h"
#include "burn/track_source.h"
#include "drive/drive.h"
#include "platform/wake_signal.h"

namespace dorvik {

// Nominal waits and bounds of the burn engine, in milliseconds or tries.
inline constexpr uint32_t kWriterStartDelayMs = 2000;  // lets the ring fill before the first write
inline constexpr uint32_t kJobPollMs = 5000;           // the job looks at the track this often
inline constexpr uint32_t kBusyRetryMs = 100;          // between WRITE(10)s a busy drive refused
inline constexpr uint32_t kBufferPollMs = 5;           // looks at a busy drive's buffer within those
inline constexpr uint64_t kBusyRetryLimitMs = 120000;  // 2 minutes of a busy drive end the track
inline constexpr uint32_t kWriteErrorRetries = 10;     // WRITE(10)s again after a write error
inline constexpr uint32_t kRingSectors = 1000;
inline constexpr uint32_t kAudioSectorSize = 2352;
inline constexpr uint32_t kDataSectorSize = 2048;
// The reader takes a data track's sectors this many at a time: one system
// call per piece rather than per sector, one copy into the ring.
inline constexpr uint32_t kReadPieceSectors = 256;

// Where the engine writes when the WriteType setting asks for file output.
struct OutputSettings {
  bool fileOutput = false;
  std::string outputFilePath;
  // WriteType (leading decimal digits; 1 means file output) and TempFile.
  static OutputSettings Read();
};

class BurnManager {
 public:
  // Reads the output settings; in file-output mode the output file is
  // deleted at once, so each process starts it empty.
  explicit BurnManager(iso::UnreadableFileNotifier notifyUnreadable = {});
  BurnManager(iso::UnreadableFileNotifier notifyUnreadable, OutputSettings output);
  ~BurnManager();
  BurnManager(const BurnManager&) = delete;
  BurnManager& operator=(const BurnManager&) = delete;

  // --- the track's preparation (job thread) ---
  bool PrepareDataTrack(const std::string& layoutPath, uint32_t session, uint32_t track, Recorder& drive,
                        const std::string& workspacePath);
  bool PrepareImageTrack(uint32_t session, uint32_t track, Drive& source, Recorder& drive);
  void SetTestWrite(bool testWrite) { testWrite_ = testWrite; }
  // The host's session choices for the next tracks: the session stays open
  // for another one (CD), the tray opens at the end of a session.
  void SetSessionOptions(bool leaveSessionOpen, bool ejectAfterWrite);

  // --- the medium (job thread; media_preparation.cpp) ---
  // 0, or -700 (not ready), -701 (preparation refused), -702 (medium not
  // written by this library).
  int32_t BurnBegin();
  // Joins the track's threads, flushes, closes what the medium needs
  // closed, ejects or reloads at the end of a session. Returns 0.
  int32_t BurnEnd();

  // --- the track's threads ---
  void StartThreads();
  bool IsTrackDone() const;
  // Looks every kJobPollMs (nominal) until the track is done, and is woken
  // as soon as it is.
  void WaitForTrack();
  // Stops the running track: its threads end at their next look.
  void Stop();
  // Waits until every thread of the track has ended. The threads end by
  // themselves once the track is written or stopped.
  void JoinThreads();

  // --- what the host watches (any thread) ---
  // Percentage of the track's blocks written; 0 when no track is written.
  int64_t Progress() const;
  std::string CurrentFileName() const;
  // What the last data track sent to a drive held, sector by sector.
  const TrackDigest& Digest() const { return digest_; }

  // The address the medium's preparation will start writing at: the next
  // writable address on CD (0 when the query fails), 0 on every DVD.
  static uint32_t TrackStartAddress(Recorder& drive);

  const OutputSettings& Output() const { return output_; }
  uint32_t SectorsPerWrite() const { return sectorsPerWrite_; }

 private:
  bool PrepareTrack(uint32_t session, uint32_t track, Recorder& drive, uint32_t startAddress);
  void SetCurrentFileName(const std::string& name);

  // The threads' bodies (streaming.cpp).
  void StarterThread();
  void ReaderThread();
  uint32_t ReadPieceSectors() const;
  // Whether the track's sectors are summed for a later read-back check.
  bool Summed() const;
  void WriterThread();
  bool WriteBlock(uint32_t lba, const uint8_t* buffer, uint32_t length, uint32_t blocks);
  // Waits up to kBusyRetryMs, ending early once the drive's buffer has room
  // for length bytes (when lookAtBuffer); returns the nominal milliseconds
  // waited.
  uint32_t WaitForDriveRoom(uint32_t length, bool lookAtBuffer);
  void AppendToOutputFile(const uint8_t* buffer, uint32_t length);

  // The per-medium steps (media_preparation.cpp).
  int32_t BurnBeginCdrw();
  int32_t BurnBeginDvdMinusRw();
  int32_t BurnBeginDvdPlusRw();
  int32_t BurnBeginDvdRam();
  int32_t SetParametersOrFail(uint8_t writeType, const WriteSettings& settings, const char* logText, int16_t line);
  uint16_t OpenTrackNumber();
  void FinishSession();
  bool WaitWhileBusy(bool readDiscInformation, uint32_t periodMs);

  const OutputSettings output_;
  TrackSource source_;
  RingBuffer ring_;
  Recorder* drive_ = nullptr;
  std::string layoutPath_;
  uint32_t session_ = 0;
  uint32_t track_ = 0;
  uint32_t startAddress_ = 0;
  uint32_t profile_ = 0;
  uint32_t sectorSize_ = 2048;
  uint32_t sectorsPerWrite_ = 32;
  std::atomic<bool> testWrite_{false};
  std::atomic<bool> leaveSessionOpen_{false};
  std::atomic<bool> ejectAfterWrite_{true};
  std::atomic<bool> stopRequested_{false};
  std::atomic<uint32_t> trackBlocks_{0};
  std::atomic<uint32_t> blocksWritten_{0};
  // Told when the track is done: the writer has ended, or a stop came.
  platform::WakeSignal trackChanged_;
  TrackDigest digest_;
  // The sum of each 2048-byte sector in the ring, at the ring's sector
  // index: the reader sums a sector while it is still in its cache, the
  // writer hands the sums of what it sent to the digest. A slot changes
  // hands with its sector's bytes, through the ring's positions.
  std::vector<uint64_t> ringSums_;

  mutable std::mutex nameMutex_;
  std::string currentFileName_ = kProcessingName;

  // The starter sets reader_ and writer_; only the job's thread joins, the
  // starter first, so they are settled by then.
  std::thread starter_;
  std::thread reader_;
  std::thread writer_;
};

}  // namespace dorvik
