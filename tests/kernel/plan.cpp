#include "plan.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace dorvik::kernel {

namespace fs = std::filesystem;

Plan ReadPlan(const std::string& path) {
  Plan plan;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string kind, word;
    words >> kind;
    std::map<std::string, std::string> v;
    while (words >> word) {
      const auto eq = word.find('=');
      if (eq != std::string::npos) v[word.substr(0, eq)] = word.substr(eq + 1);
    }
    auto spaced = [](std::string s) {
      for (char& c : s)
        if (c == '_') c = ' ';
      return s;
    };
    if (kind == "drive") {
      PlannedDrive d;
      d.name = v["name"], d.bus = v["bus"], d.role = v["role"], d.sha256 = v["sha256"];
      d.vendor = spaced(v["vendor"]), d.product = spaced(v["product"]);
      d.port = std::atoi(v["port"].c_str()), d.target = std::atoi(v["target"].c_str());
      d.blocks = static_cast<uint32_t>(std::strtoul(v["blocks"].c_str(), nullptr, 10));
      d.dataBlocks = static_cast<uint32_t>(std::strtoul(v["datablocks"].c_str(), nullptr, 10));
      if (d.dataBlocks == 0) d.dataBlocks = d.blocks;
      plan.drives.push_back(d);
    } else if (kind == "mount" || kind == "tree") {
      plan.listings.push_back({kind, v["name"], v["drive"], v["view"], v["options"], v["expect"],
                               static_cast<uint32_t>(std::strtoul(v["start"].c_str(), nullptr, 10)),
                               static_cast<uint32_t>(std::strtoul(v["end"].c_str(), nullptr, 10))});
    } else if (kind == "seeds") {
      plan.seeds = true;
    }
  }
  return plan;
}

namespace {

// The device's sysfs path ends in .../HOST:CHANNEL:TARGET:LUN; ATA devices
// sit under ataN (N the port), virtio-scsi ones under virtioN.
bool Matches(const PlannedDrive& d, const std::string& devicePath) {
  const std::string leaf = fs::path(devicePath).filename().string();
  const auto first = leaf.find(':');
  const auto second = leaf.find(':', first + 1);
  const auto third = leaf.find(':', second + 1);
  if (first == std::string::npos || second == std::string::npos || third == std::string::npos) return false;
  const int target = std::atoi(leaf.substr(second + 1, third - second - 1).c_str());
  if (target != d.target) return false;
  if (d.bus == "ata") return devicePath.find("/ata" + std::to_string(d.port) + "/") != std::string::npos;
  return devicePath.find("/virtio") != std::string::npos;
}

std::string NodeFor(const PlannedDrive& d, const std::string& sysClass) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(sysClass, ec)) {
    const fs::path device = fs::canonical(e.path() / "device", ec);
    if (!ec && Matches(d, device.string())) return "/dev/" + e.path().filename().string();
  }
  return {};
}

}  // namespace

void FindNodes(Plan& plan) {
  for (auto& d : plan.drives) {
    d.srNode = NodeFor(d, "/sys/class/block");
    d.sgNode = NodeFor(d, "/sys/class/scsi_generic");
  }
}

const PlannedDrive* FindDrive(const Plan& plan, const std::string& name) {
  for (const auto& d : plan.drives)
    if (d.name == name) return &d;
  return nullptr;
}

}  // namespace dorvik::kernel
