#include "answer_script.h"

#include <scsi/sg.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "transport/sg_io_device.h"

namespace dorvik::fuzz {

std::vector<Answer> ParseScript(const uint8_t* data, size_t size) {
  std::vector<Answer> out;
  size_t pos = 0;
  while (pos + 4 <= size) {
    Answer a;
    a.opcode = data[pos];
    a.flags = data[pos + 1];
    const size_t length = std::min<size_t>(data[pos + 2] | (data[pos + 3] << 8), size - pos - 4);
    a.bytes.assign(data + pos + 4, data + pos + 4 + length);
    pos += 4 + length;
    out.push_back(std::move(a));
  }
  return out;
}

std::vector<uint8_t> SerializeScript(const std::vector<Answer>& answers) {
  std::vector<uint8_t> out;
  for (const Answer& a : answers) {
    const size_t length = std::min<size_t>(a.bytes.size(), 0xFFFF);
    out.insert(out.end(), {a.opcode, a.flags, static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8)});
    out.insert(out.end(), a.bytes.begin(), a.bytes.begin() + static_cast<std::ptrdiff_t>(length));
  }
  return out;
}

namespace {

struct Player {
  std::map<uint8_t, std::vector<Answer>> byOpcode;
  std::map<uint8_t, size_t> used;

  const Answer* Next(uint8_t opcode) {
    auto it = byOpcode.find(opcode);
    if (it == byOpcode.end()) return nullptr;
    size_t& n = used[opcode];
    const Answer* a = &it->second[std::min(n, it->second.size() - 1)];
    ++n;
    return a;
  }
};

constexpr uint8_t kIllegalOpcode[18] = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20, 0x00};

}  // namespace

ScriptedDrive::ScriptedDrive(std::vector<Answer> answers) {
  auto player = std::make_shared<Player>();
  for (Answer& a : answers) player->byOpcode[a.opcode].push_back(std::move(a));
  auto longest = longestOut_;
  auto ioctl = [player, longest](int, sg_io_hdr* h) {
    const uint8_t opcode = h->cmdp[0];
    if (h->dxfer_direction == SG_DXFER_TO_DEV) *longest = std::max(*longest, h->dxfer_len);
    const Answer* a = player->Next(opcode);
    auto* data = static_cast<uint8_t*>(h->dxferp);
    const bool dataIn = h->dxfer_direction == SG_DXFER_FROM_DEV && data != nullptr;
    auto fillData = [&](const std::vector<uint8_t>& bytes) {
      const size_t n = std::min<size_t>(bytes.size(), h->dxfer_len);
      if (dataIn && n > 0) std::memcpy(data, bytes.data(), n);
    };
    auto fillSense = [&](const uint8_t* sense, size_t length) {
      h->status = 0x02;
      h->driver_status = 0x08;
      h->sb_len_wr = static_cast<uint8_t>(std::min<size_t>(length, h->mx_sb_len));
      if (h->sb_len_wr > 0) std::memcpy(h->sbp, sense, h->sb_len_wr);
    };
    if (!a) {
      fillSense(kIllegalOpcode, sizeof kIllegalOpcode);
      return 0;
    }
    if (a->flags & kHostError) {
      h->host_status = 0x07;
    } else if (a->flags & kCheckCondition) {
      fillSense(a->bytes.data(), a->bytes.size());
    } else {
      fillData(a->bytes);
      return 0;
    }
    if (a->flags & kLeavesData) fillData(a->bytes);
    return 0;
  };
  transport_.Attach(kId, std::make_unique<SgIoDevice>("/dev/scripted", ioctl, [](const std::string&) { return 3; }));
}

bool RecordingDevice::Send(const uint8_t* cdb, uint8_t cdbLength, void* data, uint32_t dataLength,
                           Direction direction, uint32_t timeoutMs, DeviceReply& reply) {
  const bool sent = inner_.Send(cdb, cdbLength, data, dataLength, direction, timeoutMs, reply);
  Answer a;
  a.opcode = cdb[0];
  if (!sent || reply.status == 0xFF) {  // 0xFF: the transport's mark of a host or driver error
    a.flags = kHostError;
  } else if (reply.status != 0) {
    a.flags = kCheckCondition;
    a.bytes.assign(reply.sense, reply.sense + 18);
  } else if (direction == DirIn && data) {
    a.bytes.assign(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + dataLength);
    // Trailing zeros carry nothing a parser could tell from the zero fill.
    while (!a.bytes.empty() && a.bytes.back() == 0) a.bytes.pop_back();
  }
  answers_.push_back(std::move(a));
  return sent;
}

}  // namespace dorvik::fuzz
