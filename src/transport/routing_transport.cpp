#include "transport/routing_transport.h"

namespace dorvik {

void RoutingTransport::Attach(DeviceId id, std::unique_ptr<ScsiDevice> device) {
  std::lock_guard lock(mutex_);
  devices_[id] = std::move(device);
}

ScsiDevice* RoutingTransport::DeviceFor(DeviceId id) const {
  std::lock_guard lock(mutex_);
  return devices_[id].get();
}

ScsiTransport* RoutingTransport::SystemFor(DeviceId id) const {
  if (!system_) return nullptr;
  std::lock_guard lock(mutex_);
  return devices_[id] ? nullptr : system_.get();
}

bool RoutingTransport::CheckAdapter(DeviceId deviceId, uint32_t reserved) {
  if (ScsiTransport* system = SystemFor(deviceId)) return system->CheckAdapter(deviceId, reserved);
  return DeviceFor(deviceId) != nullptr;
}
bool RoutingTransport::CheckDevice(uint32_t, uint32_t) { return true; }
int32_t RoutingTransport::BusCount(DeviceId deviceId) {
  if (ScsiTransport* system = SystemFor(deviceId)) return system->BusCount(deviceId);
  return 1;
}

int RoutingTransport::Execute(const uint8_t* cdb, uint8_t cdbLength, DeviceId deviceId, void* data,
                              uint32_t dataLength, uint32_t direction, uint32_t timeoutMs, SenseResult* sense) {
  if (ScsiTransport* system = SystemFor(deviceId))
    return system->Execute(cdb, cdbLength, deviceId, data, dataLength, direction, timeoutMs, sense);
  const auto dir = static_cast<uint8_t>(direction);
  if (dir != DirIn && dir != DirOut && dir != DirNone) return 1;
  if (!cdb || cdbLength == 0 || cdbLength > 16) return 1;
  if (dir == DirNone) {
    data = nullptr;
    dataLength = 0;
  } else if (!data && dataLength != 0) {
    return 1;
  }
  std::lock_guard lock(mutex_);
  ScsiDevice* device = devices_[deviceId].get();
  if (!device) return 1;
  DeviceReply reply;
  if (!device->Send(cdb, cdbLength, data, dataLength, static_cast<Direction>(dir), timeoutMs, reply)) return 1;
  if (reply.status == 0) return 0;
  FillSenseFromFixedFormat(reply.status, reply.sense, kSenseBufferLength, sense);
  return 1;
}

int RoutingTransport::LockVolume(DeviceId deviceId, uint32_t lock) {
  if (ScsiTransport* system = SystemFor(deviceId)) return system->LockVolume(deviceId, lock);
  std::lock_guard guard(mutex_);
  ScsiDevice* device = devices_[deviceId].get();
  return device ? device->LockVolume(lock != 0) : 1;
}

}  // namespace dorvik
