#pragma once
// The transport of the Windows NT family: each drive letter opened as a
// volume ("\\.\D:") and every CDB sent with IOCTL_SCSI_PASS_THROUGH_DIRECT.
// One handle per id, opened on first use and kept until the transport goes.
#include <windows.h>
#include <ntddscsi.h>

#include <array>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>

#include "transport/scsi_transport.h"
#include "transport/win32/device_control.h"

namespace dorvik {

// The request, with the sense buffer the driver fills after it.
struct PassThroughRequest {
  SCSI_PASS_THROUGH_DIRECT header;
  ULONG filler;
  UCHAR sense[32];
};
#if !defined(_WIN64)
// The 32-bit layout every driver of the family knows.
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 44 && sizeof(PassThroughRequest) == 80);
static_assert(offsetof(PassThroughRequest, sense) == 48);
#endif

class PassThroughTransport final : public ScsiTransport {
 public:
  // Drive letters A: to Z:; other ids name no volume.
  static constexpr DeviceId kLastLetterId = 25;
  // What the driver is given for every command, whatever the caller asked.
  static constexpr ULONG kTimeoutSeconds = 60;

  explicit PassThroughTransport(std::unique_ptr<DeviceControl> system = SystemDeviceControl());
  ~PassThroughTransport() override;
  PassThroughTransport(const PassThroughTransport&) = delete;
  PassThroughTransport& operator=(const PassThroughTransport&) = delete;

  // "\\.\" and the id's drive letter with a colon: id 3 is \\.\D:
  static std::string DevicePath(DeviceId id);

  bool CheckAdapter(DeviceId deviceId, uint32_t reserved) override;
  bool CheckDevice(uint32_t a, uint32_t b) override;
  int32_t BusCount(DeviceId deviceId) override;
  int Execute(const uint8_t* cdb, uint8_t cdbLength, DeviceId deviceId, void* data, uint32_t dataLength,
              uint32_t direction, uint32_t timeoutMs, SenseResult* sense) override;
  // 0 when the volume was locked or unlocked, 1 otherwise.
  int LockVolume(DeviceId deviceId, uint32_t lock) override;

 private:
  // The id's handle, opened on first use; a failed open is kept and never
  // retried. INVALID_HANDLE_VALUE for ids without a drive letter.
  HANDLE HandleFor(DeviceId id);

  std::unique_ptr<DeviceControl> system_;
  // The drive layer keeps commands one at a time; the lock makes a host
  // that breaks that rule safe rather than racy over the one request area.
  std::mutex mutex_;
  uint32_t busCount_ = 0;
  PassThroughRequest request_{};
  std::array<HANDLE, kLastLetterId + 1> handles_{};  // null: not opened yet
};

}  // namespace dorvik
