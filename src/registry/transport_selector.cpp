#include "registry/transport_selector.h"

namespace dorvik {

TransportSelector& TransportSelector::Instance() {
  // Made on first use and destroyed at exit, after the registry is gone.
  static TransportSelector selector;
  return selector;
}

TransportSelector::TransportSelector() {
  auto routing = std::make_unique<RoutingTransport>();
  routing_ = routing.get();
  transport_ = std::move(routing);
}

}  // namespace dorvik
