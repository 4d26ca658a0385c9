// The registry's way to the software recorder (DORVIK_VIRTUAL_DRIVES). The
// recorders it makes take their presentation from DORVIK_VIRTUAL_OPTIONS
// and scripted failures from DORVIK_VIRTUAL_FAULTS.
#include <cstdlib>

#include "emulator/disc_state_file.h"
#include "emulator/fault_script.h"
#include "emulator/medium.h"
#include "emulator/virtual_recorder.h"
#include "emulator/virtual_recorder_factory.h"
#include "platform/files.h"

namespace dorvik {
namespace {

struct VirtualSettings {
  emulator::RecorderOptions options;
  std::vector<emulator::Fault> faults;
};

std::optional<VirtualSettings> ReadVirtualSettings(std::string* error) {
  VirtualSettings settings;
  std::string why;
  if (const char* text = std::getenv("DORVIK_VIRTUAL_OPTIONS"); text && *text)
    if (!emulator::ParseRecorderOptions(text, settings.options, &why)) {
      if (error) *error = "DORVIK_VIRTUAL_OPTIONS: " + why;
      return std::nullopt;
    }
  if (const char* text = std::getenv("DORVIK_VIRTUAL_FAULTS"); text && *text) {
    auto parsed = emulator::ParseFaultScript(text, &why);
    if (!parsed) {
      if (error) *error = "DORVIK_VIRTUAL_FAULTS: " + why;
      return std::nullopt;
    }
    settings.faults = std::move(*parsed);
  }
  return settings;
}

// The two DVD-RW kinds are one medium in two formats: blanking or
// formatting turns one into the other, so naming either fits both.
bool SameMedium(uint16_t a, uint16_t b) {
  auto dvdRw = [](uint16_t p) { return p == 0x13 || p == 0x14; };
  return a == b || (dvdRw(a) && dvdRw(b));
}

std::string MediumNameOf(uint16_t profile) {
  for (const std::string& name : VirtualMediumNames())
    if (emulator::TraitsOf(*emulator::MediumByName(name)).profile == profile) return name;
  return "disc";
}

}  // namespace

bool CheckVirtualSettings(std::string* error) { return ReadVirtualSettings(error).has_value(); }

std::unique_ptr<ScsiDevice> CreateVirtualRecorder(const std::string& path, const std::string& medium,
                                                  std::string* error, std::string* note) {
  auto settings = ReadVirtualSettings(error);
  if (!settings) return nullptr;
  const platform::PathInfo before = platform::Stat(path);
  const bool recorded = platform::PathExists(emulator::StateFilePath(path));
  const bool image = !recorded && before.exists && !before.isDirectory && before.size > 0;
  auto recorder = emulator::VirtualRecorder::Open(path, medium, settings->options, error);
  if (!recorder) return nullptr;
  for (const auto& f : settings->faults) recorder->AddFault(f);
  if (note && (recorded || image) && !medium.empty()) {
    const auto asked = emulator::MediumByName(medium);
    const uint16_t loaded = recorder->CurrentProfile();
    if (asked && !SameMedium(emulator::TraitsOf(*asked).profile, loaded)) {
      *note = recorded ? "the file holds a recorded " + MediumNameOf(loaded) + " disc (its state is in " +
                             emulator::StateFilePath(path) + ")"
                       : "the file is a disc image, loaded as a pressed " + MediumNameOf(loaded);
      *note += ", so the medium \"" + medium + "\" is ignored (name a file that does not exist yet for a new " +
               medium + ")";
    }
  }
  return recorder;
}

bool IsVirtualMediumName(const std::string& name) { return emulator::MediumByName(name).has_value(); }

std::vector<std::string> VirtualMediumNames() {
  std::vector<std::string> names;
  for (int k = 0; k <= static_cast<int>(emulator::MediumKind::DvdPlusR); ++k)
    names.emplace_back(emulator::TraitsOf(static_cast<emulator::MediumKind>(k)).name);
  return names;
}

}  // namespace dorvik
