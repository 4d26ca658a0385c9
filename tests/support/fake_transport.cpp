#include "support/fake_transport.h"

#include <algorithm>
#include <cstring>

namespace dorvik::test {

void FakeTransport::Queue(uint8_t opcode, ScriptedAnswer answer) { queue_.emplace_back(opcode, std::move(answer)); }

void FakeTransport::SetDefault(uint8_t opcode, ScriptedAnswer answer) {
  defaults_.emplace_back(opcode, std::move(answer));
}

std::vector<RecordedCommand> FakeTransport::CommandsWith(uint8_t opcode) const {
  std::vector<RecordedCommand> out;
  for (const auto& c : commands)
    if (c.opcode() == opcode) out.push_back(c);
  return out;
}

int FakeTransport::Execute(const uint8_t* cdb, uint8_t cdbLength, DeviceId deviceId, void* data,
                           uint32_t dataLength, uint32_t direction, uint32_t timeoutMs, SenseResult* sense) {
  RecordedCommand cmd;
  cmd.cdb.assign(cdb, cdb + cdbLength);
  cmd.deviceId = deviceId;
  cmd.dataLength = dataLength;
  cmd.direction = direction;
  cmd.timeoutMs = timeoutMs;
  if ((direction & 0xFF) == 0x21 && data) {
    auto* p = static_cast<uint8_t*>(data);
    cmd.dataOut.assign(p, p + dataLength);
  }
  commands.push_back(cmd);
  const uint8_t d = direction & 0xFF;
  if (d != 0x20 && d != 0x21 && d != 0x22) return 1;

  std::optional<ScriptedAnswer> answer;
  if (responder) answer = responder(cmd);
  if (!answer) {
    auto it = std::find_if(queue_.begin(), queue_.end(), [&](const auto& q) { return q.first == cmd.opcode(); });
    if (it != queue_.end()) {
      answer = it->second;
      queue_.erase(it);
    }
  }
  if (!answer) {
    for (const auto& [op, a] : defaults_)
      if (op == cmd.opcode()) answer = a;
  }
  if (!answer) answer = ScriptedAnswer{};  // plain success, no data
  if (answer->fail) {
    if (sense) *sense = answer->sense;
    return 1;
  }
  if (d == 0x20 && data) {
    const size_t n = std::min<size_t>(dataLength, answer->dataIn.size());
    if (n > 0) std::memcpy(data, answer->dataIn.data(), n);
  }
  return 0;
}

int FakeTransport::LockVolume(DeviceId, uint32_t) { return 0; }

std::vector<uint8_t> ModeSenseAnswer(const std::vector<uint8_t>& page, uint16_t blockDescriptorLength) {
  std::vector<uint8_t> out(8 + blockDescriptorLength, 0);
  const size_t dataLength = out.size() - 2 + page.size();
  out[0] = static_cast<uint8_t>(dataLength >> 8);
  out[1] = static_cast<uint8_t>(dataLength);
  out[6] = static_cast<uint8_t>(blockDescriptorLength >> 8);
  out[7] = static_cast<uint8_t>(blockDescriptorLength);
  out.insert(out.end(), page.begin(), page.end());
  return out;
}

}  // namespace dorvik::test
