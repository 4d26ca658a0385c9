#pragma once
// How whoever builds the list of devices makes a software recorder: the
// recorder itself knows nothing of device ids or scans.
#include <memory>
#include <string>
#include <vector>

#include "transport/scsi_device.h"

namespace dorvik {

// Whether DORVIK_VIRTUAL_OPTIONS and DORVIK_VIRTUAL_FAULTS can be used; when
// not, the reason, naming the setting and its bad entry. A recorder is made
// only when both can.
bool CheckVirtualSettings(std::string* error);

// A recorder over the disc file at path, taking its presentation from
// DORVIK_VIRTUAL_OPTIONS and scripted failures from DORVIK_VIRTUAL_FAULTS;
// null (with a reason) when the disc file or a setting cannot be used.
// note: set when the recorder was made but not as asked (a medium named for
// a disc file that already holds another disc), else left alone.
std::unique_ptr<ScsiDevice> CreateVirtualRecorder(const std::string& path, const std::string& medium,
                                                  std::string* error, std::string* note = nullptr);

// Whether the software recorder knows a medium of this name, and all the
// names it knows, in the order of its table.
bool IsVirtualMediumName(const std::string& name);
std::vector<std::string> VirtualMediumNames();

}  // namespace dorvik
