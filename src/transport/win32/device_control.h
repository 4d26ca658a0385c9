#pragma once
// The three system calls the pass-through transport makes, behind one seam
// so tests can answer them with a scripted device instead of a drive.
#include <windows.h>

#include <memory>

namespace dorvik {

class DeviceControl {
 public:
  virtual ~DeviceControl() = default;
  // CreateFileA with read and write access and sharing, open-existing;
  // INVALID_HANDLE_VALUE when the device cannot be opened.
  virtual HANDLE Open(const char* path) = 0;
  // DeviceIoControl without overlap; non-zero on success.
  virtual BOOL Control(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                       DWORD* returned) = 0;
  virtual void Close(HANDLE device) = 0;
};

// The system's own calls.
std::unique_ptr<DeviceControl> SystemDeviceControl();

}  // namespace dorvik
