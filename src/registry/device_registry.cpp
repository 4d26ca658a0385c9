#include "registry/device_registry.h"

#include "registry/device_scan.h"
#include "registry/transport_selector.h"

namespace dorvik {

DeviceRegistry::~DeviceRegistry() { Clear(); }

void DeviceRegistry::Clear() {
  while (!entries_.empty()) entries_.pop_back();
}

bool DeviceRegistry::CanRecord(const uint8_t* page) {
  const uint8_t b2 = page[2];
  const uint8_t b3 = page[3];
  const bool cdWrite = (b3 & 0x03) != 0;
  if (b2 & 0x08) return cdWrite || (b3 & 0x20) != 0;
  return cdWrite;
}

void DeviceRegistry::Build() {
  auto candidates = ScanDevices();
  auto& selector = TransportSelector::Instance();
  std::vector<DeviceId> ids;
  if (RoutingTransport* routing = selector.Routing()) {
    for (auto& c : candidates) {
      routing->Attach(c.id, std::move(c.device));
      ids.push_back(c.id);
    }
  }
  Build(selector.Transport(), ids);
  if (RoutingTransport* routing = selector.Routing()) {
    // Devices that turned out not to be recorders are let go.
    for (DeviceId id : ids)
      if (!Find(id)) routing->Attach(id, nullptr);
  }
}

void DeviceRegistry::Build(ScsiTransport* transport, const std::vector<DeviceId>& ids) {
  Clear();
  for (DeviceId id : ids) {
    if (id == 0) continue;  // id 0 is the inert entry's alone
    bool accepted = false;
    {
      Drive probe(id, transport);
      uint8_t page[kCapabilitiesLength] = {0x2A};
      SenseResult sense{};
      if (probe.ReadModePage(page, kCapabilitiesLength, id, &sense, 0x2A) == 0) accepted = CanRecord(page);
    }
    if (accepted) entries_.push_back(std::make_unique<Recorder>(id, transport));
  }
  entries_.push_back(std::make_unique<Recorder>(0, nullptr));
}

Recorder* DeviceRegistry::Find(DeviceId id) const {
  for (const auto& e : entries_)
    if (e->GetId() == id) return e.get();
  return nullptr;
}

}  // namespace dorvik
