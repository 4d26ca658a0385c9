#include "diag/log_record.h"

#include <cstring>

#include "diag/log.h"
#include "diag/log_turn.h"
#include "platform/append_file.h"
#include "platform/settings.h"

namespace dorvik::diag {

namespace {
constexpr char kLineFeed = 0x0A;
constexpr char kCarriageReturn = 0x0D;
}  // namespace

std::string LogFilePath() {
  const std::string folder = platform::LogFolder();
  if (folder.empty()) return {};
  return folder + kLogFileName;
}

std::string ScrambleLogText(const char* text) {
  if (!text) return {};
  std::string scrambled(text, ::strnlen(text, kMaxRecordText));
  for (char& c : scrambled) c = static_cast<char>(static_cast<uint8_t>(c) + kScrambleShift);
  return scrambled;
}

void AppendLogRecord(const std::string& path, const void* bytes, size_t length) {
  if (!LogEnabled() || path.empty()) return;
  // The record as a text-mode write leaves it, built first so that it goes
  // out in one write call.
  const auto* in = static_cast<const char*>(bytes);
  std::string record;
  record.reserve(2 * length + 2);
  for (size_t i = 0; i < length; ++i) {
    if (in[i] == kLineFeed) record += kCarriageReturn;
    record += in[i];
  }
  record += kCarriageReturn;
  record += kLineFeed;

  const LogTurn turn(path);
  if (!turn.Held()) return;
  platform::AppendInOneWrite(path, record.data(), record.size());
}

}  // namespace dorvik::diag
