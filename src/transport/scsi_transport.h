#pragma once
// The one seam every MMC command passes through on its way to a device.
#include <cstdint>

namespace dorvik {

using DeviceId = uint8_t;

// Data-phase direction of a command; only the low byte is looked at.
enum Direction : uint32_t {
  DirIn = 0x20,    // device -> caller's buffer
  DirOut = 0x21,   // caller's buffer -> device
  DirNone = 0x22,  // no data phase
};

// What a failed command leaves behind. Cleared to zero before a transport
// fills it; left untouched when the command never reached the device.
struct SenseResult {
  uint32_t information = 0;  // sense bytes 8..11, byte 8 the low byte
  uint8_t senseKey = 0;
  uint8_t asc = 0;
  uint8_t ascq = 0;
  uint8_t status = 0;         // SCSI status byte
  uint8_t adapterStatus = 0;  // 0 on pass-through transports
  uint8_t targetStatus = 0;   // 0 on pass-through transports
};

class ScsiTransport {
 public:
  virtual bool CheckAdapter(DeviceId deviceId, uint32_t reserved) = 0;
  virtual bool CheckDevice(uint32_t a, uint32_t b) = 0;
  virtual int32_t BusCount(DeviceId deviceId) = 0;
  // 0 when the device completed the command with good status, 1 otherwise.
  virtual int Execute(const uint8_t* cdb, uint8_t cdbLength, DeviceId deviceId, void* data, uint32_t dataLength,
                      uint32_t direction, uint32_t timeoutMs, SenseResult* sense) = 0;
  virtual int LockVolume(DeviceId deviceId, uint32_t lock) = 0;
  virtual ~ScsiTransport() = default;
};

// Fills a SenseResult from a SCSI status and fixed-format sense bytes, the
// way both pass-through backends report a check condition.
void FillSenseFromFixedFormat(uint8_t scsiStatus, const uint8_t* sense, uint32_t senseLength, SenseResult* out);

inline constexpr uint32_t kUnlimitedTimeout = 0xFFFFFFFFu;

}  // namespace dorvik
