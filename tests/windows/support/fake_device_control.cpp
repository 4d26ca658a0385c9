#include "support/fake_device_control.h"

#include <cstring>

#include <ntddscsi.h>

namespace dorvik::test {

void FakeDeviceControl::AddVolume(const std::string& path, ScsiDevice* device) {
  const auto handle = reinterpret_cast<HANDLE>(static_cast<intptr_t>(0x1000 + 4 * volumes_.size()));
  volumes_[path] = {handle, device};
}

HANDLE FakeDeviceControl::HandleOf(const std::string& path) const {
  auto it = volumes_.find(path);
  return it == volumes_.end() ? INVALID_HANDLE_VALUE : it->second.handle;
}

const FakeDeviceControl::Volume* FakeDeviceControl::Find(HANDLE h) const {
  for (const auto& [path, v] : volumes_)
    if (v.handle == h) return &v;
  return nullptr;
}

HANDLE FakeDeviceControl::Open(const char* path) {
  opened.emplace_back(path);
  return HandleOf(path);
}

void FakeDeviceControl::Close(HANDLE device) { closed.push_back(device); }

BOOL FakeDeviceControl::Control(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
                                DWORD* returned) {
  ControlCall call;
  call.device = device;
  call.code = code;
  call.inSize = inSize;
  call.outSize = outSize;
  call.sameBuffers = in == out;
  if (code == IOCTL_SCSI_PASS_THROUGH_DIRECT && in && inSize >= sizeof(PassThroughRequest))
    std::memcpy(&call.request, in, sizeof(PassThroughRequest));
  calls.push_back(call);
  const Volume* volume = Find(device);
  if (failControl || !volume) return FALSE;
  if (returned) *returned = 0;
  switch (code) {
    case IOCTL_SCSI_GET_CAPABILITIES: {
      if (outSize < 24) return FALSE;
      std::memset(out, 0, outSize);
      std::memcpy(static_cast<uint8_t*>(out) + 4, &maximumTransfer, 4);
      return TRUE;
    }
    case IOCTL_SCSI_GET_INQUIRY_DATA: {
      if (outSize < 1) return FALSE;
      std::memset(out, 0, outSize);
      static_cast<uint8_t*>(out)[0] = buses;
      return TRUE;
    }
    case IOCTL_SCSI_PASS_THROUGH_DIRECT: {
      // Read as a driver does: from the request's own fields.
      auto* request = static_cast<PassThroughRequest*>(in);
      SCSI_PASS_THROUGH_DIRECT& h = request->header;
      if (!volume->device || h.CdbLength == 0 || h.CdbLength > 16) return FALSE;
      const Direction direction = h.DataIn == SCSI_IOCTL_DATA_IN    ? DirIn
                                  : h.DataIn == SCSI_IOCTL_DATA_OUT ? DirOut
                                                                    : DirNone;
      DeviceReply reply;
      if (!volume->device->Send(h.Cdb, h.CdbLength, h.DataBuffer, h.DataTransferLength, direction,
                                h.TimeOutValue * 1000, reply))
        return FALSE;
      h.ScsiStatus = reply.status;
      if (reply.status != 0) {
        auto* sense = reinterpret_cast<uint8_t*>(request) + h.SenseInfoOffset;
        std::memcpy(sense, reply.sense, std::min<size_t>(h.SenseInfoLength, kSenseBufferLength));
      }
      if (returned) *returned = sizeof(PassThroughRequest);
      return TRUE;
    }
    default:  // the volume lock and unlock
      return TRUE;
  }
}

namespace {
class Forwarder final : public DeviceControl {
 public:
  explicit Forwarder(FakeDeviceControl& fake) : fake_(fake) {}
  HANDLE Open(const char* path) override { return fake_.Open(path); }
  BOOL Control(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize,
               DWORD* returned) override {
    return fake_.Control(device, code, in, inSize, out, outSize, returned);
  }
  void Close(HANDLE device) override { fake_.Close(device); }

 private:
  FakeDeviceControl& fake_;
};
}  // namespace

std::unique_ptr<DeviceControl> Borrow(FakeDeviceControl& fake) { return std::make_unique<Forwarder>(fake); }

}  // namespace dorvik::test
