#pragma once
// One device reachable under a DeviceId: a real drive behind SG_IO, or the
// software recorder. Both answer the way a SCSI target does (status byte and
// fixed-format sense), so the transport above treats them the same.
#include <cstdint>
#include <string>

#include "transport/scsi_transport.h"

namespace dorvik {

inline constexpr uint32_t kSenseBufferLength = 32;

struct DeviceReply {
  uint8_t status = 0;                       // SCSI status; 0 = GOOD, 2 = CHECK CONDITION
  uint8_t sense[kSenseBufferLength] = {};   // fixed-format sense data when status != 0
};

class ScsiDevice {
 public:
  virtual ~ScsiDevice() = default;
  // false when the command could not be delivered at all (no device, the
  // system call failed); reply is then meaningless. The transport has
  // already checked the direction and passes no buffer for DirNone.
  virtual bool Send(const uint8_t* cdb, uint8_t cdbLength, void* data, uint32_t dataLength, Direction direction,
                    uint32_t timeoutMs, DeviceReply& reply) = 0;
  // 0 on success. Devices that have nothing to lock answer 0.
  virtual int LockVolume(bool lock) {
    (void)lock;
    return 0;
  }
  virtual std::string Describe() const = 0;
  // The system's error code when the device could not be opened (EACCES,
  // EBUSY ...); 0 when it was, or when it has nothing to open.
  virtual int OpenError() const { return 0; }
};

}  // namespace dorvik
