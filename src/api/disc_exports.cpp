// The exports that report on the loaded disc, set and report speeds and
// write modes, and erase rewritable media.
#include <vector>

#include "api/guard.h"
#include "api/library.h"
#include "diag/trace.h"
#include "dorvik.h"

using dorvik::Guarded;
using dorvik::Library;
namespace diag = dorvik::diag;

namespace {

// Room kept free on every disc, in 2048-byte blocks.
constexpr uint32_t kReserveBlocks = 10240;
constexpr uint32_t kConfigurationLength = 2048;
constexpr uint16_t kFeatureCdTrackAtOnce = 0x002D;
constexpr uint16_t kFeatureCdMastering = 0x002E;

template <typename T>
void Store(T* out, T value) {
  if (out) *out = value;
}

}  // namespace

extern "C" {

DORVIK_API int32_t Vuz_EraseDisc(void) {
  return Guarded(DORVIK_E_BLANK_FAILED, [] {
    diag::Trace(diag::kTraceBlankDisc);
    const dorvik::DeviceUse use(Library::Get());
    if (!use) return use.Refusal();
    auto* drive = use.Drive();
    const int32_t result = drive->EraseMedium();
    if (result == DORVIK_OK) diag::Trace(diag::kTraceBlankDiscEnd);
    return result;
  });
}

DORVIK_API int32_t Vuz_GetDiscInfo(int32_t* isBlank, int32_t* isWritable, int32_t* profile) {
  return Guarded(DORVIK_E_NOT_READY, [&] {
    diag::Trace(diag::kTraceGetDiscInfo);
    const dorvik::DeviceUse use(Library::Get());
    if (!use) return use.Refusal();
    auto* drive = use.Drive();
    if (drive->IsReady() != 0) return DORVIK_E_NOT_READY;
    Store(isBlank, static_cast<int32_t>(drive->IsBlank()));
    Store(isWritable, static_cast<int32_t>(drive->IsWritable()));
    Store(profile, static_cast<int32_t>(drive->CurrentProfile()));
    diag::Trace(diag::kTraceGetDiscInfoEnd);
    return DORVIK_OK;
  });
}

DORVIK_API int32_t Vuz_GetDiscInfoEx(int32_t* isBlank, int32_t* isWritable, int32_t* profile,
                                     uint64_t* freeBytes) {
  return Guarded(DORVIK_E_NOT_READY, [&] {
    const int32_t r = Vuz_GetDiscInfo(isBlank, isWritable, profile);
    if (r != DORVIK_OK) return r;
    const dorvik::DeviceUse use(Library::Get());
    if (!use) return use.Refusal();
    auto* drive = use.Drive();
    uint32_t blocks = 0;
    drive->FreeBlocks(&blocks);  // a disc whose room cannot be read reports 0
    // Less room than the reserve is no room at all.
    blocks = blocks > kReserveBlocks ? blocks - kReserveBlocks : 0;
    Store(freeBytes, static_cast<uint64_t>(blocks) * dorvik::kUserSectorLength);
    return DORVIK_OK;
  });
}

DORVIK_API int32_t Vuz_SetCdSpeeds(uint16_t readSpeed, uint16_t writeSpeed) {
  return Guarded(DORVIK_OK, [&] {
    diag::Trace(diag::kTraceSetCdSpeeds);
    const dorvik::DeviceUse use(Library::Get());
    if (!use) return use.Refusal();
    auto* drive = use.Drive();
    drive->SetReadSpeed(readSpeed);
    drive->SetWriteSpeed(writeSpeed);
    diag::Trace(diag::kTraceSetCdSpeedsEnd);
    return DORVIK_OK;
  });
}

DORVIK_API int32_t Vuz_GetCdSpeedsEx(uint16_t* readSpeed, uint16_t* writeSpeed, uint16_t* maxReadSpeed,
                                     uint16_t* maxWriteSpeed, uint16_t* minWriteSpeed) {
  return Guarded(DORVIK_E_REFUSED, [&] {
    diag::Trace(diag::kTraceGetCdSpeeds);
    const dorvik::DeviceUse use(Library::Get());
    if (!use) return use.Refusal();
    auto* drive = use.Drive();
    if (drive->IsReady() != 0) return DORVIK_E_NOT_READY;
    dorvik::SpeedReport report;
    if (drive->ReportSpeeds(&report) != 0) return DORVIK_E_REFUSED;
    Store(readSpeed, report.currentRead);
    Store(writeSpeed, report.currentWrite);
    Store(maxReadSpeed, report.maxRead);
    Store(maxWriteSpeed, report.maxWrite);
    Store(minWriteSpeed, report.minWrite);
    diag::Trace(diag::kTraceGetCdSpeedsEnd);
    return DORVIK_OK;
  });
}

DORVIK_API int32_t Vuz_GetCdSpeeds(uint16_t* readSpeed, uint16_t* writeSpeed, uint16_t* maxReadSpeed,
                                   uint16_t* maxWriteSpeed) {
  uint16_t minWriteSpeed = 0;
  return Vuz_GetCdSpeedsEx(readSpeed, writeSpeed, maxReadSpeed, maxWriteSpeed, &minWriteSpeed);
}

DORVIK_API int32_t Vuz_GetSupportedWriteModes(int32_t* trackAtOnce, int32_t* sessionAtOnce, int32_t* raw) {
  return Guarded(DORVIK_OK, [&] {
    diag::Trace(diag::kTraceGetSupportedWriteModes);
    const dorvik::DeviceUse use(Library::Get());
    if (!use) return use.Refusal();
    auto* drive = use.Drive();
    std::vector<uint8_t> config(kConfigurationLength, 0);
    drive->GetConfiguration(config.data(), kConfigurationLength);  // a refusal leaves it zero: no modes
    const int32_t tao = dorvik::HasFeature(config.data(), kConfigurationLength, kFeatureCdTrackAtOnce) ? 1 : 0;
    // Mastering covers both session at once and raw; its own bits for the
    // two are not consulted.
    const int32_t mastering = dorvik::HasFeature(config.data(), kConfigurationLength, kFeatureCdMastering) ? 1 : 0;
    Store(trackAtOnce, tao);
    Store(sessionAtOnce, mastering);
    Store(raw, mastering);
    diag::Trace(diag::kTraceGetSupportedWriteModesEnd);
    return DORVIK_OK;
  });
}

}  // extern "C"
