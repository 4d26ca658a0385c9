#pragma once
// One record of Record.log: the text shifted by 6 per byte, then a line
// break. Records are written as a Windows text-mode file writes them, every
// 0x0A as 0x0D 0x0A, on every system, so one reader decodes any log.
#include <cstddef>
#include <cstdint>
#include <string>

namespace dorvik::diag {

inline constexpr char kLogFileName[] = "Record.log";
inline constexpr size_t kMaxRecordText = 255;
inline constexpr uint64_t kLogRestartBytes = 2097152;
inline constexpr uint8_t kScrambleShift = 6;

// Record.log in the platform's log folder; empty when there is no folder.
std::string LogFilePath();

// The text up to its first NUL, at most 255 bytes, each plus 6 modulo 256.
// The length is the text's, so a byte that becomes 0 stays in.
std::string ScrambleLogText(const char* text);

// Appends bytes and a line break as one record, taking turns with every
// other writer of the same log; drops the record when the log is off, the
// turn does not come within 1000 ms or the file cannot be written.
void AppendLogRecord(const std::string& path, const void* bytes, size_t length);

}  // namespace dorvik::diag
