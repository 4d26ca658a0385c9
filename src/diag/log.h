#pragma once
// Record.log: what the burn engine writes down about the drive it prepares.
// Off unless the WriteLog setting (DORVIK_WRITE_LOG) is non-zero when the
// library loads. Every failure inside the log drops the record concerned and
// nothing else: a caller never learns of it and never waits long for it.
#include <cstdint>

namespace dorvik::diag {

// The sense fields a record prints. The log cannot see the transport; a
// caller passes its SenseResult through ToLogSense.
struct LogSense {
  uint8_t senseKey = 0;
  uint8_t asc = 0;
  uint8_t ascq = 0;
  uint8_t status = 0;
};

template <typename Sense>
constexpr LogSense ToLogSense(const Sense& sense) {
  return {sense.senseKey, sense.asc, sense.ascq, sense.status};
}

// The "File:" every record of the burn engine names, whichever of its files
// does the logging: the module that prepares the medium for a track.
inline constexpr char kMediaPreparationSource[] = "burn/media_preparation.cpp";

// Reads the switch. The library calls it once at load, before it builds
// anything that might log.
void ReadLogSwitch();
bool LogEnabled();

// Three records: text; "File:<sourceFile>, Line:<line>"; the sense fields.
// Before them a log that has reached 2 MiB is started afresh.
void LogEvent(const char* text, const char* sourceFile, int16_t line, LogSense sense);
// text (at most 259 characters) with a line break, as LogEvent with a zero
// sense.
void LogText(const char* sourceFile, int16_t line, const char* text);

}  // namespace dorvik::diag
