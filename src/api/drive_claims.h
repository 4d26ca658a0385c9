#pragma once
// Who may send commands to a drive. A write job sends commands to its drive
// for as long as it runs (from its own threads), so every other export that
// would talk to that drive is refused with DORVIK_E_BUSY instead of
// slipping a command between the job's; and one write job runs at a time,
// since there is one BurnManager.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

namespace dorvik {

class Recorder;

class DriveClaims {
 public:
  // The write slot, for a job on drive (null: the caller is about to refuse
  // for want of a drive). False while another job holds it. Waits for the
  // exports already talking to that drive to return.
  bool ClaimForWrite(const Recorder* drive);
  void ReleaseWrite();
  // A device export's use of a drive: false while a write job writes to it.
  bool ClaimForUse(const Recorder* drive);
  void ReleaseUse(const Recorder* drive);

 private:
  std::mutex mutex_;
  std::condition_variable released_;
  bool writing_ = false;
  const Recorder* writeDrive_ = nullptr;
  std::vector<const Recorder*> inUse_;  // one entry per export using a drive
};

}  // namespace dorvik
