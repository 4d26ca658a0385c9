#pragma once
// How whoever builds the list of devices makes a software recorder: the
// recorder itself knows nothing of device ids or scans.
#include <memory>
#include <string>

#include "transport/scsi_device.h"

namespace dorvik {

// A recorder over the disc file at path, taking its presentation from
// DORVIK_VIRTUAL_OPTIONS and scripted failures from DORVIK_VIRTUAL_FAULTS;
// null (with a reason) when the disc file or a setting cannot be used.
std::unique_ptr<ScsiDevice> CreateVirtualRecorder(const std::string& path, const std::string& medium,
                                                  std::string* error);

// Whether the software recorder knows a medium of this name.
bool IsVirtualMediumName(const std::string& name);

}  // namespace dorvik
