#pragma once
// What went wrong while the devices were looked for: a setting entry that
// was not understood or could not be used, a device node that could not be
// opened, a device that answered but cannot record. Kept by the registry so
// a host can tell its user why a recorder is missing or not as asked.
#include <string>

#include "transport/scsi_transport.h"

namespace dorvik {

struct SetupProblem {
  enum class Kind { Setting = 1, Device = 2, NotRecorder = 3 };
  Kind kind = Kind::Setting;
  int systemError = 0;  // errno of the failed system call; 0 when none
  std::string subject;  // the entry, setting or device node concerned
  std::string text;     // what is wrong and what was done about it
  DeviceId madeAs = 0;  // the recorder made all the same; 0 when none was
};

}  // namespace dorvik
