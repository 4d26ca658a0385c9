#pragma once
// The recorders found when the library was loaded, in scan order, and the
// inert entry (id 0) always last.
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "drive/drive.h"
#include "registry/setup_problem.h"

namespace dorvik {

class DeviceRegistry {
 public:
  DeviceRegistry() = default;
  ~DeviceRegistry();
  DeviceRegistry(const DeviceRegistry&) = delete;
  DeviceRegistry& operator=(const DeviceRegistry&) = delete;

  // Scans the platform's devices, attaches them to the process transport,
  // keeps the ones that can record. What kept a device or a setting entry
  // from becoming a recorder (or made one otherwise than asked) is kept in
  // Problems() and written to the diagnostic log.
  void Build();
  // Probes the given ids through transport (kept in the given order).
  void Build(ScsiTransport* transport, const std::vector<DeviceId>& ids);

  uint32_t Count() const { return static_cast<uint32_t>(entries_.size()); }
  Recorder* Find(DeviceId id) const;
  void Clear();
  const std::vector<SetupProblem>& Problems() const { return problems_; }

  // The acceptance rule on page 0x2A: can this drive record?
  static bool CanRecord(const uint8_t* page);

 private:
  std::deque<std::unique_ptr<Recorder>> entries_;
  std::vector<SetupProblem> problems_;
};

}  // namespace dorvik
