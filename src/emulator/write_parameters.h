#pragma once
// The write parameters mode page (page 5): what a host selects before
// writing, and which selections the loaded medium can take.
#include <array>
#include <cstdint>

#include "emulator/answers.h"
#include "emulator/disc.h"
#include "emulator/recorder_options.h"

namespace dorvik::emulator {

using WriteParametersPage = std::array<uint8_t, kWriteParametersPageSize>;

// The fields of page 5 the recorder acts on.
struct WriteParameters {
  uint8_t writeType = 1;  // 0 packet/incremental, 1 track at once, 2 session/disc at once, 3 raw
  bool testWrite = false;
  uint8_t multiSession = 0;  // 3: next session allowed
  uint8_t trackMode = 4;
  uint8_t dataBlockType = 8;
  uint8_t sessionFormat = 0;

  // page: from its page code on, at least 9 bytes.
  static WriteParameters From(const uint8_t* page);

  // Bytes of one block in a WRITE(10) under this page.
  uint32_t BlockSize(const Disc& disc) const;
  // A test write on a medium that can be written in simulation: nothing is
  // recorded. DVD+R, DVD+RW, DVD-RAM and restricted-overwrite DVD-RW have
  // none: the drive ignores the bit and records.
  bool Simulated(const Disc& disc) const { return testWrite && disc.Traits().canTestWrite; }
  // DVD-R/RW disc-at-once: into a reserved track, which the drive closes itself.
  bool DiscAtOnce(const Disc& disc) const {
    return writeType == 2 && (disc.Kind() == MediumKind::DvdR || disc.Kind() == MediumKind::DvdRwSequential);
  }
};

// The page as the drive powers up with it (and MODE SENSE's default values).
WriteParametersPage DefaultWriteParameters();
// The bits of page 5 a host may change (MODE SENSE page control 1).
WriteParametersPage ChangeableWriteParameters();
// Checks a page the host sent (length bytes from its page code on) against
// the drive and the medium in it (null: none loaded).
Sense ValidateWriteParameters(const uint8_t* page, uint32_t length, const RecorderOptions& options, const Disc* disc);

}  // namespace dorvik::emulator
