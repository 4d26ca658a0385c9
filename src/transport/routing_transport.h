#pragma once
// The POSIX transport: each DeviceId is routed to the ScsiDevice attached
// under it (SG_IO drive or software recorder).
#include <array>
#include <memory>
#include <mutex>

#include "transport/scsi_device.h"
#include "transport/scsi_transport.h"

namespace dorvik {

class RoutingTransport final : public ScsiTransport {
 public:
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
  std::array<std::unique_ptr<ScsiDevice>, 256> devices_;
  // The drive layer keeps commands one at a time; the lock makes a host
  // that breaks that rule safe rather than racy.
  mutable std::mutex mutex_;
};

}  // namespace dorvik
