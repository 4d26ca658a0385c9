#include "emulator/virtual_recorder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

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
      disc->ResumeOpenTrack(info.size / 2048);
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
                           Direction direction, uint32_t, DeviceReply& reply) {
  if (!cdb || cdbLength == 0 || cdbLength > 16) return false;
  std::lock_guard lock(mutex_);
  if (!data) dataLength = 0;
  Reply r;
  if (auto fault = faults_.Next(cdb, cdbLength)) {
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
  Log(cdb, cdbLength, direction, dataLength, r.sense);
  reply = DeviceReply{};
  if (!r.sense.Good()) {
    reply.status = 2;
    const auto sense = FixedFormatSense(r.sense);
    std::copy(sense.begin(), sense.end(), reply.sense);
  }
  if (cdb[0] != 0x03) lastSense_ = r.sense;
  if (stateDirty_) SaveState();
  return true;
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
    case FaultEffect::None: break;
    case FaultEffect::Remove:
      mediumPresent_ = false;
      simulatedNwa_.reset();
      break;
    case FaultEffect::Damage: {
      // Only a write can damage a track, and a simulated one burns nothing.
      if (cdb[0] != 0x2A || cdbLength < 10 || NotWritable()) break;
      const WriteParameters wp = WriteParameters::From(writeParameters_.data());
      if (wp.Simulated(disc_)) break;
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
  Sense s = busySense_;
  const uint64_t span = std::max<uint64_t>(busyUntilUs_ - busyStartUs_, 1);
  s.progress = static_cast<uint16_t>(std::min<uint64_t>((now - busyStartUs_) * 65536 / span, 65535));
  s.hasProgress = true;
  return s;
}

std::optional<Sense> VirtualRecorder::NotReady() const {
  if (auto missing = MediumMissing()) return missing;
  return BusySense();
}

std::optional<Sense> VirtualRecorder::NotWritable() const {
  if (auto s = NotReady()) return s;
  if (disc_.Traits().recording == Recording::Pressed) return sense::CannotWriteIncompatibleFormat();
  if (readOnly_) return sense::WriteProtected();
  return std::nullopt;
}

void VirtualRecorder::StartBusy(uint32_t nominalMs, Sense sense) {
  busyStartUs_ = SteadyMicroseconds();
  busyUntilUs_ = busyStartUs_ + platform::ScaledMicroseconds(nominalMs);
  busySense_ = sense;
}

std::vector<uint16_t> VirtualRecorder::WriteSpeedsKbs() const {
  std::vector<uint16_t> out;
  if (options_.model == DriveModel::DvdReader) return out;
  const Disc* disc = UsableDisc();
  const MediumTraits& t = disc ? disc->Traits() : TraitsOf(MediumKind::CdR);
  if (disc && !ModelWrites(options_.model, disc->Kind())) return out;
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

void VirtualRecorder::ReadSectors(uint32_t lba, uint32_t count, uint8_t* out) {
  const size_t bytes = static_cast<size_t>(count) * 2048;
  file_.Seek(static_cast<int64_t>(lba) * 2048);
  const size_t got = file_.Read(out, bytes);
  if (got < bytes) std::memset(out + got, 0, bytes - got);  // never written: sparse zeros
}

void VirtualRecorder::WriteSectors(uint32_t lba, uint32_t count, const uint8_t* in) {
  const uint64_t offset = static_cast<uint64_t>(lba) * 2048;
  const size_t bytes = static_cast<size_t>(count) * 2048;
  // Zeros past the end of the file stay a hole: erasing a DVD+RW by
  // overwriting it must not fill the disk with a third of a disc of zeros.
  if (offset >= file_.Length() && std::all_of(in, in + bytes, [](uint8_t b) { return b == 0; })) {
    file_.SetLength(offset + bytes);
    return;
  }
  file_.Seek(static_cast<int64_t>(offset));
  file_.Write(in, bytes);
}

void VirtualRecorder::EraseSectors() {
  if (!readOnly_) file_.SetLength(0);
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
                          const Sense& sense) {
  LoggedCommand c;
  c.cdb.assign(cdb, cdb + cdbLength);
  c.direction = direction;
  c.length = length;
  c.status = sense.Good() ? 0 : 2;
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
}

bool VirtualRecorder::TrayOpen() const {
  std::lock_guard lock(mutex_);
  return trayOpen_;
}

uint16_t VirtualRecorder::CurrentProfile() const {
  std::lock_guard lock(mutex_);
  const Disc* d = UsableDisc();
  return d ? d->Traits().profile : 0;
}

}  // namespace dorvik::emulator
