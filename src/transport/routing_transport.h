#pragma once
// The process transport: each DeviceId is routed to the ScsiDevice attached
// under it (SG_IO drive or software recorder). Ids with nothing attached go
// to the system transport when there is one (Windows: pass-through or ASPI,
// which reach the drive letters themselves).
#include <array>
#include <memory>
#include <mutex>

#include "transport/scsi_device.h"
#include "transport/scsi_transport.h"

namespace dorvik {

class RoutingTransport final : public ScsiTransport {
 public:
  explicit RoutingTransport(std::unique_ptr<ScsiTransport> system = nullptr) : system_(std::move(system)) {}
  ScsiTransport* System() const { return system_.get(); }
  // Replaces whatever was attached under id.
  void Attach(DeviceId id, std::unique_ptr<ScsiDevice> device);
  ScsiDevice* DeviceFor(DeviceId id) const;

  bool CheckAdapter(DeviceId deviceId, uint32_t reserved) override;
  bool CheckDevice(uint32_t a, uint32_t b) override;
  int32_t BusCount(DeviceId deviceId) override;
  int Execute(const uint8_t* cdb, uint8_t cdbLength, DeviceId deviceId, void* data, uint32_t dataLength,
              uint32_t direction, uint32_t timeoutMs, SenseResult* sense) override;
  int LockVolume(DeviceId deviceId, uint32_t lock) override;

 private:
  // Set when nothing is attached under id and there is a system transport.
  ScsiTransport* SystemFor(DeviceId id) const;

  std::unique_ptr<ScsiTransport> system_;
  std::array<std::unique_ptr<ScsiDevice>, 256> devices_;
  // The drive layer keeps commands one at a time; the lock makes a host
  // that breaks that rule safe rather than racy.
  mutable std::mutex mutex_;
};

}  // namespace dorvik
