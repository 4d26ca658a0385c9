#pragma once
// Owns the process's one transport: a RoutingTransport to which the device
// scan attaches each drive under its id (on POSIX every drive, on Windows the
// software recorders), over the system's own transport where there is one.
#include <memory>
#include <mutex>

#include "transport/routing_transport.h"
#include "transport/scsi_transport.h"

namespace dorvik {

class TransportSelector {
 public:
  static TransportSelector& Instance();
  ScsiTransport* Transport() const { return transport_.get(); }
  // The routing transport when the selected one is ours, else null.
  RoutingTransport* Routing() const { return routing_; }

 private:
  TransportSelector();
  std::unique_ptr<ScsiTransport> transport_;
  RoutingTransport* routing_ = nullptr;
};

}  // namespace dorvik
