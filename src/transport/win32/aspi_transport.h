#pragma once
// The transport of the Windows 9x family: the ASPI for Win32 manager
// (WNASPI32.dll), loaded at run time. Each drive number the manager reports
// is mapped once, at construction, to a host adapter, target and LUN; each
// CDB goes out as an execute request whose completion signals an event.
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "transport/scsi_transport.h"
#include "transport/win32/aspi.h"

namespace dorvik {

class AspiTransport final : public ScsiTransport {
 public:
  struct Address {
    uint8_t adapter = 0, target = 0, lun = 0;
  };
  // Targets scanned on an adapter that reports none.
  static constexpr uint8_t kDefaultTargets = 10;
  // What an unlimited timeout becomes: a request the manager never
  // completes must not hold the calling thread for ever.
  static constexpr uint32_t kLongestWaitMs = 60000;
  // How long an aborted request may take to come back.
  static constexpr uint32_t kAbortWaitMs = 5000;

  // Loads the manager by this name and maps its drives; a manager that is
  // missing or fails leaves a transport whose commands all fail.
  explicit AspiTransport(const char* managerName = "WNASPI32.dll");
  ~AspiTransport() override;
  AspiTransport(const AspiTransport&) = delete;
  AspiTransport& operator=(const AspiTransport&) = delete;

  bool Loaded() const { return sendCommand_ != nullptr; }
  uint32_t AdapterCount() const { return adapterCount_; }
  const std::map<DeviceId, Address>& Addresses() const { return addresses_; }

  bool CheckAdapter(DeviceId deviceId, uint32_t reserved) override;
  bool CheckDevice(uint32_t a, uint32_t b) override;
  int32_t BusCount(DeviceId deviceId) override;
  int Execute(const uint8_t* cdb, uint8_t cdbLength, DeviceId deviceId, void* data, uint32_t dataLength,
              uint32_t direction, uint32_t timeoutMs, SenseResult* sense) override;
  int LockVolume(DeviceId deviceId, uint32_t lock) override;

 private:
  bool Load(const char* managerName);
  void MapDrives();
  // Gives up on a request that did not complete in time; a request the
  // manager still holds after that is left to it and never reused.
  void Abandon(HANDLE event);

  HMODULE module_ = nullptr;
  aspi::GetSupportInfoFn getSupportInfo_ = nullptr;
  aspi::SendCommandFn sendCommand_ = nullptr;
  FARPROC getBuffer_ = nullptr;
  FARPROC freeBuffer_ = nullptr;
  FARPROC translateAddress_ = nullptr;
  uint32_t adapterCount_ = 0;
  std::map<DeviceId, Address> addresses_;
  // One request block, reused by every command; replaced (and the old one
  // left to the manager) when a request could not be taken back.
  std::mutex mutex_;
  std::unique_ptr<aspi::ExecuteScsi> request_;
};

}  // namespace dorvik
