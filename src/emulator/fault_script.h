#pragma once
// Scripted failures for tests: "the 3rd WRITE(10) fails with 03/0C/00
// twice". Written as text in DORVIK_VIRTUAL_FAULTS, entries separated by
// ';':
//
//   OPCODE[.FUNCTION][@N][xCOUNT]=ANSWER
//   ANSWER = KEY/ASC/ASCQ[+EFFECT] | EFFECT        EFFECT = damage | remove
//
// Numbers are hexadecimal except N and COUNT. N (default 1) is the first
// occurrence of the command that fails, COUNT (default 1) how many in a row,
// or "*" for every one from then on. FUNCTION narrows CLOSE TRACK/SESSION
// (5B) to one close function: 5B.1 the track, 5B.2 the session. A failed
// command changes nothing, except through its effect:
//   damage  the track being written is left damaged: READ TRACK INFORMATION
//           shows the Damage bit without a next writable address, and every
//           later WRITE(10) into it is refused (05/21/02). Alone: 03/0C/00.
//   remove  the disc is gone from then on (tray closed, no medium). Alone:
//           02/3A/01, which every command about the medium answers after it.
//   corrupt only alone: the command succeeds, but the first byte of the data
//           it carries is recorded inverted (a write the drive got wrong
//           without knowing, for read-back checks).
//
// e.g. "2A@3x2=03/0C/00;00x5=02/04/08;55=05/26/00;2A@40=damage;35x*=03/0C/00".
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "emulator/sense.h"

namespace dorvik::emulator {

enum class FaultEffect : uint8_t { None, Damage, Remove, Corrupt };

struct Fault {
  static constexpr uint32_t kForever = 0xFFFFFFFFu;

  uint8_t opcode = 0;
  std::optional<uint8_t> function;  // CLOSE TRACK/SESSION: only this close function
  uint32_t first = 1;  // 1-based occurrence of the command, counted from when the fault was added
  uint32_t count = 1;  // kForever: every occurrence from first on
  Sense sense;
  FaultEffect effect = FaultEffect::None;
};

std::optional<std::vector<Fault>> ParseFaultScript(const std::string& text, std::string* error);

// The faults in force and how often each command has been seen.
class FaultScript {
 public:
  void Add(const Fault& fault);
  // Counts the command; the fault it must fail with, if any.
  std::optional<Fault> Next(const uint8_t* cdb, uint8_t cdbLength);

 private:
  struct Entry {
    Fault fault;
    uint32_t seen = 0;
  };
  std::vector<Entry> entries_;
};

}  // namespace dorvik::emulator
