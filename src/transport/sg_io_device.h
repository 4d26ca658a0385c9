#pragma once
// A real drive reached through the Linux SCSI generic pass-through (SG_IO on
// /dev/srN). The ioctl is a seam so tests can see the request built for
// each command without a drive.
#include <functional>
#include <string>

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

 private:
  bool EnsureOpen();
  std::string path_;
  IoctlFn ioctl_;
  OpenFn open_;
  int fd_ = -1;
  bool openTried_ = false;  // a failed open is not retried, like a bad handle slot
};

}  // namespace dorvik
