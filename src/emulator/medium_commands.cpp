// The recorder's commands about the medium: what is on it, reading,
// writing, closing, blanking and formatting.
#include <chrono>
#include <cstring>
#include <thread>

#include "emulator/answers.h"
#include "emulator/bytes.h"
#include "emulator/steady_clock.h"
#include "emulator/cd_sector.h"
#include "emulator/virtual_recorder.h"
#include "platform/sleep.h"

namespace dorvik::emulator {

VirtualRecorder::Reply VirtualRecorder::ReadCapacity(uint8_t* data, uint32_t length) {
  if (auto s = NotReady()) return {*s};
  std::vector<uint8_t> answer(8, 0);
  const uint32_t end = disc_.ReadableEnd();
  Put32(answer.data(), end ? end - 1 : 0);
  Put32(answer.data() + 4, 2048);
  return {Sense::None(), CopyAnswer(answer, 8, data, length)};
}

VirtualRecorder::Reply VirtualRecorder::ReadDiscInformation(const uint8_t* cdb, uint8_t* data, uint32_t length) {
  if (cdb[1] & 0x07) return {sense::InvalidFieldInCdb()};  // only standard disc information
  if (auto s = NotReady()) return {*s};
  return {Sense::None(), CopyAnswer(DiscInformationAnswer(disc_), Get16(cdb + 7), data, length)};
}

VirtualRecorder::Reply VirtualRecorder::ReadTrackInformation(const uint8_t* cdb, uint8_t* data, uint32_t length) {
  if (auto s = NotReady()) return {*s};
  // Track FFh names the incomplete track on CD and DVD+R only; elsewhere a
  // host asks for the last track's number.
  const bool ffValid = disc_.Traits().cd || disc_.Kind() == MediumKind::DvdPlusR;
  if ((cdb[1] & 0x03) == 1 && Get32(cdb + 2) == 0xFF && !ffValid) return {sense::InvalidFieldInCdb()};
  Sense why;
  auto answer = TrackInformationAnswer(disc_, cdb[1] & 0x03, Get32(cdb + 2), &why);
  if (!answer) return {why};
  return {Sense::None(), CopyAnswer(*answer, Get16(cdb + 7), data, length)};
}

VirtualRecorder::Reply VirtualRecorder::ReadToc(const uint8_t* cdb, uint8_t* data, uint32_t length) {
  if (auto s = NotReady()) return {*s};
  uint8_t format = cdb[2] & 0x0F;
  if (format == 0 && (cdb[9] >> 6)) format = cdb[9] >> 6;  // the older place of the format field
  std::vector<uint8_t> answer;
  Sense s = TocAnswer(disc_, format, (cdb[1] & 0x02) != 0, cdb[6], answer);
  if (!s.Good()) return {s};
  return {Sense::None(), CopyAnswer(answer, Get16(cdb + 7), data, length)};
}

VirtualRecorder::Reply VirtualRecorder::Read10(const uint8_t* cdb, uint8_t* data, uint32_t length) {
  if (auto s = NotReady()) return {*s};
  const uint32_t lba = Get32(cdb + 2);
  const uint32_t count = Get16(cdb + 7);
  if (count == 0) return {};
  uint32_t bad = 0;
  if (!disc_.Readable(lba, count, &bad)) return {sense::LbaOutOfRange().WithInformation(bad)};
  const uint32_t whole = std::min<uint32_t>(count, data ? length / 2048 : 0);
  if (whole) ReadSectors(lba, whole, data);
  uint32_t transferred = whole * 2048;
  if (data && whole < count && length > transferred) {
    // A buffer that ends inside a block gets that block's head.
    std::vector<uint8_t> block(2048);
    ReadSectors(lba + whole, 1, block.data());
    std::memcpy(data + transferred, block.data(), length - transferred);
    transferred = length;
  }
  return {Sense::None(), transferred};
}

VirtualRecorder::Reply VirtualRecorder::ReadCd(const uint8_t* cdb, uint8_t* data, uint32_t length) {
  if (auto s = NotReady()) return {*s};
  if (cdb[1] & 0x01) return {sense::InvalidFieldInCdb()};  // relative addressing is obsolete
  const uint8_t sectorType = (cdb[1] >> 2) & 0x07;
  const uint8_t flags = cdb[9];
  const bool sync = flags & 0x80;
  const uint8_t headers = (flags >> 5) & 0x03;
  const bool user = flags & 0x10;
  const bool edc = flags & 0x08;
  const uint8_t c2 = (flags >> 1) & 0x03;
  if (sectorType > 5 || c2 == 3 || (cdb[10] & 0x07) != 0) return {sense::InvalidFieldInCdb()};
  // Combinations a drive refuses: sync without the header, EDC/ECC without
  // the user data it protects.
  if ((sync && !(headers & 1)) || (edc && !user)) return {sense::InvalidFieldInCdb()};
  if (!disc_.Traits().cd) return {sense::IllegalModeForThisTrack()};
  // Every recorded sector is Mode 1 data.
  if (sectorType != 0 && sectorType != 2) return {sense::IllegalModeForThisTrack()};
  const uint32_t lba = Get32(cdb + 2);
  const uint32_t count = Get24(cdb + 6);
  if (count == 0) return {};
  uint32_t bad = 0;
  if (!disc_.Readable(lba, count, &bad)) return {sense::LbaOutOfRange().WithInformation(bad)};
  const uint32_t perSector = (sync ? 12 : 0) + ((headers & 1) ? 4 : 0) + (user ? 2048 : 0) + (edc ? 288 : 0) +
                             (c2 == 1 ? 294 : c2 == 2 ? 296 : 0);
  if (!data || perSector == 0) return {};
  std::vector<uint8_t> userData(2048), raw(kRawSectorSize);
  uint32_t transferred = 0;
  for (uint32_t i = 0; i < count && transferred < length; ++i) {
    ReadSectors(lba + i, 1, userData.data());
    EncodeMode1Sector(lba + i, userData.data(), raw.data());
    std::vector<uint8_t> sector;
    sector.reserve(perSector);
    if (sync) sector.insert(sector.end(), raw.begin(), raw.begin() + 12);
    if (headers & 1) sector.insert(sector.end(), raw.begin() + 12, raw.begin() + 16);
    if (user) sector.insert(sector.end(), raw.begin() + 16, raw.begin() + 2064);
    if (edc) sector.insert(sector.end(), raw.begin() + 2064, raw.end());
    sector.resize(perSector, 0);  // C2 pointers: no errors
    const uint32_t n = std::min<uint32_t>(perSector, length - transferred);
    std::memcpy(data + transferred, sector.data(), n);
    transferred += n;
  }
  return {Sense::None(), transferred};
}

VirtualRecorder::Reply VirtualRecorder::Write10(const uint8_t* cdb, const uint8_t* data, uint32_t length) {
  if (auto s = NotWritable()) return {*s};
  const uint32_t lba = Get32(cdb + 2);
  const uint32_t count = Get16(cdb + 7);
  if (count == 0) return {};
  if (!data || length < count * 2048u) return {sense::InvalidFieldInCdb()};
  const WriteParameters wp = WriteParameters::From(writeParameters_.data());
  const bool sequential = disc_.Traits().recording == Recording::Sequential;
  const bool cd = disc_.Traits().cd;
  // Session-at-once and raw CD recording need a cue sheet first, which this
  // drive is never sent; packet writing of a CD (the power-on page) is not
  // done by this drive.
  if (cd && (wp.writeType == 2 || wp.writeType == 3)) return {sense::CommandSequenceError()};
  if (cd && wp.writeType == 0) return {sense::IllegalModeForThisTrack()};
  if (cd && wp.writeType == 1 && !options_.trackAtOnce) return {sense::CommandSequenceError()};
  const bool simulate = wp.Simulated(disc_);

  if (simulate && simulatedNwa_) {
    if (lba != *simulatedNwa_) return {sense::InvalidAddressForWrite().WithInformation(lba)};
    if (static_cast<uint64_t>(lba) + count > disc_.Capacity())
      return {sense::LbaOutOfRange().WithInformation(disc_.Capacity())};
  } else {
    Sense s = disc_.CheckWrite(lba, count, wp.DiscAtOnce(disc_), TrackModeFor(wp));
    if (!s.Good()) return {s};
  }

  if (options_.emulateSpeed) {
    // The drive buffer takes the blocks at once and writes them out at the
    // selected speed; a write that does not fit waits in the host.
    const uint32_t speed = std::max<uint32_t>(EffectiveWriteSpeed(), 1);
    const double scale = platform::TimeScale();
    const uint64_t needUs = static_cast<uint64_t>(count * 2048.0 * 1000.0 / speed * scale);
    const uint64_t bufferUs = static_cast<uint64_t>(options_.bufferBlocks * 2048.0 * 1000.0 / speed * scale);
    const uint64_t now = SteadyMicroseconds();
    const uint64_t drained = std::max(writeDrainedUs_, now);
    if (drained > now && drained - now + needUs > bufferUs) return {sense::LongWriteInProgress()};
    writeDrainedUs_ = drained + needUs;
  }

  if (simulate) {
    simulatedNwa_ = lba + count;
    return {};
  }
  WriteSectors(lba, count, data);
  // A write that only lengthens the open track leaves the state file as it
  // is: the disc file's length tells the next Open how far the track got,
  // so streaming a track costs no state rewrite per command.
  if (disc_.RecordWrite(lba, count, TrackModeFor(wp)))
    stateDirty_ = true;
  else if (sequential)
    trackGrown_ = true;
  return {};
}

VirtualRecorder::Reply VirtualRecorder::ReserveTrack(const uint8_t* cdb) {
  if (auto s = NotWritable()) return {*s};
  if (cdb[1] & 0x01) return {sense::InvalidFieldInCdb()};  // address reservation is not offered
  Sense s = disc_.Reserve(Get32(cdb + 5));
  if (s.Good()) stateDirty_ = true;
  return {s};
}

VirtualRecorder::Reply VirtualRecorder::SynchronizeCache(const uint8_t* cdb) {
  if (auto s = NotReady()) return {*s};
  const bool immediate = (cdb[1] & 0x02) != 0;
  const uint64_t now = SteadyMicroseconds();
  const uint64_t pendingUs = writeDrainedUs_ > now ? writeDrainedUs_ - now : 0;
  if (!immediate && pendingUs) {
    // Emulated speed: the flush takes as long as the buffer needs.
    std::this_thread::sleep_for(std::chrono::microseconds(pendingUs));
  }
  const WriteParameters wp = WriteParameters::From(writeParameters_.data());
  if (!wp.Simulated(disc_) && disc_.Flush(wp.DiscAtOnce(disc_), false)) stateDirty_ = true;
  if (immediate) {
    StartBusy(options_.syncCacheMs, sense::LongWriteInProgress());
    busyUntilUs_ += pendingUs;
  }
  return {};
}

VirtualRecorder::Reply VirtualRecorder::CloseTrackSession(const uint8_t* cdb) {
  if (auto s = NotWritable()) return {*s};
  const bool immediate = (cdb[1] & 0x01) != 0;
  const uint8_t function = cdb[2] & 0x07;
  const uint16_t track = Get16(cdb + 4);
  const WriteParameters wp = WriteParameters::From(writeParameters_.data());
  const bool random = disc_.Traits().recording == Recording::Random;
  if (function > 2 && !(disc_.Kind() == MediumKind::DvdPlusR && (function == 5 || function == 6)))
    return {sense::InvalidFieldInCdb()};
  if (function == 0 && !random) return {sense::InvalidFieldInCdb()};
  if (wp.Simulated(disc_)) {
    // The end of a simulated recording: the disc is as it was.
    simulatedNwa_.reset();
    if (function >= 2 && immediate) StartBusy(options_.closeSessionMs, sense::OperationInProgress());
    return {};
  }
  Sense s;
  switch (function) {
    case 0: break;  // stop a background format; it is always finished here
    case 1: s = disc_.CloseTrack(track, wp.DiscAtOnce(disc_)); break;
    case 2:
      s = disc_.CloseSession(disc_.Kind() == MediumKind::DvdPlusR || wp.multiSession == 3);
      break;
    default: s = disc_.Finalize(); break;
  }
  if (!s.Good()) return {s};
  stateDirty_ = true;
  if (function >= 2 && immediate && !random) StartBusy(options_.closeSessionMs, sense::OperationInProgress());
  return {};
}

VirtualRecorder::Reply VirtualRecorder::Blank(const uint8_t* cdb) {
  if (auto s = NotWritable()) return {*s};
  const bool immediate = (cdb[1] & 0x10) != 0;
  const uint8_t type = cdb[1] & 0x07;
  if (type > 1) return {sense::InvalidFieldInCdb()};
  Sense s = disc_.Blank();
  if (!s.Good()) return {s};
  EraseSectors();
  simulatedNwa_.reset();
  stateDirty_ = true;
  if (immediate) StartBusy(type == 0 ? options_.blankFullMs : options_.blankMinimalMs, sense::OperationInProgress());
  return {};
}

VirtualRecorder::Reply VirtualRecorder::FormatUnit(const uint8_t* cdb, const uint8_t* data, uint32_t length) {
  if (auto s = NotWritable()) return {*s};
  if (!(cdb[1] & 0x10) || (cdb[1] & 0x07) != 1) return {sense::InvalidFieldInCdb()};
  if (!data || length < 12) return {sense::ParameterListLengthError()};
  if (Get16(data + 2) != 8) return {sense::ParameterListLengthError()};
  const bool immediate = (data[1] & 0x02) != 0;
  const uint8_t formatType = data[8] >> 2;
  const MediumKind before = disc_.Kind();
  Sense s = disc_.Format(formatType);
  if (!s.Good()) return {s};
  if (before == MediumKind::DvdRwSequential || before == MediumKind::DvdRwRestricted) EraseSectors();
  stateDirty_ = true;
  if (immediate) StartBusy(options_.formatMs, sense::FormatInProgress());
  return {};
}

}  // namespace dorvik::emulator
