#include "registry/device_registry.h"

#include <cstring>

#include "diag/log.h"
#include "registry/device_scan.h"
#include "registry/transport_selector.h"

namespace dorvik {

DeviceRegistry::~DeviceRegistry() { Clear(); }

namespace {

// The log's "File:" and line for the problems of a scan, fixed so logs of
// different versions compare.
constexpr char kScanSource[] = "registry/device_scan.cpp";
constexpr int16_t kScanProblemLine = 100;

SetupProblem DeviceProblem(const ScsiDevice& device) {
  SetupProblem p;
  p.subject = device.Describe();
  p.systemError = device.OpenError();
  if (p.systemError != 0) {
    p.kind = SetupProblem::Kind::Device;
    p.text = std::string("cannot be opened: ") + std::strerror(p.systemError);
  } else {
    p.kind = SetupProblem::Kind::NotRecorder;
    p.text = "does not answer as a recorder (it cannot write CDs or DVDs)";
  }
  return p;
}

}  // namespace

void DeviceRegistry::Clear() {
  while (!entries_.empty()) entries_.pop_back();
  problems_.clear();
}

bool DeviceRegistry::CanRecord(const uint8_t* page) {
  const uint8_t b2 = page[2];
  const uint8_t b3 = page[3];
  const bool cdWrite = (b3 & 0x03) != 0;
  if (b2 & 0x08) return cdWrite || (b3 & 0x20) != 0;
  return cdWrite;
}

void DeviceRegistry::Build() {
  std::vector<SetupProblem> problems;
  auto candidates = ScanDevices(&problems);
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
    for (DeviceId id : ids) {
      if (Find(id)) continue;
      if (const ScsiDevice* device = routing->DeviceFor(id)) problems.push_back(DeviceProblem(*device));
      routing->Attach(id, nullptr);
    }
  }
  problems_ = std::move(problems);
  for (const SetupProblem& p : problems_)
    diag::LogText(kScanSource, kScanProblemLine, (p.subject + ": " + p.text).c_str());
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
