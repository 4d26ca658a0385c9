#include "transport/system_transport.h"

namespace dorvik {

std::unique_ptr<ScsiTransport> MakeSystemTransport() { return nullptr; }

}  // namespace dorvik
