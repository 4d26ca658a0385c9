#pragma once
// A lock that the threads and processes of one machine take in turn. It
// never blocks: a caller polls TryAcquire between platform::Sleep calls, so
// every wait on it stays bounded and follows DORVIK_TIME_SCALE.
//
// POSIX: an flock on lockFile, created when missing and never deleted. The
// lock belongs to the open file, so two objects in one process exclude each
// other as two processes do. Win32: the named event eventName (manual reset,
// created signalled); taking it is a zero wait followed by a reset.
#include <cstdint>
#include <string>

namespace dorvik::platform {

class ProcessLock {
 public:
  ProcessLock(const char* eventName, const std::string& lockFile);
  ~ProcessLock();  // gives the lock back when held
  ProcessLock(const ProcessLock&) = delete;
  ProcessLock& operator=(const ProcessLock&) = delete;

  // False when the lock cannot be had at all (its file cannot be created):
  // waiting would not help.
  bool IsOpen() const { return handle_ >= 0; }
  // One attempt; true when this object now holds the lock.
  bool TryAcquire();
  void Release();

 private:
  intptr_t handle_ = -1;  // descriptor (POSIX) or event handle (Win32)
  bool held_ = false;
};

}  // namespace dorvik::platform
