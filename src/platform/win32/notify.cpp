#include "platform/notify.h"

#include <windows.h>

namespace dorvik::platform {

void NotifyHost(uint32_t window, uint32_t messageId, uint32_t wParam, const char* lParam) {
  if (window == 0) return;
  // Window handles carry 32 significant bits on 64-bit Windows too and are
  // sign-extended there, which is how a 32-bit value names one.
  const auto hwnd = reinterpret_cast<HWND>(static_cast<intptr_t>(static_cast<int32_t>(window)));
  ::SendMessageA(hwnd, messageId, static_cast<WPARAM>(wParam), reinterpret_cast<LPARAM>(lParam));
}

}  // namespace dorvik::platform
