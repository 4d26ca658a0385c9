#pragma once
// How the library tells the host about events (a window message on Windows).
#include <cstdint>

extern "C" typedef void (*DorvikNotifyFn)(void* context, uint32_t window, uint32_t messageId,
                                          uint32_t wParam, const char* lParam);

namespace dorvik::platform {

// POSIX only: the callback that stands in for the window. Windows sends the
// message to the window itself (SendMessageA).
void SetHostCallback(DorvikNotifyFn callback, void* context);
// Sent synchronously; nothing happens when window is 0 or no callback is set.
void NotifyHost(uint32_t window, uint32_t messageId, uint32_t wParam, const char* lParam);

}  // namespace dorvik::platform
