#include "transport/win32/device_control.h"

namespace dorvik {

namespace {
class SystemCalls final : public DeviceControl {
 public:
  HANDLE Open(const char* path) override {
    return ::CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  }
  BOOL Control(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
               DWORD* returned) override {
    return ::DeviceIoControl(device, code, in, inSize, out, outSize, returned, nullptr);
  }
  void Close(HANDLE device) override { ::CloseHandle(device); }
};
}  // namespace

std::unique_ptr<DeviceControl> SystemDeviceControl() { return std::make_unique<SystemCalls>(); }

}  // namespace dorvik
