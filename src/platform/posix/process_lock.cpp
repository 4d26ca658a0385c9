#include "platform/process_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace dorvik::platform {

ProcessLock::ProcessLock(const char* /*eventName: the Win32 half's name*/, const std::string& lockFile) {
  // Never through a link planted under the name, and never waiting on a
  // pipe put there.
  constexpr int kFlags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
  int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | kFlags, 0666);
  // A lock file another user created may be read-only for us; a shared lock
  // file still works through a read-only descriptor.
  if (fd < 0 && errno == EACCES) fd = ::open(lockFile.c_str(), O_RDONLY | kFlags);
  handle_ = fd;
}

ProcessLock::~ProcessLock() {
  Release();
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

bool ProcessLock::TryAcquire() {
  if (handle_ < 0) return false;
  if (!held_) held_ = ::flock(static_cast<int>(handle_), LOCK_EX | LOCK_NB) == 0;
  return held_;
}

void ProcessLock::Release() {
  if (!held_) return;
  ::flock(static_cast<int>(handle_), LOCK_UN);
  held_ = false;
}

}  // namespace dorvik::platform
