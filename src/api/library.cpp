#include "api/library.h"

#include <cstdlib>

#include "diag/log.h"
#include "platform/notify.h"

namespace dorvik {

std::mutex Library::mutex_;
Library* Library::instance_ = nullptr;
bool Library::unloadedByLoader_ = false;

Library::Library() {
  // Log switch first: everything after may want to log.
  diag::ReadLogSwitch();
  registry.Build();
  collection = std::make_unique<FileCollection>();
}

Library::~Library() { collection.reset(); }

Library& Library::Get() {
  std::lock_guard lock(mutex_);
  if (!instance_) {
    instance_ = new Library();
    // Linked statically (the program, the tests) nobody unloads us, yet the
    // workspace folder must not outlive the process.
    static bool stopAtExit = false;
    if (!unloadedByLoader_ && !stopAtExit) {
      stopAtExit = true;
      std::atexit([] { Stop(); });
    }
  }
  return *instance_;
}

void Library::Start() { Get(); }

void Library::StartAtLoad() {
  {
    std::lock_guard lock(mutex_);
    unloadedByLoader_ = true;
  }
  Get();
}

void Library::Stop() {
  std::lock_guard lock(mutex_);
  delete instance_;
  instance_ = nullptr;
}

void NotifyUnreadableFile(const char* path) {
  auto& state = Library::Get().state;
  platform::NotifyHost(state.messageWindow.load(), state.messageId.load(), 600, path);
}

}  // namespace dorvik
