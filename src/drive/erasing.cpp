// Making rewritable media writable again: BLANK, FORMAT UNIT, overwriting
// with zeros, and the per-medium erase the host asks for.
#include <vector>

#include "dorvik.h"
#include "drive/drive.h"
#include "platform/sleep.h"

namespace dorvik {

namespace {

constexpr uint8_t kBlankMinimal = 1;
constexpr uint32_t kOverwriteBlocks = 32;
constexpr uint32_t kOverwriteBytes = kOverwriteBlocks * kUserSectorLength;
constexpr uint32_t kOverwriteLastLba = 160000;
constexpr int kOverwriteFailureLimit = 5;
constexpr uint32_t kOverwritePollMs = 200;
constexpr uint32_t kFormatPollMs = 300;
constexpr uint32_t kSettleMs = 1000;
constexpr uint32_t kFinalPollMs = 200;

}  // namespace

int Recorder::Blank(uint8_t type) {
  if (imageMode_) return 0;
  // Immed: the drive accepts at once and blanks while we poll.
  const uint8_t cdb[12] = {0xA1, static_cast<uint8_t>((type & 7) | 0x10), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  return Send(cdb, 12, nullptr, 0, DirNone, kQuickTimeoutMs);
}

int Recorder::FormatPlusRw() {
  if (imageMode_) return 0;
  const uint8_t cdb[6] = {0x04, 0x11, 0, 0, 0, 0};
  // FOV and Immed; one descriptor: the whole medium, DVD+RW full format.
  uint8_t list[12] = {0x00, 0x82, 0x00, 0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0x26 << 2, 0x00, 0x00, 0x01};
  return Send(cdb, 6, list, sizeof list, DirOut, kQuickTimeoutMs);
}

int Recorder::EraseByOverwrite() {
  if (imageMode_) return 0;
  // Zeros over the area where file systems keep their descriptors and
  // directories is enough for the disc to read as blank.
  const std::vector<uint8_t> zeros(kOverwriteBytes, 0);
  int failures = 0;
  for (uint32_t lba = 0; lba <= kOverwriteLastLba; lba += kOverwriteBlocks) {
    if (Write10(lba, zeros.data(), kOverwriteBytes, kOverwriteBlocks) != 0) ++failures;
    if (failures >= kOverwriteFailureLimit) break;
  }
  SynchronizeCache();
  WaitUntilReady(kOverwritePollMs);
  Close(0);
  WaitUntilReady(kOverwritePollMs);
  return 0;
}

int Recorder::EraseMedium() {
  const uint32_t driveClass = DriveClass();
  if (driveClass == 0 || driveClass == 2 || id_ == 0) return DORVIK_E_NOT_ERASABLE;
  if (IsReady() != 0) return DORVIK_E_NOT_READY;
  switch (CurrentProfile()) {
    case kProfileCdRw:
    case kProfileDvdRwRestricted:
    case kProfileDvdRwSequential:
      if (Blank(kBlankMinimal) != 0) return DORVIK_E_BLANK_FAILED;
      break;
    case kProfileDvdPlusRw:
      FormatPlusRw();  // a refused format still leaves the overwrite to do
      WaitUntilReady(kFormatPollMs);
      EraseByOverwrite();
      break;
    case kProfileDvdRam: {
      WriteSettings settings;
      settings.trackMode = 5;
      settings.bufferUnderrunFree = 1;
      settings.dataBlockType = 8;
      if (SetWriteParameters(kWriteSessionAtOnce, settings) != 0) return DORVIK_E_RAM_FORMAT;
      EraseByOverwrite();
      break;
    }
    default:
      return DORVIK_E_NOT_ERASABLE;
  }
  platform::Sleep(kSettleMs);
  // The drive is still blanking or formatting in the background.
  return WaitUntilReady(kFinalPollMs) ? DORVIK_OK : DORVIK_E_NOT_READY;
}

}  // namespace dorvik
