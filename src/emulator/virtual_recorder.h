#pragma once
// The software recorder: a ScsiDevice that answers CDBs the way an MMC-5
// CD/DVD recorder does, over a disc file (sector n at byte n * 2048, sparse
// where nothing was written) and a state file beside it (PATH + ".state").
// It is written from how drives behave, not from how this library's drive
// layer expects them to, so it can catch the library's mistakes.
//
// Commands run one at a time under a mutex. Slow operations take their
// nominal time (scaled by DORVIK_TIME_SCALE): started with the Immed bit
// they leave the drive busy for it, without it the command takes it, and
// one that outlasts the timeout the host passed fails as a transport
// reports a timeout while the drive carries on. Audio blocks (2352 bytes)
// live in a second file beside the disc file (PATH + ".audio").
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "emulator/disc.h"
#include "emulator/fault_script.h"
#include "emulator/recorder_options.h"
#include "emulator/write_parameters.h"
#include "platform/large_file.h"
#include "transport/scsi_device.h"

namespace dorvik::emulator {

// One command as the recorder received it, and how it answered.
struct LoggedCommand {
  std::vector<uint8_t> cdb;
  Direction direction = DirNone;
  uint32_t length = 0;
  uint8_t status = 0;  // 0 GOOD, 2 CHECK CONDITION, kTransportFailure
  Sense sense;
};

// The status a command gets when the host's transport gave up on it (its
// timeout passed): no SCSI status and no sense, as SG_IO reports a timeout.
inline constexpr uint8_t kTransportFailure = 0xFF;

class VirtualRecorder final : public ScsiDevice {
 public:
  // Opens (or, when the file does not exist, creates as a new blank medium
  // of the named kind; empty: "cd-r") the disc at path. An existing file
  // without a state file is a pressed CD-ROM, or DVD-ROM when it is larger
  // than a CD, holding that image as one complete session. Null with a
  // reason when the files cannot be used.
  static std::unique_ptr<VirtualRecorder> Open(const std::string& path, const std::string& medium,
                                               const RecorderOptions& options, std::string* error);
  ~VirtualRecorder() override;

  bool Send(const uint8_t* cdb, uint8_t cdbLength, void* data, uint32_t dataLength, Direction direction,
            uint32_t timeoutMs, DeviceReply& reply) override;
  std::string Describe() const override { return path_; }

  // For tests and hosts that drive the recorder directly.
  void AddFault(const Fault& fault);
  std::vector<LoggedCommand> CommandLog() const;
  // Takes the disc out (the tray stays closed and empty) or puts it back.
  void SetMediumPresent(bool present);
  bool TrayOpen() const;
  uint16_t CurrentProfile() const;  // 0 with no usable medium
  // With write speed emulated: how often the drive's buffer ran empty
  // between two writes of a track (from its first WRITE(10) to the
  // SYNCHRONIZE CACHE or close that ends it). Counted only at a time scale
  // above 0, where emulated time passes.
  uint64_t Underruns() const;

  static constexpr size_t kCommandLogLimit = 1u << 16;

 private:
  VirtualRecorder(std::string path, RecorderOptions options, Disc disc, platform::LargeFile file, bool readOnly);

  // What keeps the drive busy after an Immed command, or outlasts a timeout.
  enum class BusyWith : uint8_t { Nothing, Blanking, Formatting, Closing, Flushing };

  struct Reply {
    Sense sense;
    uint32_t transferred = 0;
    // A command without Immed that takes time: how long (scaled µs), and
    // what the drive is busy with when the host stops waiting first.
    uint64_t durationUs = 0;
    BusyWith busyWith = BusyWith::Nothing;
    bool transportFailure = false;
  };
  Reply Execute(const uint8_t* cdb, uint8_t* data, uint32_t dataLength, Direction direction);

  // Commands.
  Reply TestUnitReady();
  Reply RequestSense(const uint8_t* cdb, uint8_t* data, uint32_t length);
  Reply Inquiry(const uint8_t* cdb, uint8_t* data, uint32_t length);
  Reply StartStopUnit(const uint8_t* cdb);
  Reply PreventAllow(const uint8_t* cdb);
  Reply ReadCapacity(uint8_t* data, uint32_t length);
  Reply ModeSense(const uint8_t* cdb, uint8_t* data, uint32_t length);
  Reply ModeSelect(const uint8_t* cdb, const uint8_t* data, uint32_t length);
  Reply GetConfiguration(const uint8_t* cdb, uint8_t* data, uint32_t length);
  Reply ReadDiscInformation(const uint8_t* cdb, uint8_t* data, uint32_t length);
  Reply ReadTrackInformation(const uint8_t* cdb, uint8_t* data, uint32_t length);
  Reply ReadToc(const uint8_t* cdb, uint8_t* data, uint32_t length);
  Reply Read10(const uint8_t* cdb, uint8_t* data, uint32_t length);
  Reply ReadCd(const uint8_t* cdb, uint8_t* data, uint32_t length);
  Reply Write10(const uint8_t* cdb, const uint8_t* data, uint32_t length);
  Reply ReserveTrack(const uint8_t* cdb);
  Reply SynchronizeCache(const uint8_t* cdb);
  Reply CloseTrackSession(const uint8_t* cdb);
  Reply Blank(const uint8_t* cdb);
  Reply FormatUnit(const uint8_t* cdb, const uint8_t* data, uint32_t length);
  Reply SetCdSpeed(const uint8_t* cdb);
  Reply ReadBufferCapacity(const uint8_t* cdb, uint8_t* data, uint32_t length);
  // With write speed emulated: how long the drive takes to write one block
  // out of its buffer (scaled µs; 0 at time scale 0).
  double EmulatedBlockMicroseconds(bool cd) const;

  // Helpers; all run with mutex_ held.
  const Disc* UsableDisc() const;  // loaded and readable by this drive model
  std::optional<Sense> MediumMissing() const;
  std::optional<Sense> BusySense() const;
  std::optional<Sense> NotReady() const;     // no usable medium, or busy
  // NotReady as READ DISC/TRACK INFORMATION see it (ready-while-closing).
  std::optional<Sense> NotReadyForQuery() const;
  std::optional<Sense> NotWritable() const;  // NotReady, a pressed disc, or a read-only file
  void StartBusy(uint32_t nominalMs, BusyWith what);
  void StartBusyMicroseconds(uint64_t scaledUs, BusyWith what);
  // Sleeps the command's duration, or up to the host's timeout.
  void TakeTime(Reply& r, uint32_t timeoutMs);
  // The drive stops streaming a track (flush, close, medium gone).
  void EndStreaming();
  void ApplyFaultEffect(const Fault& fault, const uint8_t* cdb, uint8_t cdbLength);
  // The track mode a write under page 5 records: the page's on CD, 5
  // (incremental) on sequential DVD, 4 elsewhere.
  uint8_t TrackModeFor(const WriteParameters& wp) const;
  DriveView View() const;
  std::vector<uint16_t> WriteSpeedsKbs() const;
  uint16_t EffectiveWriteSpeed() const;
  uint16_t EffectiveReadSpeed() const;
  bool Simulating() const;
  // The disc a recording command changes: the real one, or during a test
  // write a copy that is never saved and ends with the simulated session.
  Disc& Target();
  // What READ DISC/TRACK INFORMATION describe: the simulated recording
  // while one runs.
  const Disc& Shown() const;
  void EndSimulationWhenClosed();
  void ReadSectors(uint32_t lba, uint32_t count, uint8_t* out);
  void WriteSectors(uint32_t lba, uint32_t count, const uint8_t* in);
  void ReadAudio(uint32_t lba, uint32_t count, uint8_t* out);
  void WriteAudio(uint32_t lba, uint32_t count, const uint8_t* in);
  bool AudioAt(uint32_t lba) const;  // inside a recorded audio track
  void EraseSectors();
  void SaveState();
  void Log(const uint8_t* cdb, uint8_t cdbLength, Direction direction, uint32_t length, uint8_t status,
           const Sense& sense);

  const std::string path_;
  const std::string statePath_;
  const std::string audioPath_;
  const RecorderOptions options_;
  mutable std::mutex mutex_;
  Disc disc_;
  platform::LargeFile file_;
  platform::LargeFile audio_;  // opened when first needed
  bool readOnly_;
  bool mediumPresent_ = true;
  bool trayOpen_ = false;
  bool prevented_ = false;
  bool stateDirty_ = false;  // saved after the command that set it
  // The open track grew since the state was saved; the disc file's length
  // shows how far, and the state catches up when the recorder closes.
  bool trackGrown_ = false;
  WriteParametersPage writeParameters_;
  uint16_t requestedReadSpeed_ = 0xFFFF;
  uint16_t requestedWriteSpeed_ = 0xFFFF;
  // Busy until this steady-clock time (µs) with busyWith_.
  uint64_t busyStartUs_ = 0;
  uint64_t busyUntilUs_ = 0;
  BusyWith busyWith_ = BusyWith::Nothing;
  // Blocks written since the last flush: the flush has work to do.
  bool cacheDirty_ = false;
  // Emulated write speed: when the drive's buffer will have drained (µs),
  // whether a track is streaming, and how often its buffer ran dry.
  uint64_t writeDrainedUs_ = 0;
  bool streaming_ = false;
  uint64_t underruns_ = 0;
  std::optional<Disc> simulation_;
  Sense lastSense_;
  FaultScript faults_;
  std::deque<LoggedCommand> log_;
};

}  // namespace dorvik::emulator
