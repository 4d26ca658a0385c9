#pragma once
// A disc's file tree as the kernel's isofs mounts it, or as the library
// reads it, compared with what the host says the layout promises.
#include <map>
#include <string>

#include "plan.h"
#include "report.h"
#include "transport/routing_transport.h"

namespace dorvik::kernel {

// path -> "d" for a folder, or "f SIZE SHA256" for a file.
using Tree = std::map<std::string, std::string>;

// Expectation files hold lines "d<TAB>PATH" and "f<TAB>PATH<TAB>SIZE<TAB>SHA256".
Tree ReadExpectation(const std::string& path);

// Mounts the drive's disc with isofs and the listing's options, lists it.
void CheckMount(Report& report, const PlannedListing& listing, const PlannedDrive& drive);

// Lists the tree of the session at listing.start with the library's own
// previous-session walk over the drive, and reads each file where the walk
// says it lies.
void CheckLibraryTree(Report& report, const PlannedListing& listing, const PlannedDrive& drive,
                      RoutingTransport& transport, DeviceId id);

void CompareTrees(Report& report, const std::string& name, const Tree& got, const Tree& want);

}  // namespace dorvik::kernel
