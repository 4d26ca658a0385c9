#include "drive/drive.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace dorvik {

void KeepDeclared(uint8_t* buffer, uint32_t capacity, uint64_t declared) {
  if (declared < capacity) std::memset(buffer + declared, 0, capacity - declared);
}

Drive::Drive(DeviceId id, ScsiTransport* transport) : id_(id) {
  imageMode_ = false;
  capabilities_.fill(0);
  capabilities_[0] = 0x2A;
  if (id == 0) {
    imageMode_ = true;  // the inert entry: no transport, nothing sent
    return;
  }
  transport_ = transport;
  Probe();
}

Drive::Drive() : id_(0) {
  capabilities_.fill(0);
  capabilities_[0] = 0x2A;
}

Drive::~Drive() = default;

void Drive::Probe() {
  uint8_t inquiry[kInquiryLength];
  Inquiry(inquiry);  // the answer is not kept; some drives want it first
  ReadModePage(capabilities_.data(), kCapabilitiesLength, id_, &lastSense_, 0x2A);
}

int Drive::Send(const uint8_t* cdb, uint8_t cdbLength, void* data, uint32_t dataLength, Direction direction,
                uint32_t timeoutMs) {
  return Send(cdb, cdbLength, data, dataLength, direction, timeoutMs, id_, &lastSense_);
}

int Drive::Send(const uint8_t* cdb, uint8_t cdbLength, void* data, uint32_t dataLength, Direction direction,
                uint32_t timeoutMs, DeviceId id, SenseResult* sense) {
  // A drive whose platform offered no transport fails every command the
  // way an unreachable device does.
  if (!transport_) return 1;
  return transport_->Execute(cdb, cdbLength, id, data, dataLength, direction, timeoutMs, sense) == 0 ? 0 : 1;
}

int Drive::IsReady() {
  if (imageMode_) return 0;
  const uint8_t cdb[6] = {0x00, 0, 0, 0, 0, 0};
  return Send(cdb, 6, nullptr, 0, DirNone, kQuickTimeoutMs);
}

int Drive::Inquiry(uint8_t* buffer) {
  std::memset(buffer, 0, kInquiryLength);
  if (imageMode_) return 1;
  const uint8_t cdb[6] = {0x12, 0, 0, 0, 0x60, 0};
  return Send(cdb, 6, buffer, kInquiryLength, DirIn, kQuickTimeoutMs);
}

int Drive::LoadOrEject(bool eject) {
  if (imageMode_) return 0;
  if (eject) PreventRemoval(0);
  const uint8_t cdb[6] = {0x1B, 0, 0, 0, static_cast<uint8_t>(eject ? 0x02 : 0x03), 0};
  return Send(cdb, 6, nullptr, 0, DirNone, kLongTimeoutMs);
}

int Drive::PreventRemoval(uint8_t prevent) {
  if (imageMode_) return 0;
  const uint8_t cdb[6] = {0x1E, 0, 0, 0, static_cast<uint8_t>(prevent & 3), 0};
  return Send(cdb, 6, nullptr, 0, DirNone, kQuickTimeoutMs);
}

int Drive::ModeSense(uint8_t* buffer, uint16_t length, uint8_t page, DeviceId id, SenseResult* sense) {
  if (imageMode_) return 1;
  uint8_t cdb[10] = {0x5A, 0, static_cast<uint8_t>(page & 0x3F), 0, 0, 0, 0, 0, 0, 0};
  PutBe16(cdb + 7, length);
  const int r = Send(cdb, 10, buffer, length, DirIn, kQuickTimeoutMs, id, sense);
  // The 8-byte header stays whatever it declares.
  if (r == 0 && length >= 8) KeepDeclared(buffer, length, std::max<uint32_t>(8, 2u + Be16(buffer)));
  return r;
}

int Drive::ModeSelect(uint8_t* buffer, uint16_t length) {
  uint8_t cdb[10] = {0x55, 0x10, 0, 0, 0, 0, 0, 0, 0, 0};
  PutBe16(cdb + 7, length);
  return Send(cdb, 10, buffer, length, DirOut, kQuickTimeoutMs);
}

int Drive::GetConfiguration(uint8_t* buffer, uint16_t length) {
  if (length > 0) std::memset(buffer, 0, length);  // a length of 0 may come with no buffer
  if (imageMode_) return 1;
  uint8_t cdb[10] = {0x46, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  PutBe16(cdb + 7, length);
  const int r = Send(cdb, 10, buffer, length, DirIn, kQuickTimeoutMs);
  if (r == 0 && length >= 8) KeepDeclared(buffer, length, std::max<uint64_t>(8, 4ull + Be32(buffer)));
  return r;
}

void Drive::LockVolume(bool lock) {
  if (imageMode_ || !transport_) return;
  transport_->LockVolume(id_, lock ? 1 : 0);
}

int Drive::GetVendorProduct(char* vendor, char* product) {
  uint8_t inquiry[kInquiryLength] = {};
  int r = Inquiry(inquiry);
  if (r != 0) return r;
  // Bounded copies that stop at a NUL and pad with NUL; a full field keeps
  // no terminator, as hosts of this interface expect.
  auto copy = [](char* out, const uint8_t* in, size_t n) {
    size_t i = 0;
    for (; i < n && in[i] != 0; ++i) out[i] = static_cast<char>(in[i]);
    for (; i < n; ++i) out[i] = 0;
  };
  copy(vendor, inquiry + 8, 8);
  copy(product, inquiry + 16, 16);
  return 0;
}

int Drive::ReadModePage(uint8_t* buffer, uint32_t length, DeviceId id, SenseResult* sense, uint8_t page) {
  std::vector<uint8_t> answer(kModePageAnswerLength, 0);
  int r = ModeSense(answer.data(), kModePageAnswerLength, page, id, sense);
  if (r != 0) return r;
  const size_t offset = 8 + static_cast<size_t>(Be16(answer.data() + 6));
  const size_t wanted = std::min<size_t>(length, kModePageAnswerLength);
  const size_t available = offset < kModePageAnswerLength ? kModePageAnswerLength - offset : 0;
  const size_t n = std::min(wanted, available);
  if (n > 0) std::memcpy(buffer, answer.data() + offset, n);
  return 0;
}

uint32_t Drive::CurrentProfile() {
  if (imageMode_) return kProfileCdR;
  std::vector<uint8_t> config(1024, 0);
  if (GetConfiguration(config.data(), 1024) == 0) {
    uint32_t current = Be16(config.data() + 6);
    if (current != 0) return current;
  }
  uint8_t info[kDiscInformationLength];
  if (ReadDiscInformation(info) != 0) return kProfileNone;
  const uint8_t s = info[2];
  if ((s & 3) == 2 || (s & 3) == 3) return kProfileCdRom;
  return (s & 0x10) ? kProfileCdRw : kProfileCdR;
}

uint32_t Drive::DriveClass() {
  if (imageMode_) return 1;
  constexpr uint32_t kLength = 2048;
  std::vector<uint8_t> config(kLength, 0);
  if (GetConfiguration(config.data(), kLength) != 0) return 10;
  const uint32_t dataLength = Be32(config.data());
  if (dataLength == 0) return 10;
  // The data-length field counts the bytes after itself; never walk past
  // either it or the buffer.
  const size_t end = std::min<size_t>(kLength, static_cast<size_t>(dataLength) + 4);
  size_t pos = 8;
  const uint8_t* list = nullptr;
  while (pos + 4 <= end) {
    const uint8_t* d = config.data() + pos;
    if (Be16(d) == 0) {
      list = d;
      break;
    }
    pos += 4 + d[3];
  }
  if (!list) return 10;
  const uint8_t n = list[3];
  if (n == 0) return 10;
  uint32_t profiles[100] = {};
  size_t count = 0;
  for (size_t off = 4; off + 4 <= 4u + n && count < 100; off += 4) {
    if (pos + off + 4 > end) break;
    profiles[count++] = Be16(list + off);
  }
  auto has = [&](uint32_t p) {
    for (size_t i = 0; i < count && profiles[i] != 0; ++i)
      if (profiles[i] == p) return true;
    return false;
  };
  if ((has(0x13) && has(0x12)) || (has(0x14) && has(0x12))) return 9;
  if ((has(0x13) && has(0x1A)) || (has(0x14) && has(0x1A))) return 8;
  if (has(0x1A)) return 7;
  if (has(0x12)) return 6;
  if (has(0x13) && has(0x14)) return 5;
  if (has(0x11)) return 4;
  if (has(0x10) && has(0x0A)) return 3;
  if (has(0x10)) return 2;
  if (has(0x0A)) return 1;
  if (has(0x08)) return 0;
  return 10;
}

int Drive::ReadDiscInformation(uint8_t* buffer) {
  std::memset(buffer, 0, kDiscInformationLength);
  if (imageMode_) return imageDevice_ ? imageDevice_->ReadDiscInformation(buffer) : 1;
  uint8_t cdb[10] = {0x51, 0, 0, 0, 0, 0, 0, 0x02, 0x22, 0};
  return Send(cdb, 10, buffer, kDiscInformationLength, DirIn, kQuickTimeoutMs);
}

}  // namespace dorvik
