// Before a track: the write parameters for the loaded medium, and for DVD a
// reserved track or a format. After it: flush, close the track and, at the
// end of a session, the session; then eject or reload.
//
// Failures of the preparation are written to the diagnostic log, each with
// the line number the log's readers know it by.
#include <cstring>

#include "burn/burn_manager.h"
#include "diag/log.h"
#include "diag/trace.h"
#include "platform/sleep.h"

namespace dorvik {

namespace {

constexpr int32_t kNotReady = -700;
constexpr int32_t kPreparationRefused = -701;
constexpr int32_t kMediumUnsupported = -702;

constexpr int16_t kInquiryLogLine = 144;
constexpr int16_t kCdParametersLogLine = 202;
constexpr int16_t kDvdMinusParametersLogLine = 243;
constexpr int16_t kDvdMinusReadyLogLine = 252;
constexpr int16_t kPlusFormatLogLine = 335;
constexpr int16_t kPlusParametersLogLine = 351;
constexpr int16_t kRamParametersLogLine = 370;

constexpr uint32_t kReserveReadyTries = 40;
constexpr uint32_t kReserveReadyPollMs = 500;
constexpr uint32_t kFormatReadyPollMs = 300;
constexpr uint32_t kFlushReadyPollMs = 1000;
constexpr uint32_t kSessionBusyPollMs = 600;

constexpr uint8_t kTrackModeData = 4;
constexpr uint8_t kTrackModeIncremental = 5;
constexpr uint8_t kTrackModeDvdMinusRw = 7;
constexpr uint8_t kBlockTypeMode1 = 8;
constexpr uint8_t kLinkSizeDvdMinusRw = 16;
constexpr uint16_t kIncompleteTrack = 0xFF;

bool IsDvdMinus(uint32_t p) {
  return p == kProfileDvdR || p == kProfileDvdRwRestricted || p == kProfileDvdRwSequential;
}

bool Busy(const SenseResult& s) { return s.senseKey == 2 && s.asc == 0x04 && (s.ascq == 0x07 || s.ascq == 0x08); }

// Every preparation starts from the same page: buffer-underrun-free on,
// data in Mode 1 blocks, one session format.
WriteSettings DataSettings(uint8_t trackMode, bool testWrite) {
  WriteSettings s;
  s.trackMode = trackMode;
  s.testWrite = testWrite ? 1 : 0;
  s.bufferUnderrunFree = 1;
  s.dataBlockType = kBlockTypeMode1;
  return s;
}

}  // namespace

int32_t BurnManager::BurnBegin() {
  uint8_t inquiry[kInquiryLength];
  drive_->Inquiry(inquiry);  // zeroed first; a refusal logs an empty name
  if (diag::LogEnabled()) {
    // Vendor, product and revision, as the drive spelled them.
    const char* text = reinterpret_cast<const char*>(inquiry + 8);
    diag::LogText(diag::kMediaPreparationSource, kInquiryLogLine, std::string(text, strnlen(text, kInquiryLength - 8)).c_str());
  }
  if (drive_->IsReady() != 0) return kNotReady;
  SetCurrentFileName(kProcessingName);
  drive_->LockVolume(true);
  profile_ = drive_->CurrentProfile();
  switch (profile_) {
    case kProfileDvdR:
    case kProfileDvdRwRestricted:
    case kProfileDvdRwSequential:
      return BurnBeginDvdMinusRw();
    case kProfileDvdPlusRw:
    case kProfileDvdPlusR:
      return BurnBeginDvdPlusRw();
    case kProfileDvdRam:
      return BurnBeginDvdRam();
    case kProfileCdR:
    case kProfileCdRw:
    case kProfileNone:
      return BurnBeginCdrw();
    default:
      return kMediumUnsupported;
  }
}

int32_t BurnManager::SetParametersOrFail(uint8_t writeType, const WriteSettings& settings, const char* logText,
                                         int16_t line) {
  if (drive_->SetWriteParameters(writeType, settings) == 0) return 0;
  diag::LogEvent(logText, diag::kMediaPreparationSource, line, diag::ToLogSense(drive_->LastSense()));
  return kPreparationRefused;
}

int32_t BurnManager::BurnBeginCdrw() {
  const bool data = source_.TrackType() == kTrackData;
  WriteSettings s = DataSettings(data ? kTrackModeData : 0, testWrite_);
  if (!data) s.dataBlockType = 0;
  s.multiSession = leaveSessionOpen_ ? 1 : 0;
  if (int32_t r = SetParametersOrFail(kWriteTrackAtOnce, s, "BurnBegin_CDRW()", kCdParametersLogLine)) return r;
  int32_t nwa = 0;
  // No address to write at, or another than the image was laid out for:
  // writing would put the track where its own addresses do not point.
  if (drive_->NextWritableAddress(&nwa) != 0 || static_cast<uint32_t>(nwa) != startAddress_) return kPreparationRefused;
  return 0;
}

int32_t BurnManager::BurnBeginDvdMinusRw() {
  const uint32_t driveClass = drive_->DriveClass();
  const bool incremental = profile_ == kProfileDvdR || driveClass == 5 || driveClass == 8 || driveClass == 9;
  WriteSettings s = DataSettings(incremental ? kTrackModeIncremental : kTrackModeDvdMinusRw, testWrite_);
  if (profile_ != kProfileDvdR) {
    s.linkSize = kLinkSizeDvdMinusRw;
    s.linkSizeValid = 1;
  }
  if (int32_t r = SetParametersOrFail(kWriteSessionAtOnce, s, "BurnBegin_DVDMinusRW()-SetWriteParam",
                                      kDvdMinusParametersLogLine))
    return r;
  // The reservation takes whole writes: the last WRITE(10) of a track always
  // carries sectorsPerWrite blocks, and a drive refuses a write that runs
  // past a reserved track's end.
  const uint64_t blocks = trackBlocks_.load();
  drive_->ReserveTrack(static_cast<uint32_t>((blocks + sectorsPerWrite_ - 1) / sectorsPerWrite_ * sectorsPerWrite_));
  drive_->SynchronizeCache();
  for (uint32_t retry = 0;; ++retry) {
    if (drive_->IsReady() == 0) {
      startAddress_ = 0;
      return 0;
    }
    if (retry == kReserveReadyTries) break;
    platform::Sleep(kReserveReadyPollMs);
  }
  diag::LogEvent("BurnBegin_DVDMinusRW()-TestUnitReady", diag::kMediaPreparationSource, kDvdMinusReadyLogLine,
                 diag::ToLogSense(drive_->LastSense()));
  return kPreparationRefused;
}

int32_t BurnManager::BurnBeginDvdPlusRw() {
  if (profile_ != kProfileDvdPlusR) {
    if (drive_->FormatPlusRw() != 0) {
      diag::LogEvent("BurnBegin_DVDPlusRW()", diag::kMediaPreparationSource, kPlusFormatLogLine,
                     diag::ToLogSense(drive_->LastSense()));
      return kPreparationRefused;
    }
    drive_->WaitUntilReady(kFormatReadyPollMs);
  }
  if (int32_t r = SetParametersOrFail(kWriteSessionAtOnce, DataSettings(kTrackModeData, testWrite_),
                                      "BurnBegin_DVDPlusRW()", kPlusParametersLogLine))
    return r;
  startAddress_ = 0;
  return 0;
}

int32_t BurnManager::BurnBeginDvdRam() {
  if (int32_t r = SetParametersOrFail(kWriteSessionAtOnce, DataSettings(kTrackModeIncremental, testWrite_),
                                      "BurnBegin_DVDRAM()", kRamParametersLogLine))
    return r;
  startAddress_ = 0;
  return 0;
}

int32_t BurnManager::BurnEnd() {
  JoinThreads();
  source_.ResetTrack();
  if (IsDvdMinus(profile_)) drive_->SynchronizeCacheImmed(1);
  else drive_->SynchronizeCache();
  drive_->WaitUntilReady(kFlushReadyPollMs);
  if (profile_ == kProfileCdR || profile_ == kProfileCdRw) drive_->CloseTrack(OpenTrackNumber());
  if (static_cast<int32_t>(track_) == source_.ClosingTrack()) FinishSession();
  SetCurrentFileName("");
  trackBlocks_ = 0;
  blocksWritten_ = 0;
  drive_->LockVolume(false);
  diag::Trace(diag::kTraceBurnEnd);
  return 0;
}

uint16_t BurnManager::OpenTrackNumber() {
  // The session's track 1 is the disc's track n on a disc that holds
  // sessions already: ask the drive which track the written blocks are in.
  uint8_t track[kTrackInformationLength];
  if (drive_->ReadTrackInformation(track, 0, startAddress_) == 0) return static_cast<uint16_t>(track[32] << 8 | track[2]);
  uint8_t info[kDiscInformationLength];
  if (drive_->ReadDiscInformation(info) == 0) return static_cast<uint16_t>(info[11] << 8 | info[6]);
  return static_cast<uint16_t>(track_);
}

void BurnManager::FinishSession() {
  if (profile_ == kProfileDvdPlusR) drive_->CloseTrack(kIncompleteTrack);
  if (profile_ != kProfileDvdRam && !IsDvdMinus(profile_)) drive_->CloseSessionImmed();
  // Drives differ in which command tells of a close still running: some
  // answer TEST UNIT READY busy, others only the disc information.
  WaitWhileBusy(false, kSessionBusyPollMs);
  WaitWhileBusy(true, kSessionBusyPollMs);
  if (ejectAfterWrite_) {
    drive_->PreventRemoval(0);
    drive_->LoadOrEject(true);
  } else {
    drive_->LoadOrEject(false);
  }
}

bool BurnManager::WaitWhileBusy(bool readDiscInformation, uint32_t periodMs) {
  // Counted in nominal time against the drive's readiness bound, so the
  // number of polls is the same under any time scale.
  uint8_t info[kDiscInformationLength];
  uint64_t waited = 0;
  for (;;) {
    const int r = readDiscInformation ? drive_->ReadDiscInformation(info) : drive_->IsReady();
    if (r == 0 || !Busy(drive_->LastSense())) return true;
    if (waited >= drive_->ReadyWaitLimit()) return false;
    platform::Sleep(periodMs);
    waited += periodMs;
  }
}

}  // namespace dorvik
