#pragma once
// One optical drive: builds MMC command blocks and sends them through the
// process's transport under the drive's id. Command operations return 0 on
// success and 1 on failure, leaving the failure's sense in lastSense.
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "drive/image_device.h"
#include "drive/profiles.h"
#include "drive/write_settings.h"
#include "transport/scsi_transport.h"

namespace dorvik {

inline constexpr uint32_t kCapabilitiesLength = 26;
inline constexpr uint32_t kInquiryLength = 96;
inline constexpr uint32_t kModePageAnswerLength = 1024;
inline constexpr uint32_t kDiscInformationLength = 546;
inline constexpr uint32_t kTrackInformationLength = 36;
// READ DISC INFORMATION byte 2: the disc's status (bits 0-1) and the state
// of its last session (bits 2-3).
inline constexpr uint8_t kDiscStatusEmpty = 0;
inline constexpr uint8_t kDiscStatusComplete = 2;
inline constexpr uint8_t kSessionStateEmpty = 0;
inline constexpr uint8_t kSessionStateComplete = 3;
// READ TRACK INFORMATION byte 5, low nibble: track modes from 4 up are data.
inline constexpr uint8_t kFirstDataTrackMode = 4;
inline constexpr uint32_t kTocAnswerLength = 2048;
inline constexpr uint32_t kUserSectorLength = 2048;
inline constexpr uint32_t kRawSectorLength = 2352;

// Readiness polls wait at most this long (nominal time, before the time
// scale) so a drive that never becomes ready cannot hold the caller forever.
inline constexpr uint32_t kReadyWaitLimitMs = 2 * 60 * 60 * 1000;

// File systems FileSystemKind reports, as bits.
enum FileSystem : int { kNoFileSystem = 0, kIso9660 = 1, kUdf = 2 };

// What the capabilities page says about speeds, and the write-speed range
// found by trying the usual multiples of the medium's 1x rate (kB/s).
struct SpeedReport {
  uint16_t currentRead = 0;
  uint16_t currentWrite = 0;
  uint16_t maxRead = 0;
  uint16_t maxWrite = 0;
  uint16_t minWrite = 10000;
};

class Drive {
 public:
  // id != 0: commands go through transport under id; sends INQUIRY and
  // reads the capabilities page. id == 0: the inert, image-mode drive.
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

  // Polls IsReady, sleeping periodMs between polls, until the drive is ready
  // or limitMs of nominal waiting has passed. True when it became ready.
  bool WaitUntilReady(uint32_t periodMs) { return WaitUntilReady(periodMs, readyWaitLimitMs_); }
  bool WaitUntilReady(uint32_t periodMs, uint32_t limitMs);
  // The bound of every readiness wait the drive's own operations make.
  void SetReadyWaitLimit(uint32_t limitMs) { readyWaitLimitMs_ = limitMs; }
  uint32_t ReadyWaitLimit() const { return readyWaitLimitMs_; }

  // --- disc and track information ---
  int ReadDiscInformation(uint8_t* buffer);  // 546 bytes, zero-filled first
  int ReadTrackInformation(uint8_t* buffer, uint8_t addressType, uint32_t number);  // 36 bytes
  int ReadToc(uint8_t* buffer, uint32_t length, uint8_t format, uint8_t number);
  int Read10(uint8_t* buffer, uint32_t length, uint32_t blocks, uint32_t lba);
  int ReadCd(uint8_t* buffer, uint32_t length, uint32_t blocks, uint8_t relAdr, uint8_t sectorType, uint32_t lba,
             uint8_t errorField, uint8_t edc, uint8_t userData, uint8_t headerCodes, uint8_t sync,
             uint8_t subChannel);
  // Whole 2352-byte sectors: sync, headers, user data and EDC.
  int ReadRawSectors(uint8_t* buffer, uint32_t length, uint32_t blocks, uint32_t lba);
  // User data only, by READ CD and, when the drive refuses that, READ(10).
  int ReadUserSectors(uint8_t* buffer, uint32_t length, uint32_t blocks, uint32_t lba);
  // A READ TRACK INFORMATION record made from the TOC, for drives that do
  // not answer that command. addressType 1: by track number; 0: the track
  // holding LBA number. 0 on success (also when no track matched, leaving
  // the record as it was), 1 on failure.
  int TrackInfoFromToc(uint8_t* record, uint8_t addressType, uint32_t number);
  int IsBlank();     // 1 blank, 0 not
  int IsWritable();  // 1 or 0
  bool HasIso9660(uint32_t start);
  bool HasUdf(uint32_t start);
  int FileSystemKind(uint32_t start);  // FileSystem bits

  // --- speeds ---
  int SetReadSpeed(uint16_t speed);  // kB/s

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
  uint32_t readyWaitLimitMs_ = kReadyWaitLimitMs;

 private:
  void Probe();
};

// A Drive that carries the recording commands. In image mode they answer 0
// without sending anything, except Write10, which appends to the image file.
class Recorder : public virtual Drive {
 public:
  Recorder(DeviceId id, ScsiTransport* transport) : Drive(id, transport) {}
  ~Recorder() override = default;

  // --- writing ---
  int SetWriteParameters(uint8_t writeType, const WriteSettings& settings);
  int Write10(uint32_t lba, const uint8_t* buffer, uint32_t length, uint32_t blocks);
  int ReserveTrack(uint32_t size);
  int SynchronizeCache();                    // then waits for readiness (200 ms polls)
  int SynchronizeCacheImmed(uint8_t immed);  // then waits for readiness (500 ms polls)
  int CloseTrack(uint16_t track);            // then waits for readiness (200 ms polls)
  int CloseSessionImmed();                   // does not wait
  int Close(uint8_t function);               // then waits for readiness (200 ms polls)
  // READ BUFFER CAPACITY: the drive's write buffer and the bytes free in
  // it. 0 done, 1 when the drive cannot tell.
  int ReadBufferCapacity(uint32_t* size, uint32_t* free);

  // --- where writing goes on, and how much room is left ---
  // out = the next writable address (-150 when the drive gives none).
  int NextWritableAddress(int32_t* out);
  // Writable 2048-byte blocks left; out must be preset to 0.
  bool FreeBlocks(uint32_t* out);

  // --- erasing ---
  int Blank(uint8_t type);
  int FormatPlusRw();
  int EraseByOverwrite();
  // The whole erase the host asks for, by medium; answers with the export's
  // result codes (1, -6, -7, -10, -15).
  int EraseMedium();

  // --- speeds ---
  int SetWriteSpeed(uint16_t speed);  // kB/s
  // Speeds from page 0x2A plus the write-speed probe. 0 done, 1 when the page
  // cannot be read. Leaves the drive at the probe's last speed, 2x.
  int ReportSpeeds(SpeedReport* report);
};

// MSF (with an hour or zero byte first) to LBA; FF:FF:FF stays 0xFFFFFF.
int32_t MsfToLba(uint8_t h, uint8_t m, uint8_t s, uint8_t f);

// Whether a block's text, up to its first zero byte, holds the signature of
// an ISO 9660 volume descriptor.
bool HoldsIso9660Signature(const uint8_t* block, size_t length);
// Whether a block of at least 16 bytes is a UDF anchor volume descriptor
// pointer that names lba as its own location.
bool IsUdfAnchor(const uint8_t* block, uint32_t lba);

// Zeroes the bytes of an answer past the length its header declares. The
// kernel does not say how much a drive sent (resid stays 0), and what lies
// beyond the declared length may be bytes of an earlier command.
void KeepDeclared(uint8_t* buffer, uint32_t capacity, uint64_t declared);

// Whether a GET CONFIGURATION answer of length bytes lists feature code.
bool HasFeature(const uint8_t* buffer, uint32_t length, uint16_t code);

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
