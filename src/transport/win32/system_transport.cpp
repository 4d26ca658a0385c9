#include "transport/system_transport.h"

#include <windows.h>

#include "transport/win32/aspi_transport.h"
#include "transport/win32/pass_through_transport.h"

namespace dorvik {

std::unique_ptr<ScsiTransport> TransportForPlatform(uint32_t platformId) {
  switch (platformId) {
    case VER_PLATFORM_WIN32_WINDOWS: return std::make_unique<AspiTransport>();
    case VER_PLATFORM_WIN32_NT: return std::make_unique<PassThroughTransport>();
    default: return nullptr;  // Win32s and anything unknown: no way to the drives
  }
}

std::unique_ptr<ScsiTransport> MakeSystemTransport() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;
  static_assert(sizeof(OSVERSIONINFOA) == 148);
  if (!::GetVersionExA(&version)) return nullptr;
  return TransportForPlatform(version.dwPlatformId);
}

}  // namespace dorvik
