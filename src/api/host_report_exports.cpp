// Linux extensions that tell a host what the library found: where each
// recorder is, what went wrong while recorders were looked for, and where
// the diagnostic log goes.
#include <algorithm>
#include <cstring>
#include <string>

#include "api/guard.h"
#include "api/library.h"
#include "diag/log_record.h"
#include "dorvik.h"

#if !defined(_WIN32)  // not one of DORVIK.DLL's exports
#include "registry/transport_selector.h"
#include "transport/sg_io_device.h"

using dorvik::Guarded;
using dorvik::Library;

namespace {

// text into a field of size bytes, cut on a byte boundary, NUL-terminated.
void CopyText(const std::string& text, char* field, size_t size) {
  if (!field || size == 0) return;
  const size_t n = std::min(text.size(), size - 1);
  std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

}  // namespace

extern "C" {

DORVIK_API int32_t Vuz_GetDeviceLocation(int32_t* kind, char* location, int32_t size) {
  return Guarded(DORVIK_E_NO_DEVICE, [&] {
    auto* drive = Library::Get().CurrentRecorder();
    if (!drive) return DORVIK_E_NO_DEVICE;
    int32_t k = DORVIK_DEVICE_INERT;
    std::string where;
    if (drive->GetId() != 0) {
      auto* routing = dorvik::TransportSelector::Instance().Routing();
      if (const dorvik::ScsiDevice* device = routing ? routing->DeviceFor(drive->GetId()) : nullptr) {
        where = device->Describe();
        k = dynamic_cast<const dorvik::SgIoDevice*>(device) ? DORVIK_DEVICE_DRIVE : DORVIK_DEVICE_SOFTWARE;
      }
    }
    if (kind) *kind = k;
    if (size > 0) CopyText(where, location, static_cast<size_t>(size));
    return DORVIK_OK;
  });
}

DORVIK_API int32_t Vuz_GetSetupProblems(DorvikSetupProblem* problems, int32_t capacity, int32_t* count) {
  return Guarded(DORVIK_OK, [&] {
    const auto& found = Library::Get().registry.Problems();
    if (count) *count = static_cast<int32_t>(found.size());
    for (size_t i = 0; problems && i < found.size() && static_cast<int64_t>(i) < capacity; ++i) {
      DorvikSetupProblem& out = problems[i];
      out = DorvikSetupProblem{};
      out.kind = static_cast<int32_t>(found[i].kind);
      out.systemError = found[i].systemError;
      out.deviceId = found[i].madeAs;
      CopyText(found[i].subject, out.subject, sizeof out.subject);
      CopyText(found[i].text, out.text, sizeof out.text);
    }
    return DORVIK_OK;
  });
}

DORVIK_API int32_t Vuz_GetLogPath(char* path, int32_t size) {
  return Guarded(DORVIK_E_REFUSED, [&] {
    const std::string file = dorvik::diag::LogFilePath();
    if (!path || size <= 0 || file.size() >= static_cast<size_t>(size)) return DORVIK_E_REFUSED;
    CopyText(file, path, static_cast<size_t>(size));
    return DORVIK_OK;
  });
}

}  // extern "C"

#endif
