// The bytes real drives receive from the basic commands, and how their
// answers are read.
#include <gtest/gtest.h>

#include <cstring>

#include "drive/drive.h"
#include "support/fake_transport.h"

namespace dorvik {
namespace {

using test::FakeTransport;
using test::ScriptedAnswer;
using Bytes = std::vector<uint8_t>;

// A drive whose construction-time commands are already out of the log.
struct Constructed {
  FakeTransport t;
  std::unique_ptr<Recorder> r;
  explicit Constructed(DeviceId id = 4) {
    r = std::make_unique<Recorder>(id, &t);
    t.commands.clear();
  }
};

TEST(DriveBasics, ConstructionSendsInquiryThenCapabilityPage) {
  FakeTransport t;
  Bytes page(26, 0);
  page[0] = 0x2A;
  page[2] = 0x3F;
  page[3] = 0x37;
  t.Queue(0x5A, {test::ModeSenseAnswer(page)});
  Recorder r(3, &t);
  ASSERT_EQ(t.commands.size(), 2u);
  EXPECT_EQ(t.commands[0].cdb, (Bytes{0x12, 0, 0, 0, 0x60, 0}));
  EXPECT_EQ(t.commands[0].dataLength, 96u);
  EXPECT_EQ(t.commands[0].direction, DirIn);
  EXPECT_EQ(t.commands[0].timeoutMs, 1000u);
  EXPECT_EQ(t.commands[1].cdb, (Bytes{0x5A, 0, 0x2A, 0, 0, 0, 0, 0x04, 0x00, 0}));
  EXPECT_EQ(t.commands[1].deviceId, 3);
  EXPECT_EQ(r.Capabilities()[2], 0x3F);
  EXPECT_EQ(r.Capabilities()[3], 0x37);
}

TEST(DriveBasics, FailedProbeKeepsPresetCapabilities) {
  FakeTransport t;
  t.SetDefault(0x5A, {{}, true});
  t.SetDefault(0x12, {{}, true});
  Recorder r(3, &t);
  EXPECT_EQ(r.Capabilities()[0], 0x2A);
  for (size_t i = 1; i < kCapabilitiesLength; ++i) EXPECT_EQ(r.Capabilities()[i], 0) << i;
}

TEST(DriveBasics, CommandBytesDirectionsAndTimeouts) {
  Constructed c;
  uint8_t buf[1024];
  EXPECT_EQ(c.r->IsReady(), 0);
  c.r->PreventRemoval(0x07);
  c.r->LoadOrEject(false);
  c.r->ModeSense(buf, 0x0123, 0xEA, 4, &c.r->LastSense());
  c.r->ModeSelect(buf, 0x003C);
  c.r->GetConfiguration(buf, 1024);
  const auto& cmds = c.t.commands;
  ASSERT_EQ(cmds.size(), 6u);
  EXPECT_EQ(cmds[0].cdb, (Bytes{0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(cmds[0].direction, DirNone);
  EXPECT_EQ(cmds[0].dataLength, 0u);
  EXPECT_EQ(cmds[1].cdb, (Bytes{0x1E, 0, 0, 0, 0x03, 0}));  // prevent & 3
  EXPECT_EQ(cmds[2].cdb, (Bytes{0x1B, 0, 0, 0, 0x03, 0}));
  EXPECT_EQ(cmds[2].timeoutMs, 60000u);
  EXPECT_EQ(cmds[3].cdb, (Bytes{0x5A, 0, 0x2A, 0, 0, 0, 0, 0x01, 0x23, 0}));  // page & 0x3F, PC 0
  EXPECT_EQ(cmds[4].cdb, (Bytes{0x55, 0x10, 0, 0, 0, 0, 0, 0x00, 0x3C, 0}));
  EXPECT_EQ(cmds[4].direction, DirOut);
  EXPECT_EQ(cmds[4].dataLength, 0x3Cu);
  EXPECT_EQ(cmds[5].cdb, (Bytes{0x46, 0, 0, 0, 0, 0, 0, 0x04, 0x00, 0}));
}

TEST(DriveBasics, EjectAllowsRemovalFirst) {
  Constructed c;
  c.r->LoadOrEject(true);
  ASSERT_EQ(c.t.commands.size(), 2u);
  EXPECT_EQ(c.t.commands[0].cdb, (Bytes{0x1E, 0, 0, 0, 0, 0}));
  EXPECT_EQ(c.t.commands[1].cdb, (Bytes{0x1B, 0, 0, 0, 0x02, 0}));
}

// A drive that is becoming ready is polled until it is; one without a
// medium is not waited for at all.
TEST(DriveBasics, ReadinessWaitPollsWhileBusyButNotWithoutAMedium) {
  for (uint8_t asc : {0x04, 0x3A}) {
    SCOPED_TRACE(asc);
    Constructed d;
    ScriptedAnswer notReady{{}, true, {}};
    notReady.sense.senseKey = 2;
    notReady.sense.asc = asc;
    notReady.sense.ascq = 1;
    for (int i = 0; i < 3; ++i) d.t.Queue(0x00, notReady);
    EXPECT_EQ(d.r->WaitUntilReady(200), asc == 0x04);
    EXPECT_EQ(d.t.CommandsWith(0x00).size(), asc == 0x04 ? 4u : 1u);
  }
}

TEST(DriveBasics, DrivesWithoutATransportAnswerWithoutSending) {
  Recorder orphan(5, nullptr);  // a platform that offered no transport
  EXPECT_EQ(orphan.IsReady(), 1);
  EXPECT_EQ(orphan.DriveClass(), 10u);

  Recorder inert(0, nullptr);
  uint8_t buf[kInquiryLength];
  EXPECT_TRUE(inert.ImageMode());
  EXPECT_EQ(inert.IsReady(), 0);
  EXPECT_EQ(inert.CurrentProfile(), kProfileCdR);
  EXPECT_EQ(inert.DriveClass(), 1u);
  EXPECT_EQ(inert.LoadOrEject(true), 0);
  EXPECT_EQ(inert.Inquiry(buf), 1);
  uint8_t info[kDiscInformationLength];
  EXPECT_EQ(inert.ReadDiscInformation(info), 1);
}

TEST(DriveBasics, VendorAndProductAreBoundedCopies) {
  Constructed c;
  Bytes inquiry(96, 0);
  std::memcpy(inquiry.data() + 8, "PLEXTOR!", 8);          // full: no terminator
  std::memcpy(inquiry.data() + 16, "DVDR\0junk", 9);       // stops at NUL, pads
  c.t.Queue(0x12, {inquiry});
  char vendor[9], product[17];
  std::memset(vendor, 'x', sizeof vendor);
  std::memset(product, 'x', sizeof product);
  ASSERT_EQ(c.r->GetVendorProduct(vendor, product), 0);
  EXPECT_EQ(std::string(vendor, 8), "PLEXTOR!");
  EXPECT_EQ(vendor[8], 'x');  // nothing written past the field
  EXPECT_EQ(std::string(product, 4), "DVDR");
  for (int i = 4; i < 16; ++i) EXPECT_EQ(product[i], 0) << i;
  EXPECT_EQ(product[16], 'x');
}

TEST(DriveBasics, ModePageSkipsHeaderAndBlockDescriptors) {
  Constructed c;
  Bytes page = {0x2A, 0x18, 0xAA, 0xBB};
  c.t.Queue(0x5A, {test::ModeSenseAnswer(page, 8)});
  uint8_t out[4] = {};
  ASSERT_EQ(c.r->ReadModePage(out, 4, 4, &c.r->LastSense(), 0x2A), 0);
  EXPECT_EQ(Bytes(out, out + 4), page);
}

TEST(DriveBasics, ModePageNeverReadsPastTheAnswer) {
  Constructed c;
  // A block-descriptor length that points beyond the 1024-byte answer.
  Bytes answer(8, 0);
  answer[6] = 0x03;
  answer[7] = 0xF0;  // 1008 + 8 = 1016: only 8 bytes remain
  c.t.Queue(0x5A, {answer});
  uint8_t out[26];
  std::memset(out, 0xEE, sizeof out);
  ASSERT_EQ(c.r->ReadModePage(out, 26, 4, &c.r->LastSense(), 0x2A), 0);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(out[i], 0) << i;
  for (int i = 8; i < 26; ++i) EXPECT_EQ(out[i], 0xEE) << i;

  answer[6] = 0xFF;
  answer[7] = 0xFF;
  c.t.Queue(0x5A, {answer});
  std::memset(out, 0xEE, sizeof out);
  ASSERT_EQ(c.r->ReadModePage(out, 26, 4, &c.r->LastSense(), 0x2A), 0);
  for (int i = 0; i < 26; ++i) EXPECT_EQ(out[i], 0xEE) << i;
}

Bytes ConfigurationWithProfiles(std::vector<uint16_t> profiles, uint16_t current = 0) {
  Bytes b(8, 0);
  b[6] = static_cast<uint8_t>(current >> 8);
  b[7] = static_cast<uint8_t>(current);
  Bytes feature = {0, 0, 0x03, static_cast<uint8_t>(profiles.size() * 4)};
  for (auto p : profiles) {
    feature.push_back(static_cast<uint8_t>(p >> 8));
    feature.push_back(static_cast<uint8_t>(p));
    feature.push_back(p == current ? 1 : 0);
    feature.push_back(0);
  }
  b.insert(b.end(), feature.begin(), feature.end());
  PutBe32(b.data(), static_cast<uint32_t>(b.size() - 4));
  return b;
}

TEST(DriveBasics, DriveClassFromProfileList) {
  struct Case {
    std::vector<uint16_t> profiles;
    uint32_t cls;
  } cases[] = {
      {{0x08, 0x09, 0x0A, 0x10, 0x11, 0x12, 0x13, 0x14, 0x1A, 0x1B}, 9},
      {{0x08, 0x10, 0x11, 0x14, 0x1A}, 8},
      {{0x08, 0x10, 0x1A}, 7},
      {{0x12}, 6},
      {{0x13, 0x14}, 5},
      {{0x10, 0x11}, 4},
      {{0x08, 0x09, 0x0A, 0x10}, 3},
      {{0x08, 0x10}, 2},
      {{0x08, 0x09, 0x0A}, 1},
      {{0x08}, 0},
      {{0x09}, 10},
      {{}, 10},
  };
  for (const auto& k : cases) {
    Constructed c;
    c.t.Queue(0x46, {ConfigurationWithProfiles(k.profiles)});
    EXPECT_EQ(c.r->DriveClass(), k.cls) << "profiles: " << k.profiles.size();
    EXPECT_EQ(c.t.commands.back().cdb[8], 0x00);
    EXPECT_EQ(c.t.commands.back().cdb[7], 0x08);  // 2048 bytes
  }
}

TEST(DriveBasics, DriveClassSurvivesBrokenFeatureLists) {
  Constructed c;
  Bytes zeroLength(16, 0);
  c.t.Queue(0x46, {zeroLength});
  EXPECT_EQ(c.r->DriveClass(), 10u);

  // A feature whose additional length runs far past the data: no profile
  // list is found and nothing beyond the answer is read.
  Bytes runaway = {0, 0, 0, 12, 0, 0, 0, 0, 0x01, 0x05, 0, 0xFF, 0, 0, 0, 0};
  c.t.Queue(0x46, {runaway});
  EXPECT_EQ(c.r->DriveClass(), 10u);

  // A profile list that claims more descriptors than the data holds.
  Bytes claims = ConfigurationWithProfiles({0x1A});
  claims[11] = 0xFC;
  c.t.Queue(0x46, {claims});
  EXPECT_EQ(c.r->DriveClass(), 7u);

  c.t.Queue(0x46, {{}, true});
  EXPECT_EQ(c.r->DriveClass(), 10u);
}

TEST(DriveBasics, CurrentProfileFallsBackToDiscInformation) {
  Constructed c;
  c.t.Queue(0x46, {ConfigurationWithProfiles({0x09, 0x1B}, 0x1B)});
  EXPECT_EQ(c.r->CurrentProfile(), 0x1Bu);

  auto discInfo = [](uint8_t status) {
    Bytes b(34, 0);
    b[2] = status;
    return b;
  };
  struct Case {
    uint8_t status;
    uint32_t profile;
  } cases[] = {{0x00, 0x09}, {0x01, 0x09}, {0x10, 0x0A}, {0x11, 0x0A}, {0x02, 0x08}, {0x13, 0x08}};
  for (const auto& k : cases) {
    c.t.Queue(0x46, {ConfigurationWithProfiles({0x09}, 0)});
    c.t.Queue(0x51, {discInfo(k.status)});
    EXPECT_EQ(c.r->CurrentProfile(), k.profile) << int(k.status);
  }
  c.t.Queue(0x46, {{}, true});
  c.t.Queue(0x51, {{}, true});
  EXPECT_EQ(c.r->CurrentProfile(), 0u);
  const auto rdi = c.t.CommandsWith(0x51).back();
  EXPECT_EQ(rdi.cdb, (Bytes{0x51, 0, 0, 0, 0, 0, 0, 0x02, 0x22, 0}));
  EXPECT_EQ(rdi.dataLength, 546u);
}

}  // namespace
}  // namespace dorvik
