#include "transport/win32/pass_through_transport.h"

#include <winioctl.h>

#include <algorithm>
#include <cstring>

namespace dorvik {

namespace {

static_assert(IOCTL_SCSI_PASS_THROUGH_DIRECT == 0x4D014 && IOCTL_SCSI_GET_CAPABILITIES == 0x41010 &&
              IOCTL_SCSI_GET_INQUIRY_DATA == 0x4100C);
static_assert(FSCTL_LOCK_VOLUME == 0x90018 && FSCTL_UNLOCK_VOLUME == 0x9001C);

constexpr DWORD kCapabilitiesLength = 24;
constexpr DWORD kInquiryDataLength = 512;

// A handle of its own for a one-off query, closed when it goes.
class ScopedHandle {
 public:
  ScopedHandle(DeviceControl& system, const std::string& path) : system_(system), handle_(system.Open(path.c_str())) {}
  ~ScopedHandle() {
    if (Valid()) system_.Close(handle_);
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  bool Valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE Get() const { return handle_; }

 private:
  DeviceControl& system_;
  HANDLE handle_;
};

}  // namespace

PassThroughTransport::PassThroughTransport(std::unique_ptr<DeviceControl> system) : system_(std::move(system)) {}

PassThroughTransport::~PassThroughTransport() {
  for (HANDLE& h : handles_) {
    if (h != nullptr && h != INVALID_HANDLE_VALUE) system_->Close(h);
    h = nullptr;
  }
}

std::string PassThroughTransport::DevicePath(DeviceId id) {
  return std::string("\\\\.\\") + static_cast<char>('A' + id) + ':';
}

HANDLE PassThroughTransport::HandleFor(DeviceId id) {
  if (id > kLastLetterId) return INVALID_HANDLE_VALUE;
  HANDLE& slot = handles_[id];
  if (slot == nullptr) {
    slot = system_->Open(DevicePath(id).c_str());
    if (slot == nullptr) slot = INVALID_HANDLE_VALUE;  // keeps "not opened yet" apart from a failed open
  }
  return slot;
}

bool PassThroughTransport::CheckAdapter(DeviceId deviceId, uint32_t) {
  if (deviceId > kLastLetterId) return true;
  ScopedHandle device(*system_, DevicePath(deviceId));
  if (!device.Valid()) return true;
  uint8_t answer[kCapabilitiesLength] = {};
  DWORD returned = 0;
  if (!system_->Control(device.Get(), IOCTL_SCSI_GET_CAPABILITIES, nullptr, 0, answer, sizeof answer, &returned))
    return true;
  uint32_t maximumTransfer;
  std::memcpy(&maximumTransfer, answer + 4, 4);
  return maximumTransfer != 0;
}

bool PassThroughTransport::CheckDevice(uint32_t, uint32_t) { return true; }

int32_t PassThroughTransport::BusCount(DeviceId deviceId) {
  if (deviceId > kLastLetterId) return -1;
  ScopedHandle device(*system_, DevicePath(deviceId));
  if (!device.Valid()) return -1;
  uint8_t answer[kInquiryDataLength] = {};
  DWORD returned = 0;
  if (!system_->Control(device.Get(), IOCTL_SCSI_GET_INQUIRY_DATA, nullptr, 0, answer, sizeof answer, &returned))
    return -1;
  std::lock_guard lock(mutex_);
  busCount_ = answer[0];
  return static_cast<int32_t>(busCount_);
}

int PassThroughTransport::Execute(const uint8_t* cdb, uint8_t cdbLength, DeviceId deviceId, void* data,
                                  uint32_t dataLength, uint32_t direction, uint32_t /*timeoutMs*/,
                                  SenseResult* sense) {
  UCHAR dataIn;
  switch (static_cast<uint8_t>(direction)) {
    case DirIn: dataIn = SCSI_IOCTL_DATA_IN; break;
    case DirOut: dataIn = SCSI_IOCTL_DATA_OUT; break;
    case DirNone: dataIn = SCSI_IOCTL_DATA_UNSPECIFIED; break;
    default: return 1;
  }
  if (!cdb || cdbLength == 0 || cdbLength > sizeof request_.header.Cdb) return 1;
  if (dataIn == SCSI_IOCTL_DATA_UNSPECIFIED) {
    data = nullptr;
    dataLength = 0;
  } else if (!data && dataLength != 0) {
    return 1;
  }

  std::lock_guard lock(mutex_);
  HANDLE device = HandleFor(deviceId);
  if (device == INVALID_HANDLE_VALUE) return 1;

  request_ = PassThroughRequest{};
  SCSI_PASS_THROUGH_DIRECT& h = request_.header;
  h.Length = sizeof(SCSI_PASS_THROUGH_DIRECT);
  h.PathId = 0;
  h.TargetId = 1;
  h.Lun = 0;
  h.CdbLength = cdbLength;
  h.SenseInfoLength = sizeof request_.sense;
  h.DataIn = dataIn;
  h.DataTransferLength = dataLength;
  h.TimeOutValue = kTimeoutSeconds;
  h.DataBuffer = data;
  h.SenseInfoOffset = offsetof(PassThroughRequest, sense);
  std::memcpy(h.Cdb, cdb, cdbLength);

  DWORD returned = 0;
  if (!system_->Control(device, IOCTL_SCSI_PASS_THROUGH_DIRECT, &request_, sizeof request_, &request_,
                        sizeof request_, &returned))
    return 1;
  if (h.ScsiStatus == 0) return 0;
  FillSenseFromFixedFormat(h.ScsiStatus, request_.sense, sizeof request_.sense, sense);
  return 1;
}

int PassThroughTransport::LockVolume(DeviceId deviceId, uint32_t lock) {
  std::lock_guard guard(mutex_);
  HANDLE device = HandleFor(deviceId);
  if (device == INVALID_HANDLE_VALUE) return 1;
  DWORD returned = 0;
  const DWORD code = lock ? FSCTL_LOCK_VOLUME : FSCTL_UNLOCK_VOLUME;
  return system_->Control(device, code, nullptr, 0, nullptr, 0, &returned) ? 0 : 1;
}

}  // namespace dorvik
