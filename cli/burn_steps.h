#pragma once
// The steps `dorvik burn` and `dorvik burn-image` share: the options about
// the write, the recorder and disc checked before anything is sent, the
// speed, the words for a failed write, and the read-back check.
#include <cstdint>
#include <string>

#include "recorder.h"

namespace dorvik::cli {

class Arguments;

struct BurnSettings {
  bool testWrite = false;
  bool leaveOpen = false;
  bool eject = true;
  bool verify = false;
  uint32_t speedFactor = 0;  // 0: as fast as the drive goes
};

// --test, --open, --no-eject, --verify and --speed N (those the command
// declared); prints the usage error and returns false on a bad value.
bool ReadBurnSettings(const char* command, const Arguments& args, const char* usage, BurnSettings& out);

struct TargetDisc {
  RecorderView recorder;
  DiscState disc;
};

// Selects the recorder and reads its disc; says why nothing can be written
// (no such id, the inert entry, no disc, a closed or read-only disc) and
// returns false then.
bool OpenTarget(const char* command, int id, TargetDisc& out);

// On DVD+R, DVD+RW, DVD-RAM and restricted-overwrite DVD-RW drives ignore
// the test-write bit and record for real; --test there is refused with a
// message (false) before anything is sent.
bool TestWriteHonoured(const char* command, const TargetDisc& target, const BurnSettings& settings);

// Sets the write speed asked for, in the medium's 1x units.
void ApplySpeed(const char* command, const TargetDisc& target, const BurnSettings& settings);

// A write export's failure in words, with what to do about it.
std::string WriteFailureText(int32_t result, const TargetDisc& target);
// The collection does not fit: by how many MB, found by composing it.
std::string OverflowText(const std::string& label, bool playlist, const TargetDisc& target);

// Reads the track just written back through the drive and compares it with
// the digests the library took as it sent each sector; names the first file
// that differs. Prints the outcome; false when the disc differs or cannot
// be read back.
bool VerifyWritten(const char* command, const TargetDisc& target, bool ejectAfter);

}  // namespace dorvik::cli
