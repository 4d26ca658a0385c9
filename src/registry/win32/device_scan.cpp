// The Windows scan: every drive letter whose type is CD-ROM, by its index,
// then the software recorders beside the letters.
#include "registry/device_scan.h"

#include <windows.h>

namespace dorvik {

std::vector<DeviceId> ListCdromLetters(uint32_t mask, const std::function<unsigned(const char* root)>& driveType) {
  std::vector<DeviceId> out;
  for (DeviceId i = 0; i < 26; ++i) {
    if (!(mask & (1u << i))) continue;
    const char root[4] = {static_cast<char>('A' + i), ':', '\\', '\0'};
    if (driveType(root) == DRIVE_CDROM) out.push_back(i);
  }
  return out;
}

std::vector<DeviceCandidate> ScanDevices(std::vector<SetupProblem>* problems) {
  std::vector<DeviceCandidate> out;
  // No device of our own: the system transport reaches a letter by its id.
  for (DeviceId id : ListCdromLetters(::GetLogicalDrives(), [](const char* root) { return ::GetDriveTypeA(root); }))
    out.push_back({id, nullptr});
  AppendVirtualDrives(out, kFirstVirtualId, [problems](SetupProblem p) {
    if (problems) problems->push_back(std::move(p));
  });
  return out;
}

}  // namespace dorvik
