#pragma once
// The data the software recorder returns for its query commands, laid out
// as MMC-5 defines each answer. Callers cut them to the allocation length.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "emulator/disc.h"
#include "emulator/recorder_options.h"
#include "emulator/sense.h"

namespace dorvik::emulator {

inline constexpr uint32_t kWriteParametersPageSize = 52;  // page 5: code, length 0x32, 50 bytes

// What the drive-level answers depend on.
struct DriveView {
  const RecorderOptions* options = nullptr;
  const Disc* disc = nullptr;  // the loaded, usable medium; null otherwise
  bool prevented = false;
  uint16_t readSpeed = 0;   // kB/s in effect
  uint16_t writeSpeed = 0;  // kB/s in effect; 0 when the drive cannot write the medium
  std::vector<uint16_t> writeSpeeds;  // kB/s the medium can be written at, fastest first
  uint16_t maxReadSpeed = 0;
  const std::array<uint8_t, kWriteParametersPageSize>* writeParameters = nullptr;
};

std::vector<uint8_t> InquiryAnswer(const RecorderOptions& options);
std::vector<uint8_t> ConfigurationAnswer(const DriveView& view, uint8_t requestType, uint16_t startingFeature);
std::vector<uint8_t> CapabilitiesPage(const DriveView& view);

std::vector<uint8_t> DiscInformationAnswer(const Disc& disc);
// Null when the address or number names no track; *why tells which sense.
std::optional<std::vector<uint8_t>> TrackInformationAnswer(const Disc& disc, uint8_t addressType, uint32_t number,
                                                           Sense* why);
Sense TocAnswer(const Disc& disc, uint8_t format, bool msf, uint8_t number, std::vector<uint8_t>& out);

}  // namespace dorvik::emulator
