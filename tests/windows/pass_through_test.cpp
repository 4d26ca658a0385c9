// The NT-family transport against a fake DeviceIoControl: the request each
// command becomes, how the answer is read, and the handle per drive letter.
#include <gtest/gtest.h>


#include "support/fake_device_control.h"
#include "support/scripted_device.h"
#include "transport/win32/pass_through_transport.h"

namespace dorvik {
namespace {

using test::FakeDeviceControl;
using test::ScriptedDevice;
using Bytes = std::vector<uint8_t>;

constexpr DeviceId kD = 3;  // \\.\D:

struct Fixture {
  ScriptedDevice device;
  FakeDeviceControl fake;
  FakeDeviceControl* system = &fake;
  std::unique_ptr<PassThroughTransport> transport;
  Fixture() {
    fake.AddVolume("\\\\.\\D:", &device);
    transport = std::make_unique<PassThroughTransport>(test::Borrow(fake));
  }
  int Run(Bytes cdb, void* data, uint32_t length, uint32_t direction, SenseResult* sense, DeviceId id = kD) {
    return transport->Execute(cdb.data(), static_cast<uint8_t>(cdb.size()), id, data, length, direction, 1000,
                              sense);
  }
  const SCSI_PASS_THROUGH_DIRECT& LastHeader() const { return system->calls.back().request.header; }
};

const SenseResult kUntouched{0xDEADBEEF, 0x0E, 0x77, 0x66, 0x55, 0x44, 0x33};
bool Same(const SenseResult& a, const SenseResult& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(PassThrough, DevicePathIsTheDriveLetterAsAVolume) {
  EXPECT_EQ(PassThroughTransport::DevicePath(0), "\\\\.\\A:");
  EXPECT_EQ(PassThroughTransport::DevicePath(3), "\\\\.\\D:");
  EXPECT_EQ(PassThroughTransport::DevicePath(25), "\\\\.\\Z:");
}

TEST(PassThrough, RequestCarriesTheCommandAsTheDriverExpectsIt) {
  Fixture f;
  uint8_t buffer[96];
  SenseResult sense = kUntouched;
  ASSERT_EQ(f.Run({0x12, 0, 0, 0, 0x60, 0}, buffer, sizeof buffer, DirIn, &sense), 0);
  ASSERT_EQ(f.system->calls.size(), 1u);
  const auto& call = f.system->calls[0];
  EXPECT_EQ(call.code, 0x4D014u);
  EXPECT_TRUE(call.sameBuffers);
  EXPECT_EQ(call.inSize, sizeof(PassThroughRequest));
  EXPECT_EQ(call.outSize, sizeof(PassThroughRequest));
  const auto& h = call.request.header;
  EXPECT_EQ(h.Length, sizeof(SCSI_PASS_THROUGH_DIRECT));
  EXPECT_EQ(h.PathId, 0);
  EXPECT_EQ(h.TargetId, 1);
  EXPECT_EQ(h.Lun, 0);
  EXPECT_EQ(h.CdbLength, 6);
  EXPECT_EQ(h.SenseInfoLength, 32);
  EXPECT_EQ(h.DataIn, 1);
  EXPECT_EQ(h.DataTransferLength, 96u);
  EXPECT_EQ(h.DataBuffer, buffer);
  EXPECT_EQ(h.SenseInfoOffset, offsetof(PassThroughRequest, sense));
  EXPECT_EQ(Bytes(h.Cdb, h.Cdb + 16), (Bytes{0x12, 0, 0, 0, 0x60, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_TRUE(Same(sense, kUntouched));  // good status leaves the caller's record alone
}

TEST(PassThrough, DirectionsAndTheFixedSixtySecondLimit) {
  Fixture f;
  uint8_t page[60] = {};
  const Bytes modeSelect{0x55, 0x10, 0, 0, 0, 0, 0, 0, 60, 0};
  ASSERT_EQ(f.transport->Execute(modeSelect.data(), 10, kD, page, 60, DirOut, 0xFFFFFFFF, nullptr), 0);
  EXPECT_EQ(f.LastHeader().DataIn, 0);
  EXPECT_EQ(f.LastHeader().TimeOutValue, 60u);
  EXPECT_EQ(f.device.received.back().direction, DirOut);

  // No data phase: nothing to transfer and no buffer, whatever was passed.
  ASSERT_EQ(f.Run({0, 0, 0, 0, 0, 0}, page, 60, DirNone, nullptr), 0);
  EXPECT_EQ(f.LastHeader().DataIn, 2);
  EXPECT_EQ(f.LastHeader().DataTransferLength, 0u);
  EXPECT_EQ(f.LastHeader().DataBuffer, nullptr);
  EXPECT_EQ(f.LastHeader().TimeOutValue, 60u);
  // Only the direction's low byte counts.
  EXPECT_EQ(f.Run({0, 0, 0, 0, 0, 0}, nullptr, 0, 0x1222, nullptr), 0);
}

TEST(PassThrough, CheckConditionFillsTheSenseRecord) {
  Fixture f;
  f.device.status = 0x02;
  const uint8_t fixed[18] = {0x70, 0, 0x63, 0, 0, 0, 0, 10, 0x11, 0x22, 0x33, 0x44, 0x24, 0x01};
  std::memcpy(f.device.sense, fixed, sizeof fixed);
  SenseResult sense = kUntouched;
  EXPECT_EQ(f.Run({0, 0, 0, 0, 0, 0}, nullptr, 0, DirNone, &sense), 1);
  EXPECT_EQ(sense.information, 0x44332211u);  // byte 8 is the low byte
  EXPECT_EQ(sense.senseKey, 0x03);
  EXPECT_EQ(sense.asc, 0x24);
  EXPECT_EQ(sense.ascq, 0x01);
  EXPECT_EQ(sense.status, 0x02);
  EXPECT_EQ(sense.adapterStatus, 0);
  EXPECT_EQ(sense.targetStatus, 0);
}

TEST(PassThrough, FailuresBeforeTheDeviceAnswersLeaveTheSenseAlone) {
  Fixture f;
  SenseResult sense = kUntouched;
  EXPECT_EQ(f.Run({0, 0, 0, 0, 0, 0}, nullptr, 0, 0x23, &sense), 1);  // bad direction
  EXPECT_TRUE(f.system->calls.empty());
  const uint8_t longCdb[17] = {};
  EXPECT_EQ(f.transport->Execute(longCdb, 17, kD, nullptr, 0, DirNone, 1000, &sense), 1);  // no such CDB
  EXPECT_EQ(f.Run({0x28, 0, 0, 0, 0, 0, 0, 0, 1, 0}, nullptr, 2048, DirIn, &sense), 1);  // data but no buffer
  EXPECT_TRUE(f.system->calls.empty());

  f.system->failControl = true;  // the driver refuses the request itself
  f.device.status = 0x02;
  EXPECT_EQ(f.Run({0, 0, 0, 0, 0, 0}, nullptr, 0, DirNone, &sense), 1);
  EXPECT_EQ(f.system->calls.size(), 1u);
  EXPECT_TRUE(Same(sense, kUntouched));
}

TEST(PassThrough, OneHandlePerLetterAndAFailedOpenIsNeverRetried) {
  Fixture f;
  SenseResult sense = kUntouched;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(f.Run({0, 0, 0, 0, 0, 0}, nullptr, 0, DirNone, &sense), 0);
  EXPECT_EQ(f.system->opened, (std::vector<std::string>{"\\\\.\\D:"}));

  for (int i = 0; i < 2; ++i) EXPECT_EQ(f.Run({0, 0, 0, 0, 0, 0}, nullptr, 0, DirNone, &sense, 4), 1);  // E: is absent
  EXPECT_EQ(f.system->opened, (std::vector<std::string>{"\\\\.\\D:", "\\\\.\\E:"}));
  EXPECT_EQ(f.Run({0, 0, 0, 0, 0, 0}, nullptr, 0, DirNone, &sense), 0);  // D: unaffected

  // Past Z: no volume is named, so nothing is opened.
  EXPECT_EQ(f.Run({0, 0, 0, 0, 0, 0}, nullptr, 0, DirNone, &sense, 26), 1);
  EXPECT_EQ(f.system->opened.size(), 2u);
  EXPECT_TRUE(Same(sense, kUntouched));

  // Going, the transport closes the one handle it opened, not the failed one.
  const HANDLE d = f.system->HandleOf("\\\\.\\D:");
  f.transport.reset();
  EXPECT_EQ(f.system->closed, (std::vector<HANDLE>{d}));
}

TEST(PassThrough, VolumeLockGoesThroughTheCommandHandle) {
  Fixture f;
  EXPECT_EQ(f.transport->LockVolume(kD, 1), 0);
  EXPECT_EQ(f.transport->LockVolume(kD, 0), 0);
  EXPECT_EQ(f.transport->LockVolume(5, 1), 1);  // F: cannot be opened
  ASSERT_EQ(f.system->calls.size(), 2u);
  EXPECT_EQ(f.system->calls[0].code, 0x90018u);
  EXPECT_EQ(f.system->calls[1].code, 0x9001Cu);
  EXPECT_EQ(f.system->calls[0].device, f.system->HandleOf("\\\\.\\D:"));
  EXPECT_EQ(f.system->calls[0].inSize + f.system->calls[0].outSize, 0u);
  const uint8_t testUnitReady[6] = {};
  EXPECT_EQ(f.transport->Execute(testUnitReady, 6, kD, nullptr, 0, DirNone, 1000, nullptr), 0);
  EXPECT_EQ(f.system->opened.size(), 2u);  // D: once, F: once
  EXPECT_TRUE(f.system->closed.empty());
}

TEST(PassThrough, AdapterAndBusQueriesUseAHandleOfTheirOwn) {
  Fixture f;
  EXPECT_TRUE(f.transport->CheckAdapter(kD, 0));
  f.system->maximumTransfer = 0;
  EXPECT_FALSE(f.transport->CheckAdapter(kD, 0));
  EXPECT_TRUE(f.transport->CheckAdapter(4, 0));  // cannot ask: assumed able
  f.system->buses = 2;
  EXPECT_EQ(f.transport->BusCount(kD), 2);
  EXPECT_EQ(f.transport->BusCount(4), -1);
  EXPECT_TRUE(f.transport->CheckDevice(0, 0));
  const HANDLE d = f.system->HandleOf("\\\\.\\D:");
  EXPECT_EQ(f.system->closed, (std::vector<HANDLE>{d, d, d}));  // each query closed its own
  EXPECT_EQ(f.system->calls[0].code, 0x41010u);
  EXPECT_EQ(f.system->calls[2].code, 0x4100Cu);
  EXPECT_EQ(f.system->calls[2].outSize, 512u);
}

}  // namespace
}  // namespace dorvik
