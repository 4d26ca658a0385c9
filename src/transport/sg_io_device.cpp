#include "transport/sg_io_device.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace dorvik {

SgIoDevice::SgIoDevice(std::string path, IoctlFn ioctl, OpenFn open)
    : path_(std::move(path)), ioctl_(std::move(ioctl)), open_(std::move(open)) {
  if (!ioctl_) ioctl_ = [](int fd, sg_io_hdr* request) { return ::ioctl(fd, SG_IO, request); };
  if (!open_) open_ = [](const std::string& p) { return ::open(p.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC); };
}

SgIoDevice::~SgIoDevice() {
  if (fd_ >= 0) ::close(fd_);
}

bool SgIoDevice::EnsureOpen() {
  if (!openTried_) {
    openTried_ = true;
    errno = 0;
    fd_ = open_(path_);
    if (fd_ < 0) openError_ = errno != 0 ? errno : EIO;
  }
  return fd_ >= 0;
}

bool SgIoDevice::Send(const uint8_t* cdb, uint8_t cdbLength, void* data, uint32_t dataLength, Direction direction,
                      uint32_t /*timeoutMs*/, DeviceReply& reply) {
  if (!EnsureOpen()) return false;
  uint8_t cdbCopy[16] = {};
  std::memcpy(cdbCopy, cdb, std::min<uint8_t>(cdbLength, 16));
  sg_io_hdr hdr{};
  hdr.interface_id = 'S';
  hdr.cmd_len = cdbLength;
  hdr.cmdp = cdbCopy;
  hdr.mx_sb_len = kSenseBufferLength;
  hdr.sbp = reply.sense;
  switch (direction) {
    case DirIn: hdr.dxfer_direction = SG_DXFER_FROM_DEV; break;
    case DirOut: hdr.dxfer_direction = SG_DXFER_TO_DEV; break;
    default: hdr.dxfer_direction = SG_DXFER_NONE; break;
  }
  const bool dataIn = direction == DirIn && data != nullptr && dataLength != 0;
  if (dataIn) {
    answer_.assign(dataLength, 0);
    hdr.dxferp = answer_.data();
  } else {
    hdr.dxferp = data;
  }
  hdr.dxfer_len = dataLength;
  hdr.timeout = kCommandTimeoutMs;
  if (ioctl_(fd_, &hdr) != 0) return false;
  // Only the sense bytes the kernel wrote belong to this command.
  if (hdr.sb_len_wr < kSenseBufferLength)
    std::memset(reply.sense + hdr.sb_len_wr, 0, kSenseBufferLength - hdr.sb_len_wr);
  // A transport-level failure without a SCSI status (host or driver error)
  // is still a failed command; report it as CHECK CONDITION with whatever
  // sense came back so the caller sees a failure.
  if (hdr.status != 0) {
    reply.status = hdr.status;
  } else if (hdr.host_status != 0 || (hdr.driver_status & 0x0F) != 0) {
    reply.status = (hdr.driver_status & 0x08) ? 0x02 : 0xFF;  // DRIVER_SENSE: sense is valid
  } else {
    reply.status = 0;
  }
  // resid is not used: drives and the kernel leave it 0 for short answers.
  // The answer's own header says how much of it is meaningful.
  if (dataIn && reply.status == 0) std::memcpy(data, answer_.data(), dataLength);
  return true;
}

}  // namespace dorvik
