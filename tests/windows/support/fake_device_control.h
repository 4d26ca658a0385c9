#pragma once
// The pass-through transport's system calls answered in process: volume
// paths that open, every request kept as it was sent, and pass-through
// requests served by a ScsiDevice (the software recorder, or a script).
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "transport/scsi_device.h"
#include "transport/win32/device_control.h"
#include "transport/win32/pass_through_transport.h"

namespace dorvik::test {

struct ControlCall {
  HANDLE device = nullptr;
  DWORD code = 0;
  DWORD inSize = 0, outSize = 0;
  PassThroughRequest request{};  // a copy, for pass-through requests
  bool sameBuffers = false;      // in and out were the same buffer
};

class FakeDeviceControl final : public DeviceControl {
 public:
  // A volume that opens, answering pass-through requests with device.
  void AddVolume(const std::string& path, ScsiDevice* device);

  HANDLE Open(const char* path) override;
  BOOL Control(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
               DWORD* returned) override;
  void Close(HANDLE device) override;

  // Every call fails, as a driver that refuses the request would.
  bool failControl = false;
  // IOCTL_SCSI_GET_CAPABILITIES's maximum transfer length, and the bus
  // count of IOCTL_SCSI_GET_INQUIRY_DATA.
  uint32_t maximumTransfer = 65536;
  uint8_t buses = 1;

  std::vector<std::string> opened;  // every path asked for, in order
  std::vector<HANDLE> closed;
  std::vector<ControlCall> calls;
  HANDLE HandleOf(const std::string& path) const;

 private:
  struct Volume {
    HANDLE handle;
    ScsiDevice* device;
  };
  std::map<std::string, Volume> volumes_;
  const Volume* Find(HANDLE h) const;
};

// A DeviceControl that passes every call on to fake, so the test keeps the
// fake (and what it saw) after the transport is gone.
std::unique_ptr<DeviceControl> Borrow(FakeDeviceControl& fake);

}  // namespace dorvik::test
