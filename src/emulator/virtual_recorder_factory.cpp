// The registry's way to the software recorder (DORVIK_VIRTUAL_DRIVES). The
// recorders it makes take their presentation from DORVIK_VIRTUAL_OPTIONS
// and scripted failures from DORVIK_VIRTUAL_FAULTS.
#include <cstdlib>

#include "emulator/fault_script.h"
#include "emulator/medium.h"
#include "emulator/virtual_recorder.h"
#include "emulator/virtual_recorder_factory.h"

namespace dorvik {

std::unique_ptr<ScsiDevice> CreateVirtualRecorder(const std::string& path, const std::string& medium,
                                                  std::string* error) {
  emulator::RecorderOptions options;
  if (const char* text = std::getenv("DORVIK_VIRTUAL_OPTIONS"); text && *text)
    if (!emulator::ParseRecorderOptions(text, options, error)) return nullptr;
  std::vector<emulator::Fault> faults;
  if (const char* text = std::getenv("DORVIK_VIRTUAL_FAULTS"); text && *text) {
    auto parsed = emulator::ParseFaultScript(text, error);
    if (!parsed) return nullptr;
    faults = std::move(*parsed);
  }
  auto recorder = emulator::VirtualRecorder::Open(path, medium, options, error);
  if (!recorder) return nullptr;
  for (const auto& f : faults) recorder->AddFault(f);
  return recorder;
}

bool IsVirtualMediumName(const std::string& name) { return emulator::MediumByName(name).has_value(); }

}  // namespace dorvik
