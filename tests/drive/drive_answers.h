#pragma once
// Answers a drive gives to the information queries, built field by field,
// and a light transport for long command sequences.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <memory>
#include <type_traits>
#include <vector>

#include "drive/drive.h"
#include "support/fake_transport.h"

namespace dorvik::test {

using Bytes = std::vector<uint8_t>;

// GET CONFIGURATION: current profile, then a profile list and the given
// features (each with no feature-dependent data).
inline Bytes Configuration(uint16_t current, std::initializer_list<uint16_t> profiles,
                           std::initializer_list<uint16_t> features = {}) {
  Bytes out(8, 0);
  PutBe16(out.data() + 6, current);
  Bytes list = {0, 0, 0x03, static_cast<uint8_t>(profiles.size() * 4)};
  for (uint16_t p : profiles) list.insert(list.end(), {static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p), 0, 0});
  out.insert(out.end(), list.begin(), list.end());
  for (uint16_t f : features) out.insert(out.end(), {static_cast<uint8_t>(f >> 8), static_cast<uint8_t>(f), 0, 0});
  PutBe32(out.data(), static_cast<uint32_t>(out.size() - 4));
  return out;
}

inline Bytes DiscInformation(uint8_t status, uint8_t lastTrack = 1, std::initializer_list<uint8_t> leadOutMsf = {}) {
  Bytes out(34, 0);
  out[1] = 32;
  out[2] = status;
  out[6] = lastTrack;
  size_t i = 20;
  for (uint8_t b : leadOutMsf) out[i++] = b;
  return out;
}

inline Bytes TrackInformation(uint8_t number, uint32_t start, uint32_t size, bool nwaValid = false,
                              uint32_t nwa = 0) {
  Bytes out(36, 0);
  out[1] = 34;
  out[2] = number;
  out[3] = 1;
  out[7] = nwaValid ? 1 : 0;
  PutBe32(out.data() + 8, start);
  PutBe32(out.data() + 12, nwa);
  PutBe32(out.data() + 24, size);
  return out;
}

inline ScriptedAnswer Data(Bytes bytes) { return ScriptedAnswer{std::move(bytes)}; }
inline ScriptedAnswer Refused() {
  ScriptedAnswer a;
  a.fail = true;
  a.sense.senseKey = 5;
  a.sense.asc = 0x20;
  return a;
}

// Keeps only the command blocks, so a sequence of thousands of 64 KiB writes
// costs no memory; answers come from a function of the command.
class SequenceTransport : public ScsiTransport {
 public:
  std::vector<Bytes> cdbs;
  // Returns 0 or 1; may fill data for DirIn commands.
  std::function<int(const Bytes& cdb, void* data, uint32_t length)> answer;

  bool CheckAdapter(DeviceId, uint32_t) override { return true; }
  bool CheckDevice(uint32_t, uint32_t) override { return true; }
  int32_t BusCount(DeviceId) override { return 1; }
  int Execute(const uint8_t* cdb, uint8_t cdbLength, DeviceId, void* data, uint32_t dataLength, uint32_t,
              uint32_t, SenseResult*) override {
    cdbs.emplace_back(cdb, cdb + cdbLength);
    return answer ? answer(cdbs.back(), data, dataLength) : 0;
  }
  int LockVolume(DeviceId, uint32_t) override { return 0; }

  size_t Count(uint8_t opcode) const {
    size_t n = 0;
    for (const auto& c : cdbs) n += c[0] == opcode;
    return n;
  }
  // Opcodes in order, runs of the same opcode folded into one entry.
  std::vector<uint8_t> FoldedOpcodes() const {
    std::vector<uint8_t> out;
    for (const auto& c : cdbs)
      if (out.empty() || out.back() != c[0]) out.push_back(c[0]);
    return out;
  }
};

inline void CopyAnswer(const Bytes& answer, void* data, uint32_t length) {
  std::memcpy(data, answer.data(), std::min<size_t>(answer.size(), length));
}

// A recorder whose construction-time commands are already out of the log.
template <typename Transport>
struct RecorderOn {
  Transport t;
  std::unique_ptr<Recorder> r;
  explicit RecorderOn(DeviceId id = 4) {
    r = std::make_unique<Recorder>(id, &t);
    if constexpr (std::is_same_v<Transport, FakeTransport>) t.commands.clear();
    else t.cdbs.clear();
  }
};

}  // namespace dorvik::test
