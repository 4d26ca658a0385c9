// The SG_IO requests built for each direction, and sense parsing, without a
// drive: the ioctl is replaced by a recorder.
#include <gtest/gtest.h>
#include <scsi/sg.h>

#include <cerrno>
#include <cstring>

#include "transport/routing_transport.h"
#include "transport/sg_io_device.h"

namespace dorvik {
namespace {

struct SeenRequest {
  int fd = -1;
  sg_io_hdr hdr{};
  std::vector<uint8_t> cdb;
};

struct Harness {
  std::vector<SeenRequest> seen;
  int opens = 0;
  int openResult = 7;
  int ioctlResult = 0;
  uint8_t status = 0;
  uint8_t hostStatus = 0;
  std::vector<uint8_t> sense;
  std::vector<uint8_t> dataIn;  // written over the data buffer whatever the status, as sg may
  RoutingTransport transport;

  Harness() {
    auto ioctl = [this](int fd, sg_io_hdr* h) {
      SeenRequest r;
      r.fd = fd;
      r.hdr = *h;
      r.cdb.assign(h->cmdp, h->cmdp + h->cmd_len);
      seen.push_back(r);
      if (ioctlResult != 0) return ioctlResult;
      h->status = status;
      h->host_status = hostStatus;
      h->driver_status = status == 0x02 ? 0x08 : 0;
      if (!sense.empty()) {
        h->sb_len_wr = static_cast<uint8_t>(std::min<size_t>(sense.size(), h->mx_sb_len));
        std::memcpy(h->sbp, sense.data(), h->sb_len_wr);
      }
      if (!dataIn.empty() && h->dxfer_direction == SG_DXFER_FROM_DEV)
        std::memcpy(h->dxferp, dataIn.data(), std::min<size_t>(dataIn.size(), h->dxfer_len));
      return 0;
    };
    auto open = [this](const std::string& path) {
      EXPECT_EQ(path, "/dev/sr0");
      ++opens;
      return openResult;
    };
    transport.Attach(1, std::make_unique<SgIoDevice>("/dev/sr0", ioctl, open));
  }
};

TEST(SgIo, RequestForEachDirection) {
  Harness h;
  uint8_t buf[96] = {};
  SenseResult s{};
  const uint8_t inquiry[6] = {0x12, 0, 0, 0, 0x60, 0};
  const uint8_t write10[10] = {0x2A, 0, 0, 0, 0, 0x10, 0, 0, 0x01, 0};
  const uint8_t tur[6] = {};
  EXPECT_EQ(h.transport.Execute(inquiry, 6, 1, buf, 96, DirIn, 1000, &s), 0);
  EXPECT_EQ(h.transport.Execute(write10, 10, 1, buf, 96, DirOut, 0xFFFFFFFF, &s), 0);
  EXPECT_EQ(h.transport.Execute(tur, 6, 1, buf, 96, DirNone, 60000, &s), 0);
  ASSERT_EQ(h.seen.size(), 3u);
  EXPECT_EQ(h.opens, 1);  // one persistent handle per device
  for (const auto& r : h.seen) {
    EXPECT_EQ(r.fd, 7);
    EXPECT_EQ(r.hdr.interface_id, 'S');
    EXPECT_EQ(r.hdr.mx_sb_len, 32);
  }
  EXPECT_EQ(h.seen[0].hdr.dxfer_direction, SG_DXFER_FROM_DEV);
  EXPECT_EQ(h.seen[0].hdr.dxfer_len, 96u);
  EXPECT_NE(h.seen[0].hdr.dxferp, nullptr);
  EXPECT_EQ(h.seen[0].hdr.cmd_len, 6);
  EXPECT_EQ(h.seen[0].cdb, (std::vector<uint8_t>(inquiry, inquiry + 6)));
  // Every command gets the same minute, whatever its caller asked for: a
  // close or blank sent with a short timeout must not be aborted mid-way.
  EXPECT_EQ(h.seen[0].hdr.timeout, 60000u);
  EXPECT_EQ(h.seen[1].hdr.dxfer_direction, SG_DXFER_TO_DEV);
  EXPECT_EQ(h.seen[1].hdr.dxferp, buf);  // data out goes straight from the caller
  EXPECT_EQ(h.seen[1].hdr.cmd_len, 10);
  EXPECT_EQ(h.seen[1].hdr.timeout, 60000u);
  EXPECT_EQ(h.seen[2].hdr.dxfer_direction, SG_DXFER_NONE);
  EXPECT_EQ(h.seen[2].hdr.dxfer_len, 0u);
  EXPECT_EQ(h.seen[2].hdr.dxferp, nullptr);
  EXPECT_EQ(h.seen[2].hdr.timeout, 60000u);
}

TEST(SgIo, CheckConditionFillsSenseFromFixedFormat) {
  Harness h;
  h.status = 0x02;
  h.sense = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0x11, 0x22, 0x33, 0x44, 0x24, 0x01};
  SenseResult s{};
  s.adapterStatus = 9;  // must be cleared
  const uint8_t cdb[10] = {0x55, 0x10};
  uint8_t data[8] = {};
  EXPECT_EQ(h.transport.Execute(cdb, 10, 1, data, 8, DirOut, 1000, &s), 1);
  EXPECT_EQ(s.information, 0x44332211u);
  EXPECT_EQ(s.senseKey, 0x05);
  EXPECT_EQ(s.asc, 0x24);
  EXPECT_EQ(s.ascq, 0x01);
  EXPECT_EQ(s.status, 0x02);
  EXPECT_EQ(s.adapterStatus, 0);
  EXPECT_EQ(s.targetStatus, 0);
}

// Measured on QEMU's drives: after CHECK CONDITION the sg driver hands back
// bytes of an earlier command, and ATAPI through sr zeroes the buffer; a
// virtio-scsi READ SUBCHANNEL fails with a host error and no sense. None of
// that may reach the caller, who zeroed its buffer and reads it anyway
// (the ISO 9660 probe ignores the read's result).
TEST(SgIo, DataOfAFailedCommandNeverReachesTheCaller) {
  Harness h;
  h.dataIn.assign(2048, 0);
  std::memcpy(h.dataIn.data(), "\x01" "CD001", 6);  // an earlier READ(10)'s answer
  const uint8_t read10[10] = {0x28, 0, 0, 0, 0x10, 0, 0, 0, 1, 0};
  std::vector<uint8_t> buf(2048, 0);
  SenseResult s{};

  h.status = 0x02;
  h.sense = {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x21, 0x00};
  EXPECT_EQ(h.transport.Execute(read10, 10, 1, buf.data(), 2048, DirIn, 60000, &s), 1);
  EXPECT_EQ(buf, std::vector<uint8_t>(2048, 0));
  EXPECT_EQ(s.asc, 0x21);

  h.status = 0;
  h.hostStatus = 0x07;  // DID_ERROR
  h.sense.clear();
  s = SenseResult{};
  EXPECT_EQ(h.transport.Execute(read10, 10, 1, buf.data(), 2048, DirIn, 60000, &s), 1);
  EXPECT_EQ(buf, std::vector<uint8_t>(2048, 0));
  EXPECT_EQ(s.senseKey, 0);  // no sense came with it; nothing is made up

  h.hostStatus = 0;
  EXPECT_EQ(h.transport.Execute(read10, 10, 1, buf.data(), 2048, DirIn, 60000, &s), 0);
  EXPECT_EQ(buf, h.dataIn);
}

// ATAPI drives set the valid bit: their fixed-format sense starts 0xF0.
TEST(SgIo, SenseWithTheValidBitReadsLikeAnyFixedFormatSense) {
  Harness h;
  h.status = 0x02;
  h.sense = {0xF0, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0x00, 0, 0, 0, 0};
  SenseResult s{};
  const uint8_t tur[6] = {};
  EXPECT_EQ(h.transport.Execute(tur, 6, 1, nullptr, 0, DirNone, 1000, &s), 1);
  EXPECT_EQ(s.senseKey, 0x02);
  EXPECT_EQ(s.asc, 0x3A);
  EXPECT_EQ(s.ascq, 0x00);
}

TEST(SgIo, UndeliveredCommandsLeaveSenseUntouched) {
  SenseResult previous{};
  previous.senseKey = 3;
  previous.asc = 0x0C;
  const uint8_t tur[6] = {};

  Harness failingIoctl;
  failingIoctl.ioctlResult = -1;
  SenseResult s = previous;
  EXPECT_EQ(failingIoctl.transport.Execute(tur, 6, 1, nullptr, 0, DirNone, 1000, &s), 1);
  EXPECT_EQ(s.senseKey, 3);

  Harness badDirection;
  EXPECT_EQ(badDirection.transport.Execute(tur, 6, 1, nullptr, 0, 0x23, 1000, &s), 1);
  EXPECT_EQ(s.asc, 0x0C);
  EXPECT_TRUE(badDirection.seen.empty());

  RoutingTransport empty;
  EXPECT_EQ(empty.Execute(tur, 6, 9, nullptr, 0, DirNone, 1000, &s), 1);
  EXPECT_EQ(s.senseKey, 3);
}

TEST(SgIo, FailedOpenIsNotRetriedAndOtherIdsAreUnaffected) {
  Harness h;
  h.openResult = -1;
  const uint8_t tur[6] = {};
  SenseResult s{};
  EXPECT_EQ(h.transport.Execute(tur, 6, 1, nullptr, 0, DirNone, 1000, &s), 1);
  h.openResult = 7;
  EXPECT_EQ(h.transport.Execute(tur, 6, 1, nullptr, 0, DirNone, 1000, &s), 1);
  EXPECT_EQ(h.opens, 1);
  EXPECT_TRUE(h.seen.empty());

  Harness other;
  EXPECT_EQ(other.transport.Execute(tur, 6, 1, nullptr, 0, DirNone, 1000, &s), 0);
}

TEST(SgIo, HostErrorWithoutStatusIsAFailure) {
  SenseResult s{};
  const uint8_t tur[6] = {};
  RoutingTransport t;
  t.Attach(2, std::make_unique<SgIoDevice>(
                  "/dev/sr1",
                  [](int, sg_io_hdr* h) {
                    h->status = 0;
                    h->host_status = 0x01;  // DID_NO_CONNECT
                    return 0;
                  },
                  [](const std::string&) { return 3; }));
  EXPECT_EQ(t.Execute(tur, 6, 2, nullptr, 0, DirNone, 1000, &s), 1);
}

}  // namespace
}  // namespace dorvik
