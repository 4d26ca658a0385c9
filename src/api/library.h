#pragma once
// The process-wide objects and settings the exports work on. Made when the
// library is loaded (or on first use when linked statically) in the order
// log switch, device registry, burn manager, file collection, and taken
// down in reverse.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "api/drive_claims.h"
#include "burn/burn_manager.h"
#include "collection/file_collection.h"
#include "registry/device_registry.h"

namespace dorvik {

class ImageComposition;

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
  // Made after the registry and destroyed before it: its tracks write to
  // the registry's drives.
  std::unique_ptr<BurnManager> burnManager;
  // Made last and destroyed first; its destructor deletes the workspace tree.
  std::unique_ptr<FileCollection> collection;
  // A composition a host reads itself (Vuz_ComposeImage); ended before the
  // collection goes.
  std::unique_ptr<ImageComposition> composition;
  DriveClaims claims;

  // The current recorder, or null (exports then answer -8).
  Recorder* CurrentRecorder() const { return registry.Find(state.currentDeviceId.load()); }

 private:
  Library();
  ~Library();
  static std::mutex mutex_;
  static Library* instance_;
  static bool unloadedByLoader_;
};

// The current recorder, claimed for one device export: refused (-8, or
// DORVIK_E_BUSY while a write job writes to it) or usable until the
// object goes.
class DeviceUse {
 public:
  explicit DeviceUse(Library& library);
  ~DeviceUse();
  DeviceUse(const DeviceUse&) = delete;
  DeviceUse& operator=(const DeviceUse&) = delete;
  explicit operator bool() const { return claimed_; }
  int32_t Refusal() const { return refusal_; }
  Recorder* Drive() const { return drive_; }

 private:
  Library& library_;
  Recorder* drive_;
  bool claimed_ = false;
  int32_t refusal_ = 0;
};

// Tells the host that a collection file could not be opened (wParam 600),
// through the settings themselves rather than Get: the callers run under
// locks or on threads that Stop may be waiting for.
void NotifyUnreadableFileThrough(const ApiState& state, const char* path);

}  // namespace dorvik
