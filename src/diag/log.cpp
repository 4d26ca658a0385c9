#include "diag/log.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "diag/log_record.h"
#include "diag/log_turn.h"
#include "platform/files.h"
#include "platform/settings.h"

namespace dorvik::diag {

namespace {

std::atomic<bool> gLogEnabled{false};

constexpr size_t kMaxLogTextInput = 259;

void AppendText(const std::string& path, const char* text) {
  const std::string scrambled = ScrambleLogText(text);
  AppendLogRecord(path, scrambled.data(), scrambled.size());
}

// Done in the log's turn, so that two processes do not both delete the log
// and one of them lose the records it has just written.
void RestartFullLog(const std::string& path) {
  const LogTurn turn(path);
  if (!turn.Held()) return;
  const platform::PathInfo info = platform::Stat(path);
  if (info.exists && !info.isDirectory && info.size >= kLogRestartBytes) platform::RemoveFile(path);
}

}  // namespace

void ReadLogSwitch() {
  gLogEnabled = platform::ReadNumberSetting(platform::Setting::WriteLog).value_or(0) != 0;
}

bool LogEnabled() { return gLogEnabled.load(); }

void LogEvent(const char* text, const char* sourceFile, int16_t line, LogSense sense) {
  if (!LogEnabled()) return;
  const std::string path = LogFilePath();
  if (path.empty()) return;
  RestartFullLog(path);

  AppendText(path, text);
  char buffer[kMaxRecordText + 1];
  std::snprintf(buffer, sizeof buffer, "File:%s, Line:%d", sourceFile ? sourceFile : "", line);
  AppendText(path, buffer);
  std::snprintf(buffer, sizeof buffer, "SenseKey:%2X, ASC:%2X, ASCQ:%2X, SRBStatus:%2X\n",
                unsigned{sense.senseKey}, unsigned{sense.asc}, unsigned{sense.ascq}, unsigned{sense.status});
  AppendText(path, buffer);
}

void LogText(const char* sourceFile, int16_t line, const char* text) {
  if (!LogEnabled()) return;
  char buffer[kMaxLogTextInput + 2];
  const size_t length = text ? ::strnlen(text, kMaxLogTextInput) : 0;
  if (length) std::memcpy(buffer, text, length);
  buffer[length] = '\n';
  buffer[length + 1] = '\0';
  LogEvent(buffer, sourceFile, line, LogSense{});
}

}  // namespace dorvik::diag
