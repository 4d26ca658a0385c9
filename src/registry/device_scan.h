#pragma once
// Finds the devices the registry will probe, in id order, then the software
// recorders DORVIK_VIRTUAL_DRIVES lists. POSIX: /dev/sr0, sr1 ... with ids
// from 1. Windows: the CD-ROM drive letters, id = letter index (A: = 0),
// reached through the system transport, and the software recorders from
// id 26, beside the letters.
#include <cstdint>
#include <functional>
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

inline constexpr DeviceId kLastUsableId = 254;  // 0xFF means "no device chosen"

// The devices to probe; what kept an entry from becoming a device, or made
// it otherwise than asked, goes to problems.
std::vector<DeviceCandidate> ScanDevices(std::vector<SetupProblem>* problems = nullptr);

// Appends the software recorders DORVIK_VIRTUAL_DRIVES lists, numbered from
// firstId; an entry that cannot become a recorder is left out and told to
// report, as is one made otherwise than asked.
void AppendVirtualDrives(std::vector<DeviceCandidate>& out, unsigned firstId,
                         const std::function<void(SetupProblem)>& report);

#if defined(_WIN32)
inline constexpr DeviceId kFirstVirtualId = 26;

// The letters of a GetLogicalDrives mask (bit 0 = A:) whose root ("D:\")
// driveType calls a CD-ROM drive, as ids; bits above Z: are ignored.
std::vector<DeviceId> ListCdromLetters(uint32_t mask, const std::function<unsigned(const char* root)>& driveType);
#else
// Device nodes /dev/srN that exist, in number order. The scan looks in
// DORVIK_DEVICE_DIR instead of /dev when that is set (for tests).
std::vector<std::string> ListOpticalDeviceNodes(const std::string& devDirectory = "/dev");
#endif

}  // namespace dorvik
