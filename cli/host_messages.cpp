#include "host_messages.h"

#include <unistd.h>

#include <cstdio>
#include <mutex>

#include "dorvik.h"

namespace dorvik::cli {
namespace {

// The message window is a number the callback gets back; any non-zero
// value makes the library send (0 would silence it, as on Windows).
constexpr uint32_t kWindow = 1;
constexpr uint32_t kMessage = 0x401;

struct Listener {
  std::mutex mutex;
  const char* command = "";
  std::set<std::string> told;
  size_t leftOut = 0;
};

Listener& TheListener() {
  static Listener listener;
  return listener;
}

// May come from a thread of the library's (the reader of a write).
void OnMessage(void*, uint32_t, uint32_t, uint32_t wParam, const char* path) {
  if (wParam != DORVIK_NOTIFY_UNREADABLE_FILE || !path) return;
  Listener& l = TheListener();
  std::lock_guard lock(l.mutex);
  if (!l.told.insert(path).second) return;
  ++l.leftOut;
  // On a terminal the progress line is cleared first; it is drawn again at its next update.
  const char* clear = ::isatty(::fileno(stderr)) == 1 ? "\r\x1b[K" : "";
  // A disc path (it begins with a backslash) names an entry of the disc's
  // earlier session; a source path, a file of the collection.
  if (path[0] == '\\')
    std::fprintf(stderr, "%sdorvik %s: %s on the disc cannot be carried into the new session; only the earlier session shows it\n",
                 clear, l.command, path);
  else
    std::fprintf(stderr, "%sdorvik %s: %s cannot be read; it will not be on the disc whole\n", clear, l.command, path);
}

}  // namespace

void ListenToLibrary(const char* command, const std::set<std::string>& alreadyReported) {
  Listener& l = TheListener();
  {
    std::lock_guard lock(l.mutex);
    l.command = command;
    l.told = alreadyReported;
  }
  Vuz_SetMessageCallback(&OnMessage, nullptr);
  Vuz_SetMessageHandle(kWindow, kMessage);
}

size_t FilesLeftOut() {
  Listener& l = TheListener();
  std::lock_guard lock(l.mutex);
  return l.leftOut;
}

}  // namespace dorvik::cli
