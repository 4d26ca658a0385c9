#pragma once
// A real drive reached through the Linux SCSI generic pass-through (SG_IO on
// /dev/srN). The ioctl is a seam so tests can see the request built for
// each command without a drive.
//
// What comes back into a data-in buffer is only the drive's answer when
// the status is GOOD: after a CHECK CONDITION or a host error the kernel
// may leave the buffer zeroed (ATAPI through sr) or holding bytes of an
// earlier command (the sg driver's reserved buffer). Data-in commands
// therefore land in a buffer of our own first, and the caller's buffer
// is only written when the command succeeded.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "transport/scsi_device.h"

struct sg_io_hdr;

namespace dorvik {

class SgIoDevice final : public ScsiDevice {
 public:
  using IoctlFn = std::function<int(int fd, sg_io_hdr* request)>;
  using OpenFn = std::function<int(const std::string& path)>;

  // What the kernel is given for every command, in ms, whatever the caller
  // asked: the 1-second timeout of a non-immediate CLOSE TRACK would have
  // the kernel abort (and reset) a drive that is still closing, and the
  // "unlimited" WRITE(10) must not hang a writer thread for ever.
  static constexpr uint32_t kCommandTimeoutMs = 60000;

  explicit SgIoDevice(std::string path, IoctlFn ioctl = {}, OpenFn open = {});
  ~SgIoDevice() override;

  bool Send(const uint8_t* cdb, uint8_t cdbLength, void* data, uint32_t dataLength, Direction direction,
            uint32_t timeoutMs, DeviceReply& reply) override;
  std::string Describe() const override { return path_; }
  int OpenError() const override { return openError_; }

 private:
  bool EnsureOpen();
  std::string path_;
  IoctlFn ioctl_;
  OpenFn open_;
  int fd_ = -1;
  int openError_ = 0;
  bool openTried_ = false;  // a failed open is not retried, like a bad handle slot
  std::vector<uint8_t> answer_;  // data-in lands here first; commands come one at a time
};

}  // namespace dorvik
