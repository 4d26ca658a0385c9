#pragma once
// Finds the devices the registry will probe, in id order: /dev/sr0, sr1 ...
// (ids from 1), then the software recorders DORVIK_VIRTUAL_DRIVES lists.
#include <memory>
#include <string>
#include <vector>

#include "transport/scsi_device.h"

namespace dorvik {

struct DeviceCandidate {
  DeviceId id = 0;
  std::unique_ptr<ScsiDevice> device;
};

struct VirtualDriveSpec {
  std::string path;
  std::string medium;  // empty: the recorder's default
};

// "PATH" or "PATH:MEDIUM" entries separated by ';'. A colon followed by a
// known medium name ends the path; any other colon belongs to the path.
std::vector<VirtualDriveSpec> ParseVirtualDrives(const std::string& text);

// Device nodes /dev/srN that exist, in number order.
std::vector<std::string> ListOpticalDeviceNodes(const std::string& devDirectory = "/dev");

std::vector<DeviceCandidate> ScanDevices();

inline constexpr DeviceId kLastUsableId = 254;  // 0xFF means "no device chosen"

}  // namespace dorvik
