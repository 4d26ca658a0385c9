#include "registry/device_scan.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "emulator/virtual_recorder_factory.h"
#include "platform/files.h"
#include "transport/sg_io_device.h"

namespace dorvik {

std::vector<VirtualDriveSpec> ParseVirtualDrives(const std::string& text) {
  std::vector<VirtualDriveSpec> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    std::string item = text.substr(start, end - start);
    start = end + 1;
    if (item.empty()) {
      if (end == text.size()) break;
      continue;
    }
    VirtualDriveSpec entry;
    entry.path = item;
    if (auto colon = item.rfind(':'); colon != std::string::npos) {
      std::string medium = item.substr(colon + 1);
      if (IsVirtualMediumName(medium)) {
        entry.path = item.substr(0, colon);
        entry.medium = medium;
      }
    }
    if (!entry.path.empty()) out.push_back(std::move(entry));
    if (end == text.size()) break;
  }
  return out;
}

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

std::vector<DeviceCandidate> ScanDevices() {
  std::vector<DeviceCandidate> out;
  unsigned next = 1;
  for (const auto& node : ListOpticalDeviceNodes()) {
    if (next > kLastUsableId) break;
    out.push_back({static_cast<DeviceId>(next++), std::make_unique<SgIoDevice>(node)});
  }
  if (const char* list = std::getenv("DORVIK_VIRTUAL_DRIVES"); list && *list) {
    for (const auto& entry : ParseVirtualDrives(list)) {
      if (next > kLastUsableId) break;
      std::string error;
      auto device = CreateVirtualRecorder(entry.path, entry.medium, &error);
      if (!device) continue;  // an unusable disc file is no recorder
      out.push_back({static_cast<DeviceId>(next++), std::move(device)});
    }
  }
  return out;
}

}  // namespace dorvik
