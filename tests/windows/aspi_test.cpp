// The 9x-family transport against a stand-in ASPI manager: loading, the
// drive map, the execute request, and completion through the event.
#include <gtest/gtest.h>

#include <cstring>

#include "fake_aspi.h"
#include "transport/win32/aspi_transport.h"

namespace dorvik {
namespace {

namespace aspi = dorvik::aspi;
using Bytes = std::vector<uint8_t>;

const SenseResult kUntouched{0xDEADBEEF, 0x0E, 0x77, 0x66, 0x55, 0x44, 0x33};
bool Same(const SenseResult& a, const SenseResult& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// What the device saw of the last request, and how it answers.
struct Device {
  aspi::ExecuteScsi seen{};
  uint8_t status = aspi::kComplete, adapterStatus = 0, targetStatus = 0;
  uint8_t sense[16] = {};
  static void Answer(void* context, aspi::ExecuteScsi* r) {
    auto* d = static_cast<Device*>(context);
    d->seen = *r;
    r->adapterStatus = d->adapterStatus;
    r->targetStatus = d->targetStatus;
    std::memcpy(r->sense, d->sense, std::min<size_t>(r->senseLength, sizeof d->sense));
    r->header.status = d->status;
  }
};

FakeAspiScript Script(Device* device, uint32_t completion = kFakeAspiLater) {
  FakeAspiScript s{};
  s.supportInfo = 0x0100 | 1;  // complete, one adapter
  s.inquiryStatus = aspi::kComplete;
  s.adapterCount = 1;
  s.targetCount = 8;
  s.diskCount = 1;
  s.disks[0] = {0, 2, 4};  // adapter 0, target 2 is E:
  s.completion = completion;
  s.honourAbort = true;
  s.device = &Device::Answer;
  s.context = device;
  return s;
}

int Send(AspiTransport& t, Bytes cdb, void* data, uint32_t length, uint32_t direction, SenseResult* sense,
        DeviceId id = 4, uint32_t timeoutMs = 1000) {
  return t.Execute(cdb.data(), static_cast<uint8_t>(cdb.size()), id, data, length, direction, timeoutMs, sense);
}

TEST(Aspi, AManagerThatCannotServeLeavesEveryCommandFailing) {
  Device device;
  FakeAspiScript script = Script(&device);
  FakeAspi_SetScript(&script);
  SenseResult sense = kUntouched;
  {
    AspiTransport missing("NOSUCHASPI.dll");
    EXPECT_FALSE(missing.Loaded());
    EXPECT_EQ(Send(missing, {0, 0, 0, 0, 0, 0}, nullptr, 0, DirNone, &sense), 1);
  }
  script.supportInfo = 0x0400 | 1;  // the manager reports an error
  FakeAspi_SetScript(&script);
  {
    AspiTransport failing;
    EXPECT_FALSE(failing.Loaded());
    EXPECT_EQ(FakeAspi_Count(aspi::kHostAdapterInquiry), 0u);
    EXPECT_EQ(Send(failing, {0, 0, 0, 0, 0, 0}, nullptr, 0, DirNone, &sense), 1);
  }
  script = Script(&device);
  script.inquiryStatus = aspi::kInvalidAdapter;
  FakeAspi_SetScript(&script);
  {
    AspiTransport noAdapter;
    EXPECT_EQ(FakeAspi_Count(aspi::kGetDiskInfo), 0u);
    EXPECT_EQ(Send(noAdapter, {0, 0, 0, 0, 0, 0}, nullptr, 0, DirNone, &sense), 1);
  }
  EXPECT_EQ(FakeAspi_Count(aspi::kExecuteScsi), 0u);
  EXPECT_TRUE(Same(sense, kUntouched));
}

TEST(Aspi, DrivesAreMappedOnceByTheNumberTheManagerReports) {
  Device device;
  FakeAspiScript script = Script(&device);
  script.supportInfo = 0x0100 | 2;
  script.adapterCount = 2;
  script.targetCount = 0;  // none reported: ten are tried
  script.diskCount = 3;
  script.disks[0] = {0, 3, 4};
  script.disks[1] = {1, 2, 4};  // the same drive number again: the first keeps it
  script.disks[2] = {1, 9, 6};
  FakeAspi_SetScript(&script);
  AspiTransport t;
  ASSERT_TRUE(t.Loaded());
  EXPECT_EQ(t.AdapterCount(), 2u);
  ASSERT_EQ(FakeAspi_Count(aspi::kGetDiskInfo), 20u);
  for (uint32_t n = 0; n < 20; ++n) EXPECT_EQ(FakeAspi_DiskQuery(n), (n / 10) << 8 | (n % 10)) << n;
  ASSERT_EQ(t.Addresses().size(), 2u);
  EXPECT_EQ(t.Addresses().at(4).adapter, 0);
  EXPECT_EQ(t.Addresses().at(4).target, 3);
  EXPECT_EQ(t.Addresses().at(6).adapter, 1);
  EXPECT_EQ(t.Addresses().at(6).target, 9);
  EXPECT_EQ(t.Addresses().at(6).lun, 0);

  script.targetCount = 3;  // a count given is a count used
  FakeAspi_SetScript(&script);
  AspiTransport fewer;
  EXPECT_EQ(FakeAspi_Count(aspi::kGetDiskInfo), 6u);
  EXPECT_EQ(fewer.Addresses().count(6), 0u);
}

TEST(Aspi, ExecuteRequestCarriesAddressFlagsAndBuffers) {
  Device device;
  FakeAspiScript script = Script(&device, kFakeAspiAtOnce);
  FakeAspi_SetScript(&script);
  AspiTransport t;
  uint8_t buffer[96];
  ASSERT_EQ(Send(t, {0x12, 0, 0, 0, 0x60, 0}, buffer, sizeof buffer, DirIn, nullptr), 0);
  const aspi::ExecuteScsi& r = device.seen;
  EXPECT_EQ(r.header.command, aspi::kExecuteScsi);
  EXPECT_EQ(r.header.adapter, 0);
  EXPECT_EQ(r.target, 2);
  EXPECT_EQ(r.lun, 0);
  EXPECT_EQ(r.header.flags, 0x48);  // data in, event notify
  EXPECT_EQ(r.bufferLength, 96u);
  EXPECT_EQ(r.buffer, buffer);
  EXPECT_EQ(r.senseLength, 14);
  EXPECT_EQ(r.cdbLength, 6);
  EXPECT_NE(r.completion, nullptr);
  EXPECT_EQ(Bytes(r.cdb, r.cdb + 16), (Bytes{0x12, 0, 0, 0, 0x60, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));

  uint8_t page[60] = {};
  ASSERT_EQ(Send(t, {0x55, 0x10, 0, 0, 0, 0, 0, 0, 60, 0}, page, 60, DirOut, nullptr), 0);
  EXPECT_EQ(device.seen.header.flags, 0x50);
  ASSERT_EQ(Send(t, {0, 0, 0, 0, 0, 0}, page, 60, DirNone, nullptr), 0);
  EXPECT_EQ(device.seen.header.flags, 0x40);
  EXPECT_EQ(device.seen.bufferLength, 0u);
  EXPECT_EQ(device.seen.buffer, nullptr);

  SenseResult sense = kUntouched;
  EXPECT_EQ(Send(t, {0, 0, 0, 0, 0, 0}, nullptr, 0, 0x23, &sense), 1);       // bad direction
  EXPECT_EQ(Send(t, {0, 0, 0, 0, 0, 0}, nullptr, 0, DirNone, &sense, 5), 1);  // no drive 5
  EXPECT_EQ(FakeAspi_Count(aspi::kExecuteScsi), 3u);
  EXPECT_TRUE(Same(sense, kUntouched));
}

TEST(Aspi, CompletionArrivesThroughTheEventWithTheStatusesAndSense) {
  Device device;
  FakeAspiScript script = Script(&device, kFakeAspiLater);
  FakeAspi_SetScript(&script);
  AspiTransport t;
  EXPECT_EQ(Send(t, {0, 0, 0, 0, 0, 0}, nullptr, 0, DirNone, nullptr), 0);

  device.status = aspi::kError;
  device.adapterStatus = 0x11;
  device.targetStatus = 0x02;
  const uint8_t fixed[14] = {0x70, 0, 0x05, 0, 0, 0, 0, 6, 0xA1, 0xB2, 0xC3, 0xD4, 0x21, 0x02};
  std::memcpy(device.sense, fixed, sizeof fixed);
  SenseResult sense = kUntouched;
  EXPECT_EQ(Send(t, {0x28, 0, 0, 0, 0, 0, 0, 0, 0, 0}, nullptr, 0, DirNone, &sense), 1);
  EXPECT_EQ(sense.information, 0xD4C3B2A1u);
  EXPECT_EQ(sense.senseKey, 5);
  EXPECT_EQ(sense.asc, 0x21);
  EXPECT_EQ(sense.ascq, 0x02);
  EXPECT_EQ(sense.status, aspi::kError);
  EXPECT_EQ(sense.adapterStatus, 0x11);
  EXPECT_EQ(sense.targetStatus, 0x02);
  FakeAspi_Drain();
}

TEST(Aspi, ARequestThatNeverCompletesFailsAtItsTimeoutAndIsAborted) {
  Device device;
  FakeAspiScript script = Script(&device, kFakeAspiNever);
  FakeAspi_SetScript(&script);
  AspiTransport t;
  SenseResult sense = kUntouched;
  EXPECT_EQ(Send(t, {0, 0, 0, 0, 0, 0}, nullptr, 0, DirNone, &sense, 4, 20), 1);
  EXPECT_EQ(sense.status, aspi::kPending);  // read from the request as it stands
  EXPECT_EQ(sense.senseKey, 0);
  EXPECT_EQ(FakeAspi_Count(aspi::kAbortRequest), 1u);

  script.completion = kFakeAspiAtOnce;  // the transport is still usable afterwards
  FakeAspi_SetScript(&script);
  EXPECT_EQ(Send(t, {0, 0, 0, 0, 0, 0}, nullptr, 0, DirNone, &sense), 0);
}

}  // namespace
}  // namespace dorvik
