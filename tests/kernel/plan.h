#pragma once
// What the host put into the VM and what it expects of it, read from the
// plan file the stage script writes into the initramfs:
//   drive name=N bus=ata|virtio port=P target=T role=disc|empty|large
//         [blocks=B datablocks=D sha256=S vendor=V product=P]
//   mount name=N drive=N view=joliet|primary options=O expect=FILE
//   tree name=N drive=N start=LBA end=LBA expect=FILE   (end 0: not known)
//   seeds
// Values hold no spaces; '_' in vendor and product stands for a space.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace dorvik::kernel {

struct PlannedDrive {
  std::string name, bus, role, sha256, vendor, product;
  int port = 0, target = 0;
  uint32_t blocks = 0, dataBlocks = 0;
  std::string srNode, sgNode;  // found in sysfs; empty when absent
};

struct PlannedListing {
  std::string kind;  // "mount" or "tree"
  std::string name, drive, view, options, expect;
  uint32_t start = 0, end = 0;  // the session a tree listing walks
};

struct Plan {
  std::vector<PlannedDrive> drives;
  std::vector<PlannedListing> listings;
  bool seeds = false;
};

Plan ReadPlan(const std::string& path);
// Fills srNode and sgNode of each drive from /sys.
void FindNodes(Plan& plan);
const PlannedDrive* FindDrive(const Plan& plan, const std::string& name);

}  // namespace dorvik::kernel
