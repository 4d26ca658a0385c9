// The kernel stage's program inside the VM: reads the plan, runs every
// check against QEMU's drives through /dev/srN and /dev/sgN, mounts the
// discs with isofs, and prints the results on the console.
//
//   dorvik_kernel_checks PLAN
#include <cstdio>
#include <cstdlib>

#include "drive_checks.h"
#include "listings.h"
#include "plan.h"
#include "report.h"

using namespace dorvik;
using namespace dorvik::kernel;

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: dorvik_kernel_checks PLAN\n");
    return 2;
  }
  // Readiness polls after refused commands need not take real time here.
  setenv("DORVIK_TIME_SCALE", "0.01", 1);
  Plan plan = ReadPlan(argv[1]);
  FindNodes(plan);
  Report report;
  report.Check("plan", !plan.drives.empty(), "the plan names no drive");

  CheckScan(report, plan);
  RoutingTransport transport;
  for (const auto& d : plan.drives) {
    if (d.role == "mount") continue;  // there for isofs only
    CheckDrive(report, d, "sr", d.srNode, transport, 1);
    CheckDrive(report, d, "sg", d.sgNode, transport, 2);
  }
  for (const auto& listing : plan.listings) {
    const PlannedDrive* d = FindDrive(plan, listing.drive);
    if (!report.Check(listing.kind + "/" + listing.name + "/drive", d && !d->srNode.empty(), "no such drive: " + listing.drive))
      continue;
    if (listing.kind == "mount")
      CheckMount(report, listing, *d);
    else
      CheckLibraryTree(report, listing, *d, transport, 3);
  }
  if (plan.seeds)
    for (const auto& d : plan.drives)
      if (d.role == "disc" || d.role == "empty") RecordSeeds(report, d);
  report.Done();
  return report.Failed() == 0 ? 0 : 1;
}
