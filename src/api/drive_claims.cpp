#include "api/drive_claims.h"

#include <algorithm>

namespace dorvik {

bool DriveClaims::ClaimForWrite(const Recorder* drive) {
  std::unique_lock lock(mutex_);
  if (writing_) return false;
  writing_ = true;
  writeDrive_ = drive;
  // From here new exports on that drive are refused; those already running
  // end by themselves (every command and wait they make is bounded).
  released_.wait(lock, [&] { return drive == nullptr || std::count(inUse_.begin(), inUse_.end(), drive) == 0; });
  return true;
}

void DriveClaims::ReleaseWrite() {
  std::lock_guard lock(mutex_);
  writing_ = false;
  writeDrive_ = nullptr;
}

bool DriveClaims::ClaimForUse(const Recorder* drive) {
  std::lock_guard lock(mutex_);
  if (writing_ && drive == writeDrive_) return false;
  inUse_.push_back(drive);
  return true;
}

void DriveClaims::ReleaseUse(const Recorder* drive) {
  {
    std::lock_guard lock(mutex_);
    auto it = std::find(inUse_.begin(), inUse_.end(), drive);
    if (it != inUse_.end()) inUse_.erase(it);
  }
  released_.notify_all();
}

}  // namespace dorvik
