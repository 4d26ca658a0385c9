#pragma once
// A ScsiDevice that answers every command the same scripted way and keeps
// what it was sent.
#include <cstring>
#include <vector>

#include "transport/scsi_device.h"

namespace dorvik::test {

class ScriptedDevice final : public ScsiDevice {
 public:
  uint8_t status = 0;
  uint8_t sense[kSenseBufferLength] = {};
  std::vector<uint8_t> dataIn;  // copied into the caller's buffer

  struct Received {
    std::vector<uint8_t> cdb;
    void* data = nullptr;
    uint32_t length = 0;
    Direction direction = DirNone;
  };
  std::vector<Received> received;

  bool Send(const uint8_t* cdb, uint8_t cdbLength, void* data, uint32_t dataLength, Direction direction, uint32_t,
            DeviceReply& reply) override {
    received.push_back({{cdb, cdb + cdbLength}, data, dataLength, direction});
    if (direction == DirIn && data) std::memcpy(data, dataIn.data(), std::min<size_t>(dataLength, dataIn.size()));
    reply.status = status;
    std::memcpy(reply.sense, sense, sizeof sense);
    return true;
  }
  std::string Describe() const override { return "scripted"; }
};

}  // namespace dorvik::test
