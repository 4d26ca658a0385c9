// The POSIX scan: /dev/srN through SG_IO, numbered from 1, then the
// software recorders.
#include "registry/device_scan.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "transport/sg_io_device.h"

namespace dorvik {

std::vector<std::string> ListOpticalDeviceNodes(const std::string& devDirectory) {
  // Names only: the nodes are block devices, which the platform's folder
  // listing (made for collecting files) leaves out.
  std::vector<std::pair<unsigned long, std::string>> found;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(devDirectory, ec)) {
    const std::string n = entry.path().filename().string();
    if (n.size() < 3 || n.compare(0, 2, "sr") != 0) continue;
    if (!std::all_of(n.begin() + 2, n.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
    found.emplace_back(std::strtoul(n.c_str() + 2, nullptr, 10), devDirectory + "/" + n);
  }
  std::sort(found.begin(), found.end());
  std::vector<std::string> out;
  for (auto& f : found) out.push_back(std::move(f.second));
  return out;
}

std::vector<DeviceCandidate> ScanDevices(std::vector<SetupProblem>* problems) {
  std::vector<DeviceCandidate> out;
  unsigned next = 1;
  // Tests stand files in for device nodes by naming another folder.
  const char* devices = std::getenv("DORVIK_DEVICE_DIR");
  for (const auto& node : ListOpticalDeviceNodes(devices && *devices ? devices : "/dev")) {
    if (next > kLastUsableId) break;
    out.push_back({static_cast<DeviceId>(next++), std::make_unique<SgIoDevice>(node)});
  }
  AppendVirtualDrives(out, next, [problems](SetupProblem p) {
    if (problems) problems->push_back(std::move(p));
  });
  return out;
}

}  // namespace dorvik
