#include "platform/process_lock.h"

#include <windows.h>

namespace dorvik::platform {

namespace {
HANDLE AsHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }
}  // namespace

ProcessLock::ProcessLock(const char* eventName, const std::string& /*lockFile: the POSIX half's*/) {
  // Opened when another process made it, else made signalled: free.
  HANDLE event = ::CreateEventA(nullptr, TRUE, TRUE, eventName);
  handle_ = event ? reinterpret_cast<intptr_t>(event) : -1;
}

ProcessLock::~ProcessLock() {
  Release();
  if (handle_ != -1) ::CloseHandle(AsHandle(handle_));
}

bool ProcessLock::TryAcquire() {
  if (handle_ == -1) return false;
  if (!held_ && ::WaitForSingleObject(AsHandle(handle_), 0) == WAIT_OBJECT_0) {
    // Wait and reset are two steps: two takers that see it free at once both
    // go ahead, each record still going out in one write.
    ::ResetEvent(AsHandle(handle_));
    held_ = true;
  }
  return held_;
}

void ProcessLock::Release() {
  if (!held_) return;
  ::SetEvent(AsHandle(handle_));
  held_ = false;
}

}  // namespace dorvik::platform
