// The SG_IO seam against every reply the kernel can give: status, host and
// driver status, sense of any length, and data written whatever the outcome.
// The properties checked are the transport's promises to the drive layer.
#include <scsi/sg.h>

#include <cstring>
#include <vector>

#include "transport/routing_transport.h"
#include "transport/sg_io_device.h"

namespace {

struct Reply {
  uint8_t status = 0, host = 0, driver = 0, senseWritten = 0;
  uint8_t sense[32] = {};
  std::vector<uint8_t> data;
};

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dorvik;
  if (size < 6) return 0;
  Reply reply;
  reply.status = data[0];
  reply.host = data[1];
  reply.driver = data[2];
  reply.senseWritten = data[3] % 33;
  const uint32_t length = data[4] | (data[5] & 0x0F) << 8;  // up to 4 KiB
  size_t pos = 6;
  const size_t senseBytes = std::min<size_t>(32, size - pos);
  std::memcpy(reply.sense, data + pos, senseBytes);
  pos += senseBytes;
  reply.data.assign(data + pos, data + size);

  RoutingTransport transport;
  transport.Attach(1, std::make_unique<SgIoDevice>(
                          "/dev/sg-fuzz",
                          [&reply](int, sg_io_hdr* h) {
                            h->status = reply.status;
                            h->host_status = reply.host;
                            h->driver_status = reply.driver;
                            h->sb_len_wr = std::min<uint8_t>(reply.senseWritten, h->mx_sb_len);
                            if (h->sb_len_wr > 0) std::memcpy(h->sbp, reply.sense, h->sb_len_wr);
                            const size_t n = std::min<size_t>(reply.data.size(), h->dxfer_len);
                            if (h->dxferp && n > 0) std::memcpy(h->dxferp, reply.data.data(), n);
                            return 0;
                          },
                          [](const std::string&) { return 3; }));
  std::vector<uint8_t> buffer(length, 0xA5);
  SenseResult sense{};
  sense.adapterStatus = 0x5A;  // a failed command clears the record first
  const uint8_t cdb[10] = {0x28, 0, 0, 0, 0, 16, 0, 0, 1, 0};
  const int r = transport.Execute(cdb, 10, 1, buffer.empty() ? nullptr : buffer.data(), length, DirIn, 60000, &sense);

  const bool good = reply.status == 0 && reply.host == 0 && (reply.driver & 0x0F) == 0;
  Check((r == 0) == good);
  if (r == 0) {
    for (uint32_t i = 0; i < length; ++i) Check(buffer[i] == (i < reply.data.size() ? reply.data[i] : 0));
    Check(sense.adapterStatus == 0x5A);  // untouched on success
    return 0;
  }
  // A failed command's data never reaches the caller.
  for (uint8_t b : buffer) Check(b == 0xA5);
  auto at = [&](size_t i) -> uint8_t { return i < reply.senseWritten ? reply.sense[i] : 0; };
  Check(sense.adapterStatus == 0 && sense.targetStatus == 0);
  Check(sense.senseKey == (at(2) & 0x0F) && sense.asc == at(12) && sense.ascq == at(13));
  Check(sense.information == (at(8) | at(9) << 8 | at(10) << 16 | static_cast<uint32_t>(at(11)) << 24));
  Check(sense.status != 0);
  return 0;
}
