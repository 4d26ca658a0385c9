#include "registry/transport_selector.h"

#include "transport/system_transport.h"

namespace dorvik {

TransportSelector& TransportSelector::Instance() {
  // Made on first use and destroyed at exit, after the registry is gone.
  static TransportSelector selector;
  return selector;
}

TransportSelector::TransportSelector() {
  // The system's own transport (Windows) serves the ids the scan attaches
  // no device to.
  auto routing = std::make_unique<RoutingTransport>(MakeSystemTransport());
  routing_ = routing.get();
  transport_ = std::move(routing);
}

}  // namespace dorvik
