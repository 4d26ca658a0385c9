#include "diag/log_turn.h"

#include "platform/sleep.h"

namespace dorvik::diag {

LogTurn::LogTurn(const std::string& logPath) : lock_(kLogLockName, logPath + ".lock") {
  // A lock that cannot even be opened will not open by waiting.
  if (!lock_.IsOpen()) return;
  for (uint32_t waited = 0;; waited += kTurnPollMs) {
    held_ = lock_.TryAcquire();
    if (held_ || waited >= kTurnWaitMs) return;
    platform::Sleep(kTurnPollMs);
  }
}

}  // namespace dorvik::diag
