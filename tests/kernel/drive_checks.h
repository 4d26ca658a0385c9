#pragma once
#include <string>

#include "plan.h"
#include "report.h"
#include "transport/routing_transport.h"

namespace dorvik::kernel {

// Every check of one drive through one device node (its /dev/srN or its
// /dev/sgN), attached to transport under id. Check names start with
// "DRIVE/VIA/".
void CheckDrive(Report& report, const PlannedDrive& drive, const std::string& via, const std::string& node,
                RoutingTransport& transport, DeviceId id);

// The registry built by the library's own scan must leave these read-only
// drives out, because their capabilities page shows no write ability.
void CheckScan(Report& report, const Plan& plan);

// The drive-answer fuzz targets' questions asked of a real drive, its
// answers printed as seeds.
void RecordSeeds(Report& report, const PlannedDrive& drive);

}  // namespace dorvik::kernel
