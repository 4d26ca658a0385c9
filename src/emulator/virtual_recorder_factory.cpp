#include "transport/device_scan.h"

namespace dorvik {

std::unique_ptr<ScsiDevice> CreateVirtualRecorder(const std::string&, const std::string&, std::string* error) {
  if (error) *error = "software recorder not built";
  return nullptr;
}

}  // namespace dorvik
