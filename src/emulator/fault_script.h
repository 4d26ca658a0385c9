#pragma once
// Scripted failures for tests: "the 3rd WRITE(10) fails with 03/0C/00
// twice". Written as text in DORVIK_VIRTUAL_FAULTS, entries separated by
// ';':
//
//   OPCODE[@N][xCOUNT]=KEY/ASC/ASCQ      all numbers hexadecimal except N and COUNT
//
// e.g. "2A@3x2=03/0C/00;00x5=02/04/08;55=05/26/00". N (default 1) is the
// first occurrence of the opcode that fails, COUNT (default 1) how many in a
// row; a failed command changes nothing.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "emulator/sense.h"

namespace dorvik::emulator {

struct Fault {
  uint8_t opcode = 0;
  uint32_t first = 1;  // 1-based occurrence of opcode, counted from when the fault was added
  uint32_t count = 1;
  Sense sense;
};

std::optional<std::vector<Fault>> ParseFaultScript(const std::string& text, std::string* error);

// The faults in force and how often each opcode has been seen.
class FaultScript {
 public:
  void Add(const Fault& fault);
  // Counts the command; the sense it must fail with, if any.
  std::optional<Sense> Next(uint8_t opcode);

 private:
  struct Entry {
    Fault fault;
    uint32_t seen = 0;
  };
  std::vector<Entry> entries_;
};

}  // namespace dorvik::emulator
