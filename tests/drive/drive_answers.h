#pragma once
// Answers a drive gives, and a recorder on the scripted transport whose
// construction-time commands are already out of the log.
#include <memory>
#include <vector>

#include "drive/drive.h"
#include "support/fake_transport.h"

namespace dorvik::test {

using Bytes = std::vector<uint8_t>;

// GET CONFIGURATION: current profile, the profile list, then features
// without feature-dependent data.
inline Bytes Configuration(uint16_t current, const std::vector<uint16_t>& profiles,
                           const std::vector<uint16_t>& features = {}) {
  Bytes out(8, 0);
  PutBe16(out.data() + 6, current);
  out.insert(out.end(), {0, 0, 0x03, static_cast<uint8_t>(profiles.size() * 4)});
  for (uint16_t p : profiles) out.insert(out.end(), {static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p), 0, 0});
  for (uint16_t f : features) out.insert(out.end(), {static_cast<uint8_t>(f >> 8), static_cast<uint8_t>(f), 0, 0});
  PutBe32(out.data(), static_cast<uint32_t>(out.size() - 4));
  return out;
}

inline ScriptedAnswer Data(Bytes bytes) { return ScriptedAnswer{std::move(bytes)}; }
inline ScriptedAnswer Refused() { return ScriptedAnswer{{}, true, SenseResult{.senseKey = 5, .asc = 0x20}}; }

struct FakeRecorder {
  FakeTransport t;
  std::unique_ptr<Recorder> r;
  FakeRecorder() : r(std::make_unique<Recorder>(4, &t)) { t.commands.clear(); }
};

}  // namespace dorvik::test
