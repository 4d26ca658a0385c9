#pragma once
// One optical drive: builds MMC command blocks and sends them through the
// process's transport under the drive's id. Command operations return 0 on
// success and 1 on failure, leaving the failure's sense in lastSense.
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "drive/image_device.h"
#include "drive/profiles.h"
#include "transport/scsi_transport.h"

namespace dorvik {

inline constexpr uint32_t kCapabilitiesLength = 26;
inline constexpr uint32_t kInquiryLength = 96;
inline constexpr uint32_t kModePageAnswerLength = 1024;
inline constexpr uint32_t kDiscInformationLength = 546;

class Drive {
 public:
  // id != 0: bound to the process transport; sends INQUIRY and reads the
  // capabilities page. id == 0: the inert, image-mode drive.
  explicit Drive(DeviceId id);
  // Same, with an explicit transport (tests, and the registry's probe).
  Drive(DeviceId id, ScsiTransport* transport);
  // No id, no transport: must be put into image mode by OpenImage first.
  Drive();
  virtual ~Drive();
  Drive(const Drive&) = delete;
  Drive& operator=(const Drive&) = delete;

  DeviceId GetId() const { return id_; }
  bool ImageMode() const { return imageMode_; }
  const std::string& ImagePath() const { return imagePath_; }
  ImageDevice* GetImageDevice() const { return imageDevice_.get(); }
  SenseResult& LastSense() { return lastSense_; }
  const std::array<uint8_t, kCapabilitiesLength>& Capabilities() const { return capabilities_; }
  ScsiTransport* Transport() const { return transport_; }

  // --- basic commands ---
  int IsReady();
  int Inquiry(uint8_t* buffer);  // 96 bytes
  int LoadOrEject(bool eject);
  int PreventRemoval(uint8_t prevent);
  int ModeSense(uint8_t* buffer, uint16_t length, uint8_t page, DeviceId id, SenseResult* sense);
  int ModeSelect(uint8_t* buffer, uint16_t length);
  int GetConfiguration(uint8_t* buffer, uint16_t length);
  void LockVolume(bool lock);

  // --- derived queries ---
  // Copies INQUIRY's vendor (8) and product (16) fields, NUL-padded,
  // unterminated when full. 0 on success.
  int GetVendorProduct(char* vendor, char* product);
  // The mode page after the header and block descriptors; never reads past
  // the 1024-byte answer.
  int ReadModePage(uint8_t* buffer, uint32_t length, DeviceId id, SenseResult* sense, uint8_t page);
  uint32_t CurrentProfile();
  uint32_t DriveClass();

  // --- disc information (READ DISC INFORMATION, 546 bytes zero-filled) ---
  int ReadDiscInformation(uint8_t* buffer);

  // Puts the drive into image mode over an image file (disc image source).
  // Returns true when the image was recognised.
  bool OpenImage(const std::string& path);

 protected:
  // Sends one command; the result rule in one place.
  int Send(const uint8_t* cdb, uint8_t cdbLength, void* data, uint32_t dataLength, Direction direction,
           uint32_t timeoutMs);
  int Send(const uint8_t* cdb, uint8_t cdbLength, void* data, uint32_t dataLength, Direction direction,
           uint32_t timeoutMs, DeviceId id, SenseResult* sense);

  ScsiTransport* transport_ = nullptr;
  DeviceId id_ = 0;
  SenseResult lastSense_{};
  bool imageMode_ = false;
  std::string imagePath_;
  std::unique_ptr<ImageDevice> imageDevice_;
  std::array<uint8_t, kCapabilitiesLength> capabilities_{};

 private:
  void Probe();
};

// A Drive that carries the recording commands.
class Recorder : public virtual Drive {
 public:
  explicit Recorder(DeviceId id) : Drive(id) {}
  Recorder(DeviceId id, ScsiTransport* transport) : Drive(id, transport) {}
  ~Recorder() override = default;
};

// Big-endian field helpers for CDBs and MMC answers.
inline uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t Be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}
inline void PutBe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v >> 8);
  p[1] = static_cast<uint8_t>(v);
}
inline void PutBe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}

}  // namespace dorvik
