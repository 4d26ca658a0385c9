#include "fake_aspi.h"

#include <windows.h>

#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace aspi = dorvik::aspi;

namespace {

std::mutex gMutex;
FakeAspiScript gScript{};
uint32_t gCounts[256] = {};
std::vector<uint32_t> gDiskQueries;
std::vector<std::thread> gThreads;
aspi::ExecuteScsi* gPending = nullptr;

void Complete(aspi::ExecuteScsi* request, FakeAspiDevice device, void* context) {
  if (device) device(context, request);
  else request->header.status = aspi::kError;
  if ((request->header.flags & aspi::kEventNotify) && request->completion)
    ::SetEvent(static_cast<HANDLE>(request->completion));
}

const FakeAspiDisk* DiskAt(uint8_t adapter, uint8_t target) {
  for (uint8_t i = 0; i < gScript.diskCount && i < 16; ++i)
    if (gScript.disks[i].adapter == adapter && gScript.disks[i].target == target) return &gScript.disks[i];
  return nullptr;
}

}  // namespace

extern "C" {

__declspec(dllexport) uint32_t __cdecl GetASPI32SupportInfo() {
  std::lock_guard lock(gMutex);
  return gScript.supportInfo;
}

__declspec(dllexport) uint32_t __cdecl SendASPI32Command(void* request) {
  auto* header = static_cast<aspi::Header*>(request);
  std::unique_lock lock(gMutex);
  ++gCounts[header->command];
  switch (header->command) {
    case aspi::kHostAdapterInquiry: {
      auto* r = static_cast<aspi::HostAdapterInquiry*>(request);
      r->adapterCount = gScript.adapterCount;
      r->adapterUnique[3] = gScript.targetCount;
      std::memcpy(r->managerId, "FAKE ASPI", 9);
      return r->header.status = gScript.inquiryStatus;
    }
    case aspi::kGetDeviceType: {
      auto* r = static_cast<aspi::DeviceType*>(request);
      if (!DiskAt(r->header.adapter, r->target)) return r->header.status = aspi::kNoDevice;
      r->deviceType = 5;
      return r->header.status = aspi::kComplete;
    }
    case aspi::kGetDiskInfo: {
      auto* r = static_cast<aspi::DiskInfo*>(request);
      gDiskQueries.push_back(uint32_t{r->header.adapter} << 8 | r->target);
      const FakeAspiDisk* disk = DiskAt(r->header.adapter, r->target);
      if (!disk) return r->header.status = aspi::kNoDevice;
      r->driveNumber = disk->driveNumber;
      return r->header.status = aspi::kComplete;
    }
    case aspi::kAbortRequest: {
      auto* r = static_cast<aspi::AbortRequest*>(request);
      if (gScript.honourAbort && r->request == gPending && gPending) {
        gPending->header.status = aspi::kAborted;
        if (gPending->completion) ::SetEvent(static_cast<HANDLE>(gPending->completion));
        gPending = nullptr;
      }
      return r->header.status = aspi::kComplete;
    }
    case aspi::kExecuteScsi: {
      auto* r = static_cast<aspi::ExecuteScsi*>(request);
      const FakeAspiDevice device = gScript.device;
      void* context = gScript.context;
      switch (gScript.completion) {
        case kFakeAspiAtOnce:
          lock.unlock();
          Complete(r, device, context);
          return r->header.status;
        case kFakeAspiLater:
          r->header.status = aspi::kPending;
          gThreads.emplace_back([r, device, context] {
            ::Sleep(1);  // the caller is waiting on the event by now, most likely
            Complete(r, device, context);
          });
          return aspi::kPending;
        default:
          r->header.status = aspi::kPending;
          gPending = r;
          return aspi::kPending;
      }
    }
    default:
      return header->status = aspi::kInvalidCommand;
  }
}

__declspec(dllexport) uint32_t __cdecl GetASPI32Buffer(void*) { return 0; }
__declspec(dllexport) uint32_t __cdecl FreeASPI32Buffer(void*) { return 0; }
__declspec(dllexport) uint32_t __cdecl TranslateASPI32Address(void*, void*) { return 0; }

__declspec(dllexport) void __cdecl FakeAspi_SetScript(const FakeAspiScript* script) {
  FakeAspi_Drain();
  std::lock_guard lock(gMutex);
  gScript = *script;
  std::memset(gCounts, 0, sizeof gCounts);
  gDiskQueries.clear();
  gPending = nullptr;
}

__declspec(dllexport) uint32_t __cdecl FakeAspi_Count(uint8_t command) {
  std::lock_guard lock(gMutex);
  return gCounts[command];
}

__declspec(dllexport) uint32_t __cdecl FakeAspi_DiskQuery(uint32_t n) {
  std::lock_guard lock(gMutex);
  return n < gDiskQueries.size() ? gDiskQueries[n] : 0xFFFFFFFFu;
}

__declspec(dllexport) void __cdecl FakeAspi_Drain() {
  std::vector<std::thread> threads;
  {
    std::lock_guard lock(gMutex);
    threads.swap(gThreads);
  }
  for (auto& t : threads) t.join();
}

}  // extern "C"
