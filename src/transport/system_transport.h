#pragma once
// The transport the operating system offers for its own drives. On Windows
// it is chosen by the system family: the ASPI manager on the 9x family, SCSI
// pass-through on the NT family. POSIX has none: each drive found there is
// its own ScsiDevice (SG_IO), so the answer is null.
#include <cstdint>
#include <memory>

#include "transport/scsi_transport.h"

namespace dorvik {

std::unique_ptr<ScsiTransport> MakeSystemTransport();

#if defined(_WIN32)
// The choice for a GetVersionEx platform id: 1 (9x family) ASPI, 2 (NT
// family) pass-through, anything else none.
std::unique_ptr<ScsiTransport> TransportForPlatform(uint32_t platformId);
#endif

}  // namespace dorvik
