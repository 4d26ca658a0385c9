// The recorder's commands that record: writing, reserving, flushing,
// closing, blanking and formatting.
#include <algorithm>
#include <vector>

#include "emulator/bytes.h"
#include "emulator/steady_clock.h"
#include "emulator/virtual_recorder.h"
#include "platform/sleep.h"

namespace dorvik::emulator {

VirtualRecorder::Reply VirtualRecorder::Write10(const uint8_t* cdb, const uint8_t* data, uint32_t length) {
  if (auto s = NotWritable()) return {*s};
  const uint32_t lba = Get32(cdb + 2);
  const uint32_t count = Get16(cdb + 7);
  if (count == 0) return {};
  const WriteParameters wp = WriteParameters::From(writeParameters_.data());
  const bool sequential = disc_.Traits().recording == Recording::Sequential;
  const bool cd = disc_.Traits().cd;
  // Session-at-once and raw CD recording need a cue sheet first, which this
  // drive is never sent; packet writing of a CD (the power-on page) is not
  // done by this drive.
  if (cd && (wp.writeType == 2 || wp.writeType == 3)) return {sense::CommandSequenceError()};
  if (cd && wp.writeType == 0) return {sense::IllegalModeForThisTrack()};
  if (cd && wp.writeType == 1 && !options_.trackAtOnce) return {sense::CommandSequenceError()};
  // The drive takes count blocks of the page's size; a host that sends
  // fewer bytes leaves it waiting for the rest until the transport gives up.
  const uint32_t blockSize = wp.BlockSize(disc_);
  if (!data || length < static_cast<uint64_t>(count) * blockSize) {
    Reply r;
    r.transportFailure = true;
    return r;
  }
  const bool simulate = wp.Simulated(disc_);
  Disc& target = Target();
  const uint8_t trackMode = TrackModeFor(wp);
  Sense s = target.CheckWrite(lba, count, wp.DiscAtOnce(disc_), trackMode);
  if (!s.Good()) return {s};

  if (options_.emulateSpeed) {
    // The drive buffer takes the blocks at once and writes them out at the
    // selected speed (75 blocks of 2352 bytes a second at CD 1x); a write
    // that does not fit is answered "long write in progress".
    const double scale = platform::TimeScale();
    const double blockUs = EmulatedBlockMicroseconds(cd);
    const auto needUs = static_cast<uint64_t>(count * blockUs);
    const auto bufferUs = static_cast<uint64_t>(options_.bufferBlocks * blockUs);
    const uint64_t now = SteadyMicroseconds();
    const uint64_t drained = std::max(writeDrainedUs_, now);
    if (drained > now && drained - now + needUs > bufferUs) return {sense::LongWriteInProgress()};
    // The buffer ran dry before this write came: the laser stopped mid-track.
    if (streaming_ && writeDrainedUs_ < now && scale > 0) ++underruns_;
    writeDrainedUs_ = drained + needUs;
    streaming_ = true;
  }
  cacheDirty_ = true;

  if (simulate) {
    target.RecordWrite(lba, count, trackMode);
    return {};
  }
  if (cd && wp.dataBlockType == 0) WriteAudio(lba, count, data);
  else WriteSectors(lba, count, data);
  // A write that only lengthens the open track leaves the state file as it
  // is: the disc file's length tells the next Open how far the track got,
  // so streaming a track costs no state rewrite per command.
  if (disc_.RecordWrite(lba, count, trackMode))
    stateDirty_ = true;
  else if (sequential)
    trackGrown_ = true;
  return {};
}

double VirtualRecorder::EmulatedBlockMicroseconds(bool cd) const {
  const double speed = std::max<uint32_t>(EffectiveWriteSpeed(), 1);
  return (cd ? 2352.0 : 2048.0) * 1000.0 / speed * platform::TimeScale();
}

VirtualRecorder::Reply VirtualRecorder::ReadBufferCapacity(const uint8_t* cdb, uint8_t* data, uint32_t length) {
  if (cdb[1] & 0x01) return {sense::InvalidFieldInCdb()};  // the block form is not offered
  // The buffer holds bufferBlocks blocks of what the host sends; with the
  // write speed emulated, the blocks not yet written out are taken. A write
  // of n blocks fits (Write10) exactly when n blocks are free here.
  const Disc* disc = UsableDisc();
  const uint32_t blockBytes = disc ? WriteParameters::From(writeParameters_.data()).BlockSize(*disc) : 2048;
  uint64_t usedBlocks = 0;
  const uint64_t now = SteadyMicroseconds();
  const double blockUs = disc && options_.emulateSpeed ? EmulatedBlockMicroseconds(disc->Traits().cd) : 0;
  if (blockUs > 0 && writeDrainedUs_ > now) {
    const auto pending = static_cast<uint64_t>(static_cast<double>(writeDrainedUs_ - now) / blockUs) + 1;
    usedBlocks = std::min<uint64_t>(pending, options_.bufferBlocks);
  }
  std::vector<uint8_t> answer(12, 0);
  Put16(answer.data(), 10);
  Put32(answer.data() + 4, options_.bufferBlocks * blockBytes);
  Put32(answer.data() + 8, static_cast<uint32_t>((options_.bufferBlocks - usedBlocks) * blockBytes));
  return {Sense::None(), CopyAnswer(answer, Get16(cdb + 7), data, length)};
}

VirtualRecorder::Reply VirtualRecorder::ReserveTrack(const uint8_t* cdb) {
  if (auto s = NotWritable()) return {*s};
  if (cdb[1] & 0x01) return {sense::InvalidFieldInCdb()};  // address reservation is not offered
  const WriteParameters wp = WriteParameters::From(writeParameters_.data());
  Sense s = Target().Reserve(Get32(cdb + 5), TrackModeFor(wp));
  if (s.Good() && !Simulating()) stateDirty_ = true;
  return {s};
}

VirtualRecorder::Reply VirtualRecorder::SynchronizeCache(const uint8_t* cdb) {
  if (auto s = NotReady()) return {*s};
  const bool immediate = (cdb[1] & 0x02) != 0;
  const uint64_t now = SteadyMicroseconds();
  // The flush takes what the buffer still holds (emulated speed) and the
  // drive's own time when blocks were written since the last one.
  const uint64_t workUs = (writeDrainedUs_ > now ? writeDrainedUs_ - now : 0) +
                          (cacheDirty_ ? platform::ScaledMicroseconds(options_.syncCacheMs) : 0);
  writeDrainedUs_ = 0;
  cacheDirty_ = false;
  EndStreaming();
  const WriteParameters wp = WriteParameters::From(writeParameters_.data());
  const bool closeTrack = options_.flushClosesTrack && disc_.Traits().cd && wp.writeType == 1;
  if (Simulating()) {
    if (simulation_) simulation_->Flush(wp.DiscAtOnce(disc_), closeTrack);
    EndSimulationWhenClosed();
  } else if (disc_.Flush(wp.DiscAtOnce(disc_), closeTrack)) {
    stateDirty_ = true;
  }
  Reply r;
  if (immediate) {
    if (workUs) StartBusyMicroseconds(workUs, BusyWith::Flushing);
  } else {
    r.durationUs = workUs;
    r.busyWith = BusyWith::Flushing;
  }
  return r;
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
  EndStreaming();
  // A simulated recording is closed like a real one, on its copy of the disc.
  Disc& target = Target();
  Sense s;
  switch (function) {
    case 0: break;  // stop a background format; it is always finished here
    case 1: s = target.CloseTrack(track, wp.DiscAtOnce(disc_)); break;
    case 2: s = target.CloseSession(disc_.Kind() == MediumKind::DvdPlusR || wp.multiSession == 3); break;
    default: s = target.Finalize(); break;
  }
  if (!s.Good()) return {s};
  if (!Simulating()) stateDirty_ = true;
  EndSimulationWhenClosed();
  const uint32_t nominalMs = random ? 0 : function == 1 ? options_.closeTrackMs : options_.closeSessionMs;
  Reply r;
  if (immediate) {
    if (nominalMs) StartBusy(nominalMs, BusyWith::Closing);
  } else {
    r.durationUs = platform::ScaledMicroseconds(nominalMs);
    r.busyWith = BusyWith::Closing;
  }
  return r;
}

VirtualRecorder::Reply VirtualRecorder::Blank(const uint8_t* cdb) {
  if (auto s = NotWritable()) return {*s};
  const bool immediate = (cdb[1] & 0x10) != 0;
  const uint8_t type = cdb[1] & 0x07;
  if (type > 1) return {sense::InvalidFieldInCdb()};
  Sense s = disc_.Blank();
  if (!s.Good()) return {s};
  EraseSectors();
  simulation_.reset();
  EndStreaming();
  stateDirty_ = true;
  const uint32_t nominalMs = type == 0 ? options_.blankFullMs : options_.blankMinimalMs;
  Reply r;
  if (immediate) {
    StartBusy(nominalMs, BusyWith::Blanking);
  } else {
    r.durationUs = platform::ScaledMicroseconds(nominalMs);
    r.busyWith = BusyWith::Blanking;
  }
  return r;
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
  simulation_.reset();
  EndStreaming();
  stateDirty_ = true;
  Reply r;
  if (immediate) {
    StartBusy(options_.formatMs, BusyWith::Formatting);
  } else {
    r.durationUs = platform::ScaledMicroseconds(options_.formatMs);
    r.busyWith = BusyWith::Formatting;
  }
  return r;
}

}  // namespace dorvik::emulator
