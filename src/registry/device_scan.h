#pragma once
// Finds the devices the registry will probe, in id order: /dev/sr0, sr1 ...
// (ids from 1), then the software recorders DORVIK_VIRTUAL_DRIVES lists.
#include <memory>
#include <string>
#include <vector>

#include "registry/setup_problem.h"
#include "transport/scsi_device.h"

namespace dorvik {

struct DeviceCandidate {
  DeviceId id = 0;
  std::unique_ptr<ScsiDevice> device;
};

struct VirtualDriveSpec {
  std::string entry;   // as the list spells it
  std::string path;
  std::string medium;  // empty: the recorder's default
  // What follows the last colon when it looks like a medium name (letters,
  // digits, '-' and '+') but names none: a misspelt medium, unless the
  // whole entry names an existing file.
  std::string unknownMedium;
};

// "PATH" or "PATH:MEDIUM" entries separated by ';'. A colon followed by a
// known medium name ends the path; any other colon belongs to the path.
std::vector<VirtualDriveSpec> ParseVirtualDrives(const std::string& text);

// Device nodes /dev/srN that exist, in number order. The scan looks in
// DORVIK_DEVICE_DIR instead of /dev when that is set (for tests).
std::vector<std::string> ListOpticalDeviceNodes(const std::string& devDirectory = "/dev");

// The devices to probe; what kept an entry from becoming a device, or made
// it otherwise than asked, goes to problems.
std::vector<DeviceCandidate> ScanDevices(std::vector<SetupProblem>* problems = nullptr);

inline constexpr DeviceId kLastUsableId = 254;  // 0xFF means "no device chosen"

}  // namespace dorvik
