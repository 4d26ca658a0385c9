// Device selection and the simple device exports.
#include <cstring>

#include "api/guard.h"
#include "api/library.h"
#include "diag/trace.h"
#include "dorvik.h"
#include "platform/notify.h"

using dorvik::Guarded;
using dorvik::Library;
namespace diag = dorvik::diag;

extern "C" {

DORVIK_API int32_t Vuz_SetDevice(int32_t deviceId) {
  return Guarded(DORVIK_E_NO_DEVICE, [&] {
    diag::Trace(diag::kTraceStart, deviceId);
    auto& lib = Library::Get();
    if (lib.registry.Count() == 0) return DORVIK_E_NO_DEVICE;
    const auto id = static_cast<uint8_t>(deviceId & 0xFF);
    if (!lib.registry.Find(id)) return DORVIK_E_NO_DEVICE;
    lib.state.currentDeviceId = id;
    diag::Trace(diag::kTraceStartEnd);
    return DORVIK_OK;
  });
}

DORVIK_API int32_t Vuz_IsDeviceReady(void) {
  return Guarded(DORVIK_E_NOT_READY, [] {
    diag::Trace(diag::kTraceIsDeviceReady);
    const dorvik::DeviceUse use(Library::Get());
    if (!use) return use.Refusal();
    auto* drive = use.Drive();
    if (drive->IsReady() != 0) return DORVIK_E_NOT_READY;
    diag::Trace(diag::kTraceIsDeviceReadyEnd);
    return DORVIK_OK;
  });
}

DORVIK_API int32_t Vuz_Load(void) {
  return Guarded(DORVIK_OK, [] {
    diag::Trace(diag::kTraceLoad);
    const dorvik::DeviceUse use(Library::Get());
    if (!use) return use.Refusal();
    auto* drive = use.Drive();
    drive->LoadOrEject(false);
    diag::Trace(diag::kTraceLoadEnd);
    return DORVIK_OK;
  });
}

DORVIK_API int32_t Vuz_Unload(void) {
  return Guarded(DORVIK_OK, [] {
    diag::Trace(diag::kTraceUnload);
    const dorvik::DeviceUse use(Library::Get());
    if (!use) return use.Refusal();
    auto* drive = use.Drive();
    drive->PreventRemoval(0);
    drive->LoadOrEject(true);
    diag::Trace(diag::kTraceUnloadEnd);
    return DORVIK_OK;
  });
}

DORVIK_API int32_t Vuz_GetVendorProductStrings(char* vendor, char* product) {
  return Guarded(DORVIK_E_REFUSED, [&] {
    diag::Trace(diag::kTraceGetVendorProductStrings);
    const dorvik::DeviceUse use(Library::Get());
    if (!use) return use.Refusal();
    auto* drive = use.Drive();
    char v[8], p[16];
    if (drive->GetVendorProduct(v, p) != 0) return DORVIK_E_REFUSED;
    if (vendor) std::memcpy(vendor, v, sizeof v);
    if (product) std::memcpy(product, p, sizeof p);
    diag::Trace(diag::kTraceGetVendorProductStringsEnd);
    return DORVIK_OK;
  });
}

DORVIK_API int32_t Vuz_BurnProofControl(int32_t value) {
  return Guarded(DORVIK_OK, [&] {
    Library::Get().state.burnProofSetting = value;
    return DORVIK_OK;
  });
}

DORVIK_API int32_t Vuz_SetMessageHandle(uint32_t window, uint32_t messageId) {
  return Guarded(DORVIK_OK, [&] {
    auto& state = Library::Get().state;
    state.messageWindow = window;
    state.messageId = messageId;
    return DORVIK_OK;
  });
}

#if !defined(_WIN32)  // Windows hosts get a window message instead
DORVIK_API int32_t Vuz_SetMessageCallback(DorvikMessageCallback callback, void* context) {
  dorvik::platform::SetHostCallback(callback, context);
  return DORVIK_OK;
}
#endif

DORVIK_API int32_t Vuz_GetInfo(int32_t* number, char* text) {
  return Guarded(DORVIK_OK, [&] {
    static const char kText[] = "Dorvik disc-recording library 0.1.0";
    static_assert(sizeof kText <= 64);
    if (number) *number = 0x000100;  // 0.1.0 as 0xMMmmpp
    if (text) std::memcpy(text, kText, sizeof kText);
    return DORVIK_OK;
  });
}

}  // extern "C"
