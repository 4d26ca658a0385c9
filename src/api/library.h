#pragma once
// The process-wide objects and settings the exports work on. Made when the
// library is loaded (or on first use when linked statically) in the order
// log switch, device registry, burn manager, file collection, and taken
// down in reverse.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "collection/file_collection.h"
#include "registry/device_registry.h"

namespace dorvik {

inline constexpr uint8_t kNoDevice = 0xFF;

struct ApiState {
  std::atomic<uint8_t> currentDeviceId{kNoDevice};
  std::atomic<uint32_t> messageWindow{0};
  std::atomic<uint32_t> messageId{0x401};
  std::atomic<bool> leaveSessionOpen{false};
  std::atomic<bool> ejectAfterWrite{true};
  std::atomic<int32_t> burnProofSetting{0};
};

class Library {
 public:
  // The running library, started on first use.
  static Library& Get();
  static void Start();
  // The shared library's load hook: its unload hook stops the library, so
  // no exit-time stop is registered (it could run after an unload).
  static void StartAtLoad();
  static void Stop();

  ApiState state;
  DeviceRegistry registry;
  // Made after the registry and destroyed before it; its destructor deletes
  // the workspace tree.
  std::unique_ptr<FileCollection> collection;

  // The current recorder, or null (exports then answer -8).
  Recorder* CurrentRecorder() const { return registry.Find(state.currentDeviceId.load()); }

 private:
  Library();
  ~Library();
  static std::mutex mutex_;
  static Library* instance_;
  static bool unloadedByLoader_;
};

// Tells the host that a collection file could not be opened (wParam 600).
void NotifyUnreadableFile(const char* path);

}  // namespace dorvik
