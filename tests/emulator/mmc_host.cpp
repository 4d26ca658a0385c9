#include "mmc_host.h"

#include <cstdio>

namespace dorvik::emulator::test {

std::string Answer::Sense() const {
  char text[16];
  std::snprintf(text, sizeof text, "%02X/%02X/%02X", key, asc, ascq);
  return text;
}

Answer MmcHost::Run(std::vector<uint8_t> cdb, void* data, uint32_t length, Direction direction) {
  DeviceReply reply;
  Answer a;
  EXPECT_TRUE(device_->Send(cdb.data(), static_cast<uint8_t>(cdb.size()), data, length, direction, 1000, reply));
  a.status = reply.status;
  if (reply.status) {
    a.sense.assign(reply.sense, reply.sense + kSenseBufferLength);
    a.key = reply.sense[2] & 0x0F;
    a.asc = reply.sense[12];
    a.ascq = reply.sense[13];
  }
  return a;
}

Answer MmcHost::In(std::vector<uint8_t> cdb, uint32_t length) {
  std::vector<uint8_t> buffer(length, 0);
  Answer a = Run(std::move(cdb), buffer.data(), length, DirIn);
  a.data = std::move(buffer);
  return a;
}

Answer MmcHost::Out(std::vector<uint8_t> cdb, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> copy = data;
  return Run(std::move(cdb), copy.data(), static_cast<uint32_t>(copy.size()), DirOut);
}

Answer MmcHost::None(std::vector<uint8_t> cdb) { return Run(std::move(cdb), nullptr, 0, DirNone); }

Answer MmcHost::ModeSense(uint8_t page, uint16_t length) {
  return In({0x5A, 0, page, 0, 0, 0, 0, static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 0}, length);
}

Answer MmcHost::WriteParameters(uint8_t byte2, uint8_t byte3, uint8_t byte4, uint8_t sessionFormat) {
  std::vector<uint8_t> list(8 + 52, 0);
  uint8_t* p = list.data() + 8;
  p[0] = 0x05;
  p[1] = 0x32;
  p[2] = byte2;
  p[3] = byte3;
  p[4] = byte4;
  p[8] = sessionFormat;
  p[15] = 150;
  const auto n = static_cast<uint16_t>(list.size());
  return Out({0x55, 0x10, 0, 0, 0, 0, 0, static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n), 0}, list);
}

Answer MmcHost::GetConfiguration(uint8_t rt, uint16_t start, uint16_t length) {
  return In({0x46, rt, static_cast<uint8_t>(start >> 8), static_cast<uint8_t>(start), 0, 0, 0,
             static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 0},
            length);
}

Answer MmcHost::TrackInformation(uint8_t addressType, uint32_t number) {
  return In({0x52, addressType, static_cast<uint8_t>(number >> 24), static_cast<uint8_t>(number >> 16),
             static_cast<uint8_t>(number >> 8), static_cast<uint8_t>(number), 0, 0, 48, 0},
            48);
}

Answer MmcHost::Toc(uint8_t format, uint8_t number, bool msf, uint16_t length) {
  return In({0x43, static_cast<uint8_t>(msf ? 2 : 0), format, 0, 0, 0, number, static_cast<uint8_t>(length >> 8),
             static_cast<uint8_t>(length), 0},
            length);
}

Answer MmcHost::Read10(uint32_t lba, uint16_t blocks) {
  return In({0x28, 0, static_cast<uint8_t>(lba >> 24), static_cast<uint8_t>(lba >> 16), static_cast<uint8_t>(lba >> 8),
             static_cast<uint8_t>(lba), 0, static_cast<uint8_t>(blocks >> 8), static_cast<uint8_t>(blocks), 0},
            blocks * 2048u);
}

Answer MmcHost::ReadCd(uint32_t lba, uint32_t blocks, uint8_t flags, uint8_t sectorType, uint32_t length) {
  if (length == 0) length = blocks * 2352u;
  return In({0xBE, static_cast<uint8_t>(sectorType << 2), static_cast<uint8_t>(lba >> 24),
             static_cast<uint8_t>(lba >> 16), static_cast<uint8_t>(lba >> 8), static_cast<uint8_t>(lba),
             static_cast<uint8_t>(blocks >> 16), static_cast<uint8_t>(blocks >> 8), static_cast<uint8_t>(blocks),
             flags, 0, 0},
            length);
}

Answer MmcHost::Write10(uint32_t lba, const std::vector<uint8_t>& data) {
  const auto blocks = static_cast<uint16_t>(data.size() / 2048);
  return Out({0x2A, 0, static_cast<uint8_t>(lba >> 24), static_cast<uint8_t>(lba >> 16),
              static_cast<uint8_t>(lba >> 8), static_cast<uint8_t>(lba), 0, static_cast<uint8_t>(blocks >> 8),
              static_cast<uint8_t>(blocks), 0},
             data);
}

Answer MmcHost::Reserve(uint32_t blocks) {
  return None({0x53, 0, 0, 0, 0, static_cast<uint8_t>(blocks >> 24), static_cast<uint8_t>(blocks >> 16),
               static_cast<uint8_t>(blocks >> 8), static_cast<uint8_t>(blocks), 0});
}

Answer MmcHost::Close(uint8_t function, uint16_t track, bool immediate) {
  return None({0x5B, static_cast<uint8_t>(immediate ? 1 : 0), function, 0, static_cast<uint8_t>(track >> 8),
               static_cast<uint8_t>(track), 0, 0, 0, 0});
}

Answer MmcHost::Blank(uint8_t type, bool immediate) {
  return None({0xA1, static_cast<uint8_t>(type | (immediate ? 0x10 : 0)), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
}

Answer MmcHost::Format(uint8_t formatType, bool immediate) {
  std::vector<uint8_t> list = {0x00, static_cast<uint8_t>(0x80 | (immediate ? 0x02 : 0)), 0x00, 0x08, 0xFF, 0xFF,
                               0xFF, 0xFF, static_cast<uint8_t>(formatType << 2), 0x00, 0x00, 0x01};
  return Out({0x04, 0x11, 0, 0, 0, 0}, list);
}

Answer MmcHost::SetSpeed(uint16_t read, uint16_t write) {
  return None({0xBB, 0, static_cast<uint8_t>(read >> 8), static_cast<uint8_t>(read), static_cast<uint8_t>(write >> 8),
               static_cast<uint8_t>(write), 0, 0, 0, 0, 0, 0});
}

std::vector<uint8_t> Pattern(uint32_t firstLba, uint32_t blocks, uint8_t seed) {
  std::vector<uint8_t> out(blocks * 2048u);
  for (uint32_t b = 0; b < blocks; ++b)
    for (uint32_t i = 0; i < 2048; ++i)
      out[b * 2048 + i] = static_cast<uint8_t>((firstLba + b) * 7 + i * 13 + seed);
  return out;
}

std::unique_ptr<VirtualRecorder> NewRecorder(const std::string& path, const std::string& medium,
                                             RecorderOptions options) {
  std::string error;
  auto r = VirtualRecorder::Open(path, medium, options, &error);
  EXPECT_TRUE(r) << error;
  return r;
}

}  // namespace dorvik::emulator::test
