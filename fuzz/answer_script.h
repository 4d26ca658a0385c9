#pragma once
// A drive's answers as a byte string, so a fuzzer can mutate them and a real
// drive's answers can be kept as seeds. The script is a list of records:
//
//   opcode (1 byte), flags (1 byte), length (2 bytes, little-endian), bytes
//
// A command gets the next unused record with its opcode; once they are used
// up the last one answers again, and an opcode without records is refused
// as an unknown command (5/20/00). Flags:
//   kCheckCondition: status CHECK CONDITION, bytes are the sense data;
//   kHostError:      the command never completed (no status, no sense);
//   kLeavesData:     the bytes are also written over a data-in buffer when
//                    the command failed, as the sg driver does.
// On success the bytes are the data-in answer (cut to the allocation length).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "transport/routing_transport.h"
#include "transport/scsi_device.h"

namespace dorvik::fuzz {

enum : uint8_t { kCheckCondition = 1, kHostError = 2, kLeavesData = 4 };

struct Answer {
  uint8_t opcode = 0;
  uint8_t flags = 0;
  std::vector<uint8_t> bytes;
};

std::vector<Answer> ParseScript(const uint8_t* data, size_t size);
std::vector<uint8_t> SerializeScript(const std::vector<Answer>& answers);

// A RoutingTransport whose device kId is an SG_IO device whose ioctl plays
// the script, so the kernel-facing code runs as well as the drive layer.
class ScriptedDrive {
 public:
  static constexpr DeviceId kId = 1;
  explicit ScriptedDrive(std::vector<Answer> answers);
  ScsiTransport* Transport() { return &transport_; }
  // The longest data-out buffer a command was sent with.
  uint32_t LongestDataOut() const { return *longestOut_; }

 private:
  RoutingTransport transport_;
  std::shared_ptr<uint32_t> longestOut_ = std::make_shared<uint32_t>(0);
};

// Passes commands to a real device and keeps its answers as a script.
class RecordingDevice final : public ScsiDevice {
 public:
  explicit RecordingDevice(ScsiDevice& inner) : inner_(inner) {}
  bool Send(const uint8_t* cdb, uint8_t cdbLength, void* data, uint32_t dataLength, Direction direction,
            uint32_t timeoutMs, DeviceReply& reply) override;
  std::string Describe() const override { return inner_.Describe(); }
  const std::vector<Answer>& Answers() const { return answers_; }
  void Clear() { answers_.clear(); }

 private:
  ScsiDevice& inner_;
  std::vector<Answer> answers_;
};

// The first bytes of every drive-answer input choose what the target asks
// (track numbers, allocation lengths); the rest is the script.
inline constexpr size_t kParameterBytes = 4;

}  // namespace dorvik::fuzz
