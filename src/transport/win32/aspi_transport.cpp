#include "transport/win32/aspi_transport.h"

#include <algorithm>
#include <cstring>

namespace dorvik {

AspiTransport::AspiTransport(const char* managerName) : request_(std::make_unique<aspi::ExecuteScsi>()) {
  if (Load(managerName)) MapDrives();
}

AspiTransport::~AspiTransport() {
  if (module_) ::FreeLibrary(module_);
  module_ = nullptr;
  getSupportInfo_ = nullptr;
  sendCommand_ = nullptr;
  getBuffer_ = freeBuffer_ = translateAddress_ = nullptr;
}

bool AspiTransport::Load(const char* managerName) {
  module_ = ::LoadLibraryA(managerName);
  if (!module_) return false;
  auto support = ::GetProcAddress(module_, "GetASPI32SupportInfo");
  auto send = ::GetProcAddress(module_, "SendASPI32Command");
  if (!support || !send) return false;
  getSupportInfo_ = reinterpret_cast<aspi::GetSupportInfoFn>(reinterpret_cast<void*>(support));
  // Looked up as the manager publishes them, never needed: the library
  // transfers through its own buffers and addresses by drive number.
  getBuffer_ = ::GetProcAddress(module_, "GetASPI32Buffer");
  freeBuffer_ = ::GetProcAddress(module_, "FreeASPI32Buffer");
  translateAddress_ = ::GetProcAddress(module_, "TranslateASPI32Address");
  const uint32_t info = getSupportInfo_();
  if (aspi::SupportStatus(info) != aspi::kComplete) return false;
  adapterCount_ = aspi::SupportAdapterCount(info);
  sendCommand_ = reinterpret_cast<aspi::SendCommandFn>(reinterpret_cast<void*>(send));
  return true;
}

void AspiTransport::MapDrives() {
  aspi::HostAdapterInquiry inquiry{};
  inquiry.header.command = aspi::kHostAdapterInquiry;
  sendCommand_(&inquiry);
  if (inquiry.header.status != aspi::kComplete) {
    sendCommand_ = nullptr;  // the manager answers nothing we can use
    return;
  }
  const uint8_t adapters = inquiry.adapterCount;
  const uint8_t targets = inquiry.adapterUnique[3] != 0 ? inquiry.adapterUnique[3] : kDefaultTargets;
  for (uint8_t adapter = 0; adapter < adapters; ++adapter) {
    for (uint8_t target = 0; target < targets; ++target) {
      aspi::DiskInfo disk{};
      disk.header.command = aspi::kGetDiskInfo;
      disk.header.adapter = adapter;
      disk.target = target;
      disk.lun = 0;
      sendCommand_(&disk);
      if (disk.header.status != aspi::kComplete) continue;
      // The first adapter and target to report a drive number keep it.
      addresses_.emplace(disk.driveNumber, Address{adapter, target, 0});
    }
  }
}

bool AspiTransport::CheckAdapter(DeviceId, uint32_t) { return true; }
bool AspiTransport::CheckDevice(uint32_t, uint32_t) { return true; }
int32_t AspiTransport::BusCount(DeviceId) { return 0; }
int AspiTransport::LockVolume(DeviceId, uint32_t) { return 0; }

int AspiTransport::Execute(const uint8_t* cdb, uint8_t cdbLength, DeviceId deviceId, void* data, uint32_t dataLength,
                           uint32_t direction, uint32_t timeoutMs, SenseResult* sense) {
  if (!sendCommand_) return 1;
  const auto found = addresses_.find(deviceId);
  if (found == addresses_.end()) return 1;
  uint8_t flags;
  switch (static_cast<uint8_t>(direction)) {
    case DirIn: flags = aspi::kDirectionIn; break;
    case DirOut: flags = aspi::kDirectionOut; break;
    case DirNone: flags = 0; break;
    default: return 1;
  }
  if (!cdb || cdbLength == 0 || cdbLength > sizeof request_->cdb) return 1;
  if (flags == 0) {
    data = nullptr;
    dataLength = 0;
  } else if (!data && dataLength != 0) {
    return 1;
  }

  std::lock_guard lock(mutex_);
  HANDLE event = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!event) return 1;
  ::ResetEvent(event);

  aspi::ExecuteScsi& r = *request_;
  r = aspi::ExecuteScsi{};
  r.header.command = aspi::kExecuteScsi;
  r.header.adapter = found->second.adapter;
  r.header.flags = flags | aspi::kEventNotify;
  r.target = found->second.target;
  r.lun = found->second.lun;
  r.bufferLength = dataLength;
  r.buffer = static_cast<uint8_t*>(data);
  r.senseLength = aspi::kSenseLength;
  r.cdbLength = cdbLength;
  r.completion = event;
  std::memcpy(r.cdb, cdb, cdbLength);

  if (sendCommand_(&r) == aspi::kPending) {
    const DWORD wait = timeoutMs == kUnlimitedTimeout ? kLongestWaitMs : timeoutMs;
    if (::WaitForSingleObject(event, wait) == WAIT_OBJECT_0) ::ResetEvent(event);
  }
  // The manager signals the event after it has written the status.
  const uint8_t status = reinterpret_cast<volatile uint8_t&>(r.header.status);
  if (status == aspi::kComplete) {
    ::CloseHandle(event);
    return 0;
  }
  if (sense) {
    *sense = SenseResult{};
    FillSenseFromFixedFormat(status, r.sense, aspi::kSenseLength, sense);
    sense->adapterStatus = r.adapterStatus;
    sense->targetStatus = r.targetStatus;
  }
  if (status == aspi::kPending) Abandon(event);
  else ::CloseHandle(event);
  return 1;
}

void AspiTransport::Abandon(HANDLE event) {
  aspi::AbortRequest abort{};
  abort.header.command = aspi::kAbortRequest;
  abort.header.adapter = request_->header.adapter;
  abort.request = request_.get();
  sendCommand_(&abort);
  if (::WaitForSingleObject(event, kAbortWaitMs) == WAIT_OBJECT_0 &&
      reinterpret_cast<volatile uint8_t&>(request_->header.status) != aspi::kPending) {
    ::CloseHandle(event);
    return;
  }
  // Still the manager's: it may yet write the block and signal the event,
  // so neither is freed or used again.
  (void)request_.release();
  request_ = std::make_unique<aspi::ExecuteScsi>();
}

}  // namespace dorvik
