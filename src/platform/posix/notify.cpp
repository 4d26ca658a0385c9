#include "platform/notify.h"

#include <mutex>

namespace dorvik::platform {

namespace {
std::mutex gMutex;
DorvikNotifyFn gCallback = nullptr;
void* gContext = nullptr;
}  // namespace

void SetHostCallback(DorvikNotifyFn callback, void* context) {
  std::lock_guard lock(gMutex);
  gCallback = callback;
  gContext = context;
}

void NotifyHost(uint32_t window, uint32_t messageId, uint32_t wParam, const char* lParam) {
  if (window == 0) return;
  DorvikNotifyFn fn;
  void* ctx;
  {
    std::lock_guard lock(gMutex);
    fn = gCallback;
    ctx = gContext;
  }
  if (fn) fn(ctx, window, messageId, wParam, lParam);
}

}  // namespace dorvik::platform
