#pragma once
// The requests of the ASPI for Win32 manager (WNASPI32.dll) that the ASPI
// transport sends, laid out as the manager reads them: byte-packed, with
// pointer-sized buffer and completion fields (80 bytes for an execute
// request in a 32-bit process). Shared by the transport and the tests'
// stand-in manager.
#include <cstddef>
#include <cstdint>

namespace dorvik::aspi {

// Request codes.
inline constexpr uint8_t kHostAdapterInquiry = 0x00;
inline constexpr uint8_t kGetDeviceType = 0x01;
inline constexpr uint8_t kExecuteScsi = 0x02;
inline constexpr uint8_t kAbortRequest = 0x03;
inline constexpr uint8_t kGetDiskInfo = 0x06;

// Request status.
inline constexpr uint8_t kPending = 0x00;
inline constexpr uint8_t kComplete = 0x01;
inline constexpr uint8_t kAborted = 0x02;
inline constexpr uint8_t kError = 0x04;
inline constexpr uint8_t kInvalidCommand = 0x80;
inline constexpr uint8_t kInvalidAdapter = 0x81;
inline constexpr uint8_t kNoDevice = 0x82;

// Execute-request flags.
inline constexpr uint8_t kDirectionIn = 0x08;
inline constexpr uint8_t kDirectionOut = 0x10;
inline constexpr uint8_t kEventNotify = 0x40;

inline constexpr uint8_t kSenseLength = 14;

#pragma pack(push, 1)
struct Header {
  uint8_t command;
  uint8_t status;
  uint8_t adapter;
  uint8_t flags;
  uint32_t reserved;
};

struct HostAdapterInquiry {
  Header header;
  uint8_t adapterCount;    // 8
  uint8_t adapterScsiId;   // 9
  char managerId[16];      // 10
  char adapterId[16];      // 26
  uint8_t adapterUnique[16];  // 42; byte 3 (45) is the number of targets
  uint16_t reserved;
};

struct DeviceType {
  Header header;
  uint8_t target;      // 8
  uint8_t lun;         // 9
  uint8_t deviceType;  // 10: the peripheral type of INQUIRY (5 for CD/DVD)
  uint8_t reserved;
};

struct DiskInfo {
  Header header;
  uint8_t target;       // 8
  uint8_t lun;          // 9
  uint8_t driveFlags;   // 10
  uint8_t driveNumber;  // 11: the drive letter's index, 0 = A:
  uint8_t heads;
  uint8_t sectors;
  uint8_t reserved[10];
};

struct ExecuteScsi {
  Header header;
  uint8_t target;         // 8
  uint8_t lun;            // 9
  uint16_t reserved1;
  uint32_t bufferLength;  // 12
  uint8_t* buffer;        // 16
  uint8_t senseLength;    // 20 (32-bit offsets from here on)
  uint8_t cdbLength;      // 21
  uint8_t adapterStatus;  // 22
  uint8_t targetStatus;   // 23
  void* completion;       // 24: the event to signal, with kEventNotify
  uint8_t reserved2[20];
  uint8_t cdb[16];        // 48
  uint8_t sense[16];      // 64
};

struct AbortRequest {
  Header header;
  void* request;  // the pending request to abort
};
#pragma pack(pop)

static_assert(sizeof(HostAdapterInquiry) == 60 && offsetof(HostAdapterInquiry, adapterUnique) == 42);
static_assert(offsetof(DiskInfo, driveNumber) == 11);
static_assert(offsetof(ExecuteScsi, bufferLength) == 12 && offsetof(ExecuteScsi, buffer) == 16);
#if !defined(_WIN64)
static_assert(sizeof(ExecuteScsi) == 80 && offsetof(ExecuteScsi, completion) == 24 &&
              offsetof(ExecuteScsi, cdb) == 48 && offsetof(ExecuteScsi, sense) == 64);
#endif

// GetASPI32SupportInfo's answer: status in bits 8..15, adapter count below.
inline constexpr uint8_t SupportStatus(uint32_t info) { return static_cast<uint8_t>(info >> 8); }
inline constexpr uint8_t SupportAdapterCount(uint32_t info) { return static_cast<uint8_t>(info); }

using GetSupportInfoFn = uint32_t(__cdecl*)();
using SendCommandFn = uint32_t(__cdecl*)(void* request);

}  // namespace dorvik::aspi
