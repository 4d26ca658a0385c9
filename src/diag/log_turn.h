#pragma once
// Whose turn it is to touch Record.log, across threads and processes. A turn
// covers one record (or the size check before an event's records) and ends
// with the object. The wait for it is bounded: 1000 ms nominal, polled.
#include <cstdint>
#include <string>

#include "platform/process_lock.h"

namespace dorvik::diag {

inline constexpr char kLogLockName[] = "WRITE_LOG";
inline constexpr uint32_t kTurnWaitMs = 1000;
inline constexpr uint32_t kTurnPollMs = 1;

class LogTurn {
 public:
  // Waits for the turn of the log at logPath; the POSIX lock file sits
  // beside it.
  explicit LogTurn(const std::string& logPath);
  bool Held() const { return held_; }

 private:
  platform::ProcessLock lock_;
  bool held_ = false;
};

}  // namespace dorvik::diag
