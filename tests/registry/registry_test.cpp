// Which devices become recorders, in which order, and how ids are found.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "support/fake_transport.h"
#include "support/library_fixture.h"
#include "registry/device_registry.h"
#include "registry/device_scan.h"

namespace dorvik {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes CapabilityPage(uint8_t b2, uint8_t b3) {
  Bytes p(26, 0);
  p[0] = 0x2A;
  p[1] = 0x18;
  p[2] = b2;
  p[3] = b3;
  return p;
}

// Answers page 0x2A per device id; ids without an entry refuse it.
test::FakeTransport TransportWithPages(std::map<DeviceId, Bytes> pages) {
  test::FakeTransport t;
  t.responder = [pages](const test::RecordedCommand& c) -> std::optional<test::ScriptedAnswer> {
    if (c.opcode() != 0x5A) return std::nullopt;
    auto it = pages.find(c.deviceId);
    if (it == pages.end()) return test::ScriptedAnswer{{}, true};
    return test::ScriptedAnswer{test::ModeSenseAnswer(it->second)};
  };
  return t;
}

TEST(Registry, KeepsRecordersInScanOrderWithInertEntryLast) {
  auto t = TransportWithPages({
      {1, CapabilityPage(0x3B, 0x37)},  // DVD writer
      {2, CapabilityPage(0x00, 0x00)},  // CD-ROM reader: not a recorder
      {3, CapabilityPage(0x03, 0x01)},  // CD-R writer
      // 4 refuses the page
      {5, CapabilityPage(0x08, 0x10)},  // DVD-ROM read + DVD-R write alone: not accepted
      {6, CapabilityPage(0x08, 0x20)},  // DVD-RAM writer
      {7, CapabilityPage(0x00, 0x02)},  // CD-RW writer without DVD
  });
  DeviceRegistry r;
  r.Build(&t, {1, 2, 3, 4, 5, 6, 7});
  ASSERT_EQ(r.Count(), 5u);
  for (DeviceId id : {1, 3, 6, 7, 0}) {
    ASSERT_NE(r.Find(id), nullptr) << int(id);
  }
  for (DeviceId id : {2, 4, 5, 8}) EXPECT_EQ(r.Find(id), nullptr) << int(id);
  EXPECT_TRUE(r.Find(0)->ImageMode());
}

TEST(Registry, IdZeroIsNeverProbedAsADevice) {
  auto t = TransportWithPages({{0, CapabilityPage(0x3B, 0x37)}});
  DeviceRegistry r;
  r.Build(&t, {0});
  EXPECT_EQ(r.Count(), 1u);
  EXPECT_TRUE(r.Find(0)->ImageMode());
  EXPECT_TRUE(t.commands.empty());
}

TEST(DeviceScan, VirtualDriveListParsing) {
  auto specs = ParseVirtualDrives("/tmp/a.img:cd-r;;/tmp/b.img:dvd+rw;/tmp/c:d.img;/x/y.img:bogus;/z.img:");
  ASSERT_EQ(specs.size(), 5u);
  EXPECT_EQ(specs[0].path, "/tmp/a.img");
  EXPECT_EQ(specs[0].medium, "cd-r");
  EXPECT_EQ(specs[1].path, "/tmp/b.img");
  EXPECT_EQ(specs[1].medium, "dvd+rw");
  EXPECT_EQ(specs[2].path, "/tmp/c:d.img");  // a colon that names no medium is part of the path
  EXPECT_EQ(specs[2].medium, "");
  EXPECT_EQ(specs[3].path, "/x/y.img:bogus");
  EXPECT_EQ(specs[4].path, "/z.img:");
  EXPECT_TRUE(ParseVirtualDrives("").empty());
  EXPECT_EQ(ParseVirtualDrives("/a.img:dvd-rw-seq")[0].medium, "dvd-rw-seq");
}

TEST(DeviceScan, OpticalNodesInNumberOrder) {
  test::TempFolder dev;
  for (const char* n : {"sr10", "sr2", "sr", "srx", "sda", "sr1a"}) std::ofstream(dev / n) << "";
  // Real nodes are not regular files (seen under a real kernel: the scan
  // found no drive at all); a FIFO stands in for a block device.
  ASSERT_EQ(mkfifo((dev / "sr0").c_str(), 0600), 0);
  auto nodes = ListOpticalDeviceNodes(dev.Path());
  ASSERT_EQ(nodes.size(), 3u);
  EXPECT_EQ(nodes[0], dev / "sr0");
  EXPECT_EQ(nodes[1], dev / "sr2");
  EXPECT_EQ(nodes[2], dev / "sr10");
}

}  // namespace
}  // namespace dorvik
