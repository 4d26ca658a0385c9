#pragma once
// A scripted transport: records every command and replays prepared answers,
// so tests can pin the exact bytes a drive would receive.
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "transport/scsi_transport.h"

namespace dorvik::test {

struct RecordedCommand {
  std::vector<uint8_t> cdb;
  DeviceId deviceId = 0;
  uint32_t dataLength = 0;
  uint32_t direction = 0;
  uint32_t timeoutMs = 0;
  std::vector<uint8_t> dataOut;  // what was sent with DirOut
  uint8_t opcode() const { return cdb.empty() ? 0 : cdb[0]; }
};

struct ScriptedAnswer {
  std::vector<uint8_t> dataIn;  // copied into the caller's buffer (at most dataLength bytes)
  bool fail = false;
  SenseResult sense{};          // written when fail
};

class FakeTransport : public ScsiTransport {
 public:
  // Answer for the next command with this opcode (queued, used once each).
  void Queue(uint8_t opcode, ScriptedAnswer answer);
  // Answer used for an opcode whenever its queue is empty.
  void SetDefault(uint8_t opcode, ScriptedAnswer answer);
  // A fully custom responder; when it returns a value that is the answer.
  std::function<std::optional<ScriptedAnswer>(const RecordedCommand&)> responder;

  std::vector<RecordedCommand> commands;
  std::vector<RecordedCommand> CommandsWith(uint8_t opcode) const;

  bool CheckAdapter(DeviceId, uint32_t) override { return true; }
  bool CheckDevice(uint32_t, uint32_t) override { return true; }
  int32_t BusCount(DeviceId) override { return 1; }
  int Execute(const uint8_t* cdb, uint8_t cdbLength, DeviceId deviceId, void* data, uint32_t dataLength,
              uint32_t direction, uint32_t timeoutMs, SenseResult* sense) override;
  int LockVolume(DeviceId deviceId, uint32_t lock) override;

 private:
  std::deque<std::pair<uint8_t, ScriptedAnswer>> queue_;
  std::vector<std::pair<uint8_t, ScriptedAnswer>> defaults_;
};

// A mode-sense answer: 8-byte header (block-descriptor length bd), bd bytes
// of descriptors, then the page.
std::vector<uint8_t> ModeSenseAnswer(const std::vector<uint8_t>& page, uint16_t blockDescriptorLength = 0);

}  // namespace dorvik::test
