#include "emulator/virtual_recorder.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include "emulator/bytes.h"
#include "emulator/steady_clock.h"
#include "emulator/disc_state_file.h"
#include "platform/files.h"
#include "platform/sleep.h"

namespace dorvik::emulator {

namespace {

// The CDB length of each command group.
uint8_t CdbLengthOf(uint8_t opcode) {
  switch (opcode >> 5) {
    case 0: return 6;
    case 1:
    case 2: return 10;
    case 4: return 16;
    case 5: return 12;
    default: return 6;
  }
}

}  // namespace

std::unique_ptr<VirtualRecorder> VirtualRecorder::Open(const std::string& path, const std::string& medium,
                                                       const RecorderOptions& options, std::string* error) {
  auto fail = [&](const std::string& why) -> std::unique_ptr<VirtualRecorder> {
    if (error) *error = why;
    return nullptr;
  };
  if (path.empty()) return fail("no disc file named");
  const std::string statePath = StateFilePath(path);
  const platform::PathInfo info = platform::Stat(path);
  if (info.exists && info.isDirectory) return fail("disc file " + path + " is a folder");
  try {
    std::optional<Disc> disc;
    if (platform::PathExists(statePath)) {
      if (!info.exists) return fail("disc file " + path + " is missing beside its state file");
      std::string why;
      disc = LoadDiscState(statePath, &why);
      if (!disc) return fail(why);
      // The files' lengths tell how far an open track got.
      const platform::PathInfo audio = platform::Stat(AudioFilePath(path));
      disc->ResumeOpenTrack(disc->OpenTrackAudio() ? (audio.exists ? audio.size / kAudioBlockSize : 0)
                                                   : info.size / 2048);
    } else if (info.exists && info.size > 0) {
      // Any image without a state is a pressed disc holding it.
      const uint64_t blocks = (info.size + 2047) / 2048;
      if (blocks > 0xFFFFFFF0ull) return fail("image " + path + " is too large for a disc");
      MediumKind kind = blocks <= kCdCapacity ? MediumKind::CdRom : MediumKind::DvdRom;
      if (medium == "dvd-rom") kind = MediumKind::DvdRom;
      else if (medium == "cd-rom") kind = MediumKind::CdRom;
      disc = Disc::Pressed(kind, static_cast<uint32_t>(blocks));
    } else {
      const auto kind = MediumByName(medium.empty() ? "cd-r" : medium);
      if (!kind) return fail("unknown medium \"" + medium + "\"");
      if (TraitsOf(*kind).recording == Recording::Pressed)
        return fail("a pressed " + medium + " needs an existing image file");
      disc = Disc::Blank(*kind, options.capacity.value_or(TraitsOf(*kind).capacity));
      platform::LargeFile(path, platform::LargeFile::Mode::Create);
      SaveDiscState(statePath, *disc);
    }
    platform::LargeFile file;
    bool readOnly = disc->Traits().recording == Recording::Pressed;
    if (!readOnly) {
      try {
        file.Open(path, platform::LargeFile::Mode::ReadWrite);
      } catch (const platform::FileError& e) {
        if (e.Code() != EACCES && e.Code() != EROFS && e.Code() != EPERM) throw;
        readOnly = true;
      }
    }
    if (readOnly) file.Open(path, platform::LargeFile::Mode::Read);
    return std::unique_ptr<VirtualRecorder>(new VirtualRecorder(path, options, std::move(*disc), std::move(file), readOnly));
  } catch (const platform::FileError& e) {
    return fail(e.what());
  }
}

VirtualRecorder::VirtualRecorder(std::string path, RecorderOptions options, Disc disc, platform::LargeFile file,
                                 bool readOnly)
    : path_(std::move(path)),
      statePath_(StateFilePath(path_)),
      audioPath_(AudioFilePath(path_)),
      options_(std::move(options)),
      disc_(std::move(disc)),
      file_(std::move(file)),
      readOnly_(readOnly),
      writeParameters_(DefaultWriteParameters()) {}

VirtualRecorder::~VirtualRecorder() {
  std::lock_guard lock(mutex_);
  if (stateDirty_ || trackGrown_) SaveState();
}

bool VirtualRecorder::Send(const uint8_t* cdb, uint8_t cdbLength, void* data, uint32_t dataLength,
                           Direction direction, uint32_t timeoutMs, DeviceReply& reply) {
  if (!cdb || cdbLength == 0 || cdbLength > 16) return false;
  std::lock_guard lock(mutex_);
  if (!data) dataLength = 0;
  Reply r;
  auto fault = faults_.Next(cdb, cdbLength);
  std::vector<uint8_t> altered;
  if (fault && fault->effect == FaultEffect::Corrupt) {
    // The command runs as usual on a copy of its data with one byte wrong.
    if ((direction & 0xFF) == DirOut && dataLength > 0) {
      const auto* bytes = static_cast<const uint8_t*>(data);
      altered.assign(bytes, bytes + dataLength);
      altered[0] = static_cast<uint8_t>(~altered[0]);
      data = altered.data();
    }
    fault.reset();
  }
  if (fault) {
    r.sense = fault->sense;
    ApplyFaultEffect(*fault, cdb, cdbLength);
  } else if (cdbLength < CdbLengthOf(cdb[0])) {
    r.sense = sense::InvalidFieldInCdb();
  } else {
    try {
      r = Execute(cdb, static_cast<uint8_t*>(data), dataLength, direction);
    } catch (const platform::FileError&) {
      // The disc file failed under us: the medium is unreadable or unwritable.
      r.sense = cdb[0] == 0x2A ? sense::WriteError() : sense::UnrecoveredReadError();
    } catch (const std::bad_alloc&) {
      r.sense = Sense::Of(0x04, 0x44, 0x00);  // internal target failure
    }
  }
  if (stateDirty_) SaveState();
  TakeTime(r, timeoutMs);
  reply = DeviceReply{};
  if (r.transportFailure) {
    reply.status = kTransportFailure;
  } else if (!r.sense.Good()) {
    reply.status = 2;
    const auto sense = FixedFormatSense(r.sense);
    std::copy(sense.begin(), sense.end(), reply.sense);
  }
  Log(cdb, cdbLength, direction, dataLength, reply.status, r.sense);
  if (cdb[0] != 0x03) lastSense_ = r.sense;
  return true;
}

void VirtualRecorder::TakeTime(Reply& r, uint32_t timeoutMs) {
  if (r.durationUs == 0) return;
  // 0 and 0xFFFFFFFF: the host sets no limit.
  const bool limited = timeoutMs != 0 && timeoutMs != 0xFFFFFFFFu;
  const uint64_t limitUs = limited ? platform::ScaledMicroseconds(timeoutMs) : UINT64_MAX;
  if (r.durationUs <= limitUs) {
    std::this_thread::sleep_for(std::chrono::microseconds(r.durationUs));
    return;
  }
  // The host's transport gives up; the drive goes on with what it started.
  std::this_thread::sleep_for(std::chrono::microseconds(limitUs));
  StartBusyMicroseconds(r.durationUs - limitUs, r.busyWith);
  r.transportFailure = true;
}

VirtualRecorder::Reply VirtualRecorder::Execute(const uint8_t* cdb, uint8_t* data, uint32_t length, Direction direction) {
  const uint8_t op = cdb[0];
  const bool writer = options_.model != DriveModel::DvdReader;
  uint8_t* in = direction == DirIn ? data : nullptr;
  const uint32_t inLength = direction == DirIn ? length : 0;
  const uint8_t* out = direction == DirOut ? data : nullptr;
  const uint32_t outLength = direction == DirOut ? length : 0;
  switch (op) {
    case 0x00: return TestUnitReady();
    case 0x03: return RequestSense(cdb, in, inLength);
    case 0x12: return Inquiry(cdb, in, inLength);
    case 0x1B: return StartStopUnit(cdb);
    case 0x1E: return PreventAllow(cdb);
    case 0x25: return ReadCapacity(in, inLength);
    case 0x28: return Read10(cdb, in, inLength);
    case 0x35: return SynchronizeCache(cdb);
    case 0x43: return ReadToc(cdb, in, inLength);
    case 0x46: return GetConfiguration(cdb, in, inLength);
    case 0x51: return ReadDiscInformation(cdb, in, inLength);
    case 0x52: return ReadTrackInformation(cdb, in, inLength);
    case 0x55: return ModeSelect(cdb, out, outLength);
    case 0x5A: return ModeSense(cdb, in, inLength);
    case 0xBB: return SetCdSpeed(cdb);
    case 0xBE: return ReadCd(cdb, in, inLength);
    default: break;
  }
  if (writer) {
    switch (op) {
      case 0x04: return FormatUnit(cdb, out, outLength);
      case 0x2A: return Write10(cdb, out, outLength);
      case 0x53: return ReserveTrack(cdb);
      case 0x5C: return ReadBufferCapacity(cdb, in, inLength);
      case 0x5B: return CloseTrackSession(cdb);
      case 0xA1: return Blank(cdb);
      default: break;
    }
  }
  return {sense::InvalidOpcode()};
}

// ---- state helpers ---------------------------------------------------------

void VirtualRecorder::ApplyFaultEffect(const Fault& fault, const uint8_t* cdb, uint8_t cdbLength) {
  switch (fault.effect) {
    case FaultEffect::None:
    case FaultEffect::Corrupt:  // taken care of before the command runs
      break;
    case FaultEffect::Remove:
      mediumPresent_ = false;
      simulation_.reset();
      EndStreaming();
      break;
    case FaultEffect::Damage: {
      // Only a write can damage a track, and a simulated one burns nothing.
      if (cdb[0] != 0x2A || cdbLength < 10 || NotWritable()) break;
      const WriteParameters wp = WriteParameters::From(writeParameters_.data());
      if (wp.Simulated(disc_)) break;
      EndStreaming();
      if (disc_.Damage(Get32(cdb + 2), TrackModeFor(wp))) stateDirty_ = true;
      break;
    }
  }
}

uint8_t VirtualRecorder::TrackModeFor(const WriteParameters& wp) const {
  if (disc_.Traits().cd) return wp.trackMode;
  return disc_.Traits().recording == Recording::Sequential ? 5 : 4;
}

const Disc* VirtualRecorder::UsableDisc() const {
  if (trayOpen_ || !mediumPresent_) return nullptr;
  if (!ModelSupports(options_.model, disc_.Kind())) return nullptr;
  return &disc_;
}

std::optional<Sense> VirtualRecorder::MediumMissing() const {
  if (trayOpen_) return sense::NoMediumTrayOpen();
  if (!mediumPresent_) return sense::NoMediumTrayClosed();
  if (!ModelSupports(options_.model, disc_.Kind())) return sense::IncompatibleMediumInstalled();
  return std::nullopt;
}

std::optional<Sense> VirtualRecorder::BusySense() const {
  const uint64_t now = SteadyMicroseconds();
  if (now >= busyUntilUs_) return std::nullopt;
  Sense s;
  switch (busyWith_) {
    case BusyWith::Formatting: s = sense::FormatInProgress(); break;
    case BusyWith::Flushing: s = sense::LongWriteInProgress(); break;
    default: s = sense::OperationInProgress(); break;
  }
  const uint64_t span = std::max<uint64_t>(busyUntilUs_ - busyStartUs_, 1);
  s.progress = static_cast<uint16_t>(std::min<uint64_t>((now - busyStartUs_) * 65536 / span, 65535));
  s.hasProgress = true;
  return s;
}

std::optional<Sense> VirtualRecorder::NotReady() const {
  if (auto missing = MediumMissing()) return missing;
  return BusySense();
}

std::optional<Sense> VirtualRecorder::NotReadyForQuery() const {
  if (auto missing = MediumMissing()) return missing;
  auto busy = BusySense();
  // Drives that report ready while closing still refuse to describe the
  // disc until they are done.
  if (busy && options_.readyWhileClosing && (busyWith_ == BusyWith::Closing || busyWith_ == BusyWith::Flushing)) {
    busy->asc = 0x04;
    busy->ascq = 0x07;
  }
  return busy;
}

std::optional<Sense> VirtualRecorder::NotWritable() const {
  if (auto s = NotReady()) return s;
  if (disc_.Traits().recording == Recording::Pressed) return sense::CannotWriteIncompatibleFormat();
  if (readOnly_) return sense::WriteProtected();
  return std::nullopt;
}

void VirtualRecorder::StartBusy(uint32_t nominalMs, BusyWith what) {
  StartBusyMicroseconds(platform::ScaledMicroseconds(nominalMs), what);
}

void VirtualRecorder::StartBusyMicroseconds(uint64_t scaledUs, BusyWith what) {
  busyStartUs_ = SteadyMicroseconds();
  busyUntilUs_ = busyStartUs_ + scaledUs;
  busyWith_ = what;
}

void VirtualRecorder::EndStreaming() { streaming_ = false; }

bool VirtualRecorder::Simulating() const {
  return WriteParameters::From(writeParameters_.data()).Simulated(disc_);
}

Disc& VirtualRecorder::Target() {
  if (!Simulating()) return disc_;
  if (!simulation_) simulation_ = disc_;
  return *simulation_;
}

const Disc& VirtualRecorder::Shown() const { return simulation_ ? *simulation_ : disc_; }

void VirtualRecorder::EndSimulationWhenClosed() {
  // A simulated recording ends with its session: the disc is as it was.
  if (simulation_ && (simulation_->ClosedSessions() != disc_.ClosedSessions() ||
                      simulation_->Finalized() != disc_.Finalized()))
    simulation_.reset();
}

std::vector<uint16_t> VirtualRecorder::WriteSpeedsKbs() const {
  std::vector<uint16_t> out;
  if (options_.model == DriveModel::DvdReader) return out;
  const Disc* disc = UsableDisc();
  const MediumTraits& t = disc ? disc->Traits() : TraitsOf(MediumKind::CdR);
  if (disc && !ModelWrites(options_.model, disc->Kind())) return out;
  if (options_.topWriteSpeeds) {
    if (t.kind == MediumKind::CdR) out.push_back(static_cast<uint16_t>(52 * t.speedUnit));
    if (t.kind == MediumKind::DvdR || t.kind == MediumKind::DvdPlusR)
      out.push_back(static_cast<uint16_t>(24 * t.speedUnit));
  }
  for (uint16_t x : t.writeSpeeds) out.push_back(static_cast<uint16_t>(x * t.speedUnit));
  return out;
}

namespace {
uint16_t Pick(const std::vector<uint16_t>& speeds, uint16_t requested) {
  if (speeds.empty()) return 0;
  if (requested == 0xFFFF) return speeds.front();
  for (uint16_t s : speeds)
    if (s <= requested) return s;
  return speeds.back();
}
}  // namespace

uint16_t VirtualRecorder::EffectiveWriteSpeed() const { return Pick(WriteSpeedsKbs(), requestedWriteSpeed_); }

uint16_t VirtualRecorder::EffectiveReadSpeed() const {
  const Disc* disc = UsableDisc();
  const MediumTraits& t = disc ? disc->Traits() : TraitsOf(MediumKind::CdRom);
  std::vector<uint16_t> speeds;
  for (uint16_t x : {48, 40, 32, 24, 16, 12, 10, 8, 6, 5, 4, 2, 1})
    if (x <= t.maxReadSpeed) speeds.push_back(static_cast<uint16_t>(x * t.speedUnit));
  return Pick(speeds, requestedReadSpeed_);
}

DriveView VirtualRecorder::View() const {
  DriveView v;
  v.options = &options_;
  v.disc = UsableDisc();
  v.prevented = prevented_;
  v.writeSpeeds = WriteSpeedsKbs();
  v.writeSpeed = EffectiveWriteSpeed();
  v.readSpeed = EffectiveReadSpeed();
  const MediumTraits& t = v.disc ? v.disc->Traits() : TraitsOf(MediumKind::CdRom);
  v.maxReadSpeed = static_cast<uint16_t>(t.maxReadSpeed * t.speedUnit);
  v.writeParameters = &writeParameters_;
  return v;
}

void VirtualRecorder::SaveState() {
  try {
    SaveDiscState(statePath_, disc_);
    stateDirty_ = trackGrown_ = false;
  } catch (const platform::FileError&) {
    // Kept dirty: the next command tries again.
  }
}

void VirtualRecorder::Log(const uint8_t* cdb, uint8_t cdbLength, Direction direction, uint32_t length,
                          uint8_t status, const Sense& sense) {
  LoggedCommand c;
  c.cdb.assign(cdb, cdb + cdbLength);
  c.direction = direction;
  c.length = length;
  c.status = status;
  c.sense = sense;
  log_.push_back(std::move(c));
  if (log_.size() > kCommandLogLimit) log_.pop_front();
}

// ---- test and host API -----------------------------------------------------

void VirtualRecorder::AddFault(const Fault& fault) {
  std::lock_guard lock(mutex_);
  faults_.Add(fault);
}

std::vector<LoggedCommand> VirtualRecorder::CommandLog() const {
  std::lock_guard lock(mutex_);
  return {log_.begin(), log_.end()};
}

void VirtualRecorder::SetMediumPresent(bool present) {
  std::lock_guard lock(mutex_);
  mediumPresent_ = present;
  if (!present) {
    simulation_.reset();
    EndStreaming();
  }
}

bool VirtualRecorder::TrayOpen() const {
  std::lock_guard lock(mutex_);
  return trayOpen_;
}

uint64_t VirtualRecorder::Underruns() const {
  std::lock_guard lock(mutex_);
  return underruns_;
}

uint16_t VirtualRecorder::CurrentProfile() const {
  std::lock_guard lock(mutex_);
  const Disc* d = UsableDisc();
  return d ? d->Traits().profile : 0;
}

}  // namespace dorvik::emulator
