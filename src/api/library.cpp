#include "api/library.h"

#include <cstdlib>

#include "api/image_composition.h"
#include "diag/log.h"
#include "dorvik.h"
#include "platform/notify.h"

namespace dorvik {

std::mutex Library::mutex_;
Library* Library::instance_ = nullptr;
bool Library::unloadedByLoader_ = false;

Library::Library() {
  // Log switch first: everything after may want to log.
  diag::ReadLogSwitch();
  registry.Build();
  // The composer's reader thread tells the host through the settings, not
  // through Get: the library may be stopping and waiting for that thread.
  burnManager = std::make_unique<BurnManager>([this](const char* path) { NotifyUnreadableFileThrough(state, path); });
  collection = std::make_unique<FileCollection>();
  composition = std::make_unique<ImageComposition>([this](const char* path) { NotifyUnreadableFileThrough(state, path); });
}

Library::~Library() {
  composition.reset();
  collection.reset();
  burnManager.reset();  // stops a track still running and joins its threads
}

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

void NotifyUnreadableFileThrough(const ApiState& state, const char* path) {
  platform::NotifyHost(state.messageWindow.load(), state.messageId.load(), 600, path);
}

DeviceUse::DeviceUse(Library& library) : library_(library), drive_(library.CurrentRecorder()) {
  if (!drive_) {
    refusal_ = DORVIK_E_NO_DEVICE;
  } else if (!library_.claims.ClaimForUse(drive_)) {
    refusal_ = DORVIK_E_BUSY;
  } else {
    claimed_ = true;
  }
}

DeviceUse::~DeviceUse() {
  if (claimed_) library_.claims.ReleaseUse(drive_);
}

}  // namespace dorvik
