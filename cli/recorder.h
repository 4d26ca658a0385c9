#pragma once
// The recorder a command works on: chosen by the id on the command line,
// described (where it is, what disc it holds), and the plain words for what
// keeps it from being used.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace dorvik::cli {

// What Vuz_GetDiscInfoEx says of the loaded disc.
struct DiscState {
  int32_t result = 0;  // the export's result: 1, or -15 with no disc / not ready
  int32_t profile = 0;
  bool blank = false;
  bool writable = false;
  // A CD whose last session is open: a new session may follow. (The
  // library calls a CD-R writable only while it is blank.)
  bool appendable = false;
  uint64_t freeBytes = 0;
};

struct RecorderView {
  int id = -1;
  int32_t kind = 0;      // DORVIK_DEVICE_*
  std::string location;  // device node or disc file; empty for the inert entry
  std::string vendor, product;
};

// The id in text, 0 to 254; prints why not and returns nullopt otherwise.
std::optional<int> ParseDeviceId(const char* command, const std::string& text);
// Selects the recorder; prints why it cannot (no such id: `dorvik devices`
// lists them, and the setup problems that may explain a missing one).
bool SelectRecorder(const char* command, int id);
// The selected recorder.
RecorderView DescribeSelected(int id);
DiscState ReadDiscState();

// "CD-R", "DVD+RW", "no disc" ...
const char* ProfileName(int32_t profile);
bool IsCd(int32_t profile);
// kB/s of 1x for the medium (CD or DVD).
uint32_t SpeedUnit(int32_t profile);
// Whether a burn can go on the disc, and if not, why not (empty when it can).
std::string WhyNotWritable(const DiscState& disc);
// "blank CD-R", "appendable CD-R", "closed CD-R", "DVD+RW" (rewritables
// that are random access have no closed state).
std::string MediumPhrase(const DiscState& disc);
// "recorder 2 (/tmp/rw.img)".
std::string RecorderPhrase(const RecorderView& recorder);
// Says the recorder is the inert entry, for commands that need a disc.
void PrintInertEntry(std::FILE* out, const char* command);

// The problems the library met while it looked for recorders, one line
// each on stderr, with what to do about them (the group to join for a
// device that may not be opened).
void PrintSetupProblems(std::FILE* out);
// The advice for a device node the user may not open: the group that owns it.
std::string PermissionAdvice(const std::string& deviceNode);

// A message for an export's result code, for codes no command handles itself.
std::string ResultText(int32_t result);

}  // namespace dorvik::cli
