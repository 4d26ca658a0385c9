#pragma once
// What the software recorder answers when a command does not complete: the
// sense key and additional sense code a real MMC drive reports for the same
// situation.
#include <array>
#include <cstdint>

#include "emulator/bytes.h"

namespace dorvik::emulator {

struct Sense {
  uint8_t key = 0;
  uint8_t asc = 0;
  uint8_t ascq = 0;
  uint32_t information = 0;  // reported with the VALID bit when hasInformation
  bool hasInformation = false;
  uint16_t progress = 0;  // sense-key-specific progress (0..65535) when hasProgress
  bool hasProgress = false;

  bool Good() const { return key == 0 && asc == 0 && ascq == 0; }
  static Sense None() { return {}; }
  static Sense Of(uint8_t k, uint8_t a, uint8_t q) { return Sense{k, a, q}; }
  Sense WithInformation(uint32_t value) const {
    Sense s = *this;
    s.information = value;
    s.hasInformation = true;
    return s;
  }
};

// The sense as SPC fixed-format sense data (18 bytes): what a failed
// command returns and what REQUEST SENSE reports afterwards.
inline std::array<uint8_t, 18> FixedFormatSense(const Sense& s) {
  std::array<uint8_t, 18> out{};
  out[0] = static_cast<uint8_t>(0x70 | (s.hasInformation ? 0x80 : 0));
  out[2] = s.key & 0x0F;
  Put32(out.data() + 3, s.information);
  out[7] = 10;  // additional length
  out[12] = s.asc;
  out[13] = s.ascq;
  if (s.hasProgress) {
    out[15] = 0x80;
    Put16(out.data() + 16, s.progress);
  }
  return out;
}

// The answers used across the recorder, named after their SPC/MMC meaning.
namespace sense {
inline Sense NoMediumTrayOpen() { return Sense::Of(0x02, 0x3A, 0x02); }
inline Sense NoMediumTrayClosed() { return Sense::Of(0x02, 0x3A, 0x01); }
inline Sense IncompatibleMediumInstalled() { return Sense::Of(0x02, 0x30, 0x00); }
inline Sense FormatInProgress() { return Sense::Of(0x02, 0x04, 0x04); }
inline Sense OperationInProgress() { return Sense::Of(0x02, 0x04, 0x07); }
inline Sense LongWriteInProgress() { return Sense::Of(0x02, 0x04, 0x08); }
inline Sense InvalidOpcode() { return Sense::Of(0x05, 0x20, 0x00); }
inline Sense LbaOutOfRange() { return Sense::Of(0x05, 0x21, 0x00); }
inline Sense InvalidAddressForWrite() { return Sense::Of(0x05, 0x21, 0x02); }
inline Sense InvalidFieldInCdb() { return Sense::Of(0x05, 0x24, 0x00); }
inline Sense InvalidFieldInParameterList() { return Sense::Of(0x05, 0x26, 0x00); }
inline Sense ParameterListLengthError() { return Sense::Of(0x05, 0x1A, 0x00); }
inline Sense CommandSequenceError() { return Sense::Of(0x05, 0x2C, 0x00); }
inline Sense CannotWriteIncompatibleFormat() { return Sense::Of(0x05, 0x30, 0x05); }
inline Sense CannotFormatIncompatibleMedium() { return Sense::Of(0x05, 0x30, 0x06); }
inline Sense SavingParametersNotSupported() { return Sense::Of(0x05, 0x39, 0x00); }
inline Sense MediumRemovalPrevented() { return Sense::Of(0x05, 0x53, 0x02); }
inline Sense IllegalModeForThisTrack() { return Sense::Of(0x05, 0x64, 0x00); }
inline Sense IncompleteTrackInSession() { return Sense::Of(0x05, 0x72, 0x03); }
inline Sense EmptyOrPartiallyWrittenReservedTrack() { return Sense::Of(0x05, 0x72, 0x04); }
inline Sense WriteProtected() { return Sense::Of(0x07, 0x27, 0x00); }
inline Sense WriteError() { return Sense::Of(0x03, 0x0C, 0x00); }
inline Sense UnrecoveredReadError() { return Sense::Of(0x03, 0x11, 0x00); }
}  // namespace sense

}  // namespace dorvik::emulator
