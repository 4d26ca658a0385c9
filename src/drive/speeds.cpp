// Read and write speeds: setting them, and finding the write speeds the
// drive accepts for the loaded medium.
#include <algorithm>
#include <vector>

#include "drive/drive.h"

namespace dorvik {

namespace {

constexpr uint8_t kCapabilitiesPage = 0x2A;
constexpr uint16_t kCdUnit = 176;
constexpr uint16_t kDvdUnit = 1385;
constexpr uint16_t kProbeFactors[] = {48, 40, 32, 20, 16, 12, 8, 4, 2};
// Page bytes up to the selected write speed (28..29).
constexpr size_t kSpeedFieldsLength = 30;

// The page inside a MODE SENSE(10) answer, or null when the answer's
// lengths put it (or its speed fields) outside the buffer.
const uint8_t* PageIn(const std::vector<uint8_t>& answer) {
  const size_t offset = 8 + static_cast<size_t>(Be16(answer.data() + 6));
  if (offset + kSpeedFieldsLength > answer.size()) return nullptr;
  return answer.data() + offset;
}

// The 1x rate of the medium of profile, in kB/s.
uint16_t SpeedUnit(uint32_t profile) {
  switch (profile) {
    case kProfileDvdR:
    case kProfileDvdRam:
    case kProfileDvdRwRestricted:
    case kProfileDvdRwSequential:
    case kProfileDvdPlusRw:
    case kProfileDvdPlusR:
      return kDvdUnit;
    default:
      return kCdUnit;
  }
}

}  // namespace

int Drive::SetReadSpeed(uint16_t speed) {
  if (imageMode_) return 0;
  uint8_t cdb[12] = {0xBB};
  PutBe16(cdb + 2, speed);
  return Send(cdb, 12, nullptr, 0, DirNone, kQuickTimeoutMs);
}

int Recorder::SetWriteSpeed(uint16_t speed) {
  if (imageMode_) return 0;
  uint8_t cdb[12] = {0xBB};
  PutBe16(cdb + 4, speed);
  return Send(cdb, 12, nullptr, 0, DirNone, kQuickTimeoutMs);
}

int Recorder::ReportSpeeds(SpeedReport* report) {
  const uint16_t unit = SpeedUnit(CurrentProfile());
  // The probe's failures are of no interest to whoever reads lastSense.
  SenseResult sense{};
  std::vector<uint8_t> answer(kModePageAnswerLength, 0);
  if (ModeSense(answer.data(), kModePageAnswerLength, kCapabilitiesPage, id_, &sense) != 0) return 1;
  const uint8_t* page = PageIn(answer);
  if (!page || (page[0] & 0x3F) != kCapabilitiesPage) return 1;
  report->currentRead = Be16(page + 14);
  report->currentWrite = Be16(page + 28);
  report->maxRead = Be16(page + 8);

  // A speed counts as accepted when the drive then shows some selected
  // write speed; what it actually chose is not compared.
  uint16_t max = 0;
  uint16_t min = 10000;
  for (uint16_t factor : kProbeFactors) {
    // 48x of DVD (66480 kB/s) does not fit the 16-bit field; no DVD drive
    // writes that fast, and a wrapped value would ask for something else.
    const uint32_t wanted = uint32_t{factor} * unit;
    if (wanted > 0xFFFF) continue;
    const auto speed = static_cast<uint16_t>(wanted);
    SetWriteSpeed(speed);
    std::fill(answer.begin(), answer.end(), 0);
    ModeSense(answer.data(), kModePageAnswerLength, kCapabilitiesPage, id_, &sense);
    const uint8_t* probed = PageIn(answer);
    if (probed && Be16(probed + 28) != 0) {
      max = std::max(max, speed);
      min = std::min(min, speed);
    }
  }
  report->maxWrite = max;
  report->minWrite = min;
  return 0;
}

}  // namespace dorvik
