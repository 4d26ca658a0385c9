// The drive layer on Windows, through each transport in turn, with the
// software recorder as the drive: pass-through behind a fake DeviceIoControl
// and ASPI behind the stand-in manager.
#include <gtest/gtest.h>

#include <cstring>

#include "drive/drive.h"
#include "emulator/virtual_recorder.h"
#include "fake_aspi.h"
#include "support/fake_device_control.h"
#include "support/temp_folder.h"
#include "registry/device_registry.h"
#include "transport/win32/aspi_transport.h"
#include "transport/win32/pass_through_transport.h"

namespace dorvik {
namespace {

namespace aspi = dorvik::aspi;
using emulator::VirtualRecorder;

constexpr DeviceId kDrive = 4;  // E:

enum class Backend { PassThrough, Aspi };

// The stand-in manager's device: the recorder, answering as a SCSI target
// behind a host adapter would.
void AnswerFromRecorder(void* context, aspi::ExecuteScsi* r) {
  auto* recorder = static_cast<VirtualRecorder*>(context);
  const uint8_t f = r->header.flags & (aspi::kDirectionIn | aspi::kDirectionOut);
  const Direction direction = f == aspi::kDirectionIn ? DirIn : f == aspi::kDirectionOut ? DirOut : DirNone;
  DeviceReply reply;
  if (!recorder->Send(r->cdb, r->cdbLength, r->buffer, r->bufferLength, direction, 0, reply)) {
    r->header.status = aspi::kError;
    r->adapterStatus = 0x11;  // selection timeout
    return;
  }
  r->adapterStatus = 0;
  r->targetStatus = reply.status;
  if (reply.status != 0) std::memcpy(r->sense, reply.sense, std::min<size_t>(r->senseLength, sizeof r->sense));
  r->header.status = reply.status == 0 ? aspi::kComplete : aspi::kError;
}

class ThroughBackend : public ::testing::TestWithParam<Backend> {
 protected:
  void Load(const std::string& medium) {
    std::string error;
    recorder_ = VirtualRecorder::Open(folder_ / "disc.img", medium, {}, &error);
    ASSERT_TRUE(recorder_) << error;
    if (GetParam() == Backend::PassThrough) {
      fake_.AddVolume(PassThroughTransport::DevicePath(kDrive), recorder_.get());
      transport_ = std::make_unique<PassThroughTransport>(test::Borrow(fake_));
    } else {
      FakeAspiScript script{};
      script.supportInfo = 0x0101;
      script.inquiryStatus = aspi::kComplete;
      script.adapterCount = 1;
      script.targetCount = 4;
      script.diskCount = 1;
      script.disks[0] = {0, 1, kDrive};
      script.completion = kFakeAspiLater;
      script.device = &AnswerFromRecorder;
      script.context = recorder_.get();
      FakeAspi_SetScript(&script);
      transport_ = std::make_unique<AspiTransport>();
    }
    drive_ = std::make_unique<Recorder>(kDrive, transport_.get());
  }
  void TearDown() override {
    drive_.reset();
    transport_.reset();
    FakeAspi_Drain();
  }

  void WriteTrack(uint32_t blocks, uint8_t fill) {
    const WriteSettings tao{4, 0, 0, 1, 0, 0, 8, 0};
    ASSERT_EQ(drive_->SetWriteParameters(kWriteTrackAtOnce, tao), 0);
    int32_t nwa = -1;
    ASSERT_EQ(drive_->NextWritableAddress(&nwa), 0);
    std::vector<uint8_t> data(blocks * kUserSectorLength);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(fill + i / kUserSectorLength);
    ASSERT_EQ(drive_->Write10(static_cast<uint32_t>(nwa), data.data(), static_cast<uint32_t>(data.size()), blocks),
              0);
    ASSERT_EQ(drive_->SynchronizeCache(), 0);
    ASSERT_EQ(drive_->CloseTrack(1), 0);
    ASSERT_EQ(drive_->Close(2), 0);  // the session
  }

  test::TempFolder folder_;
  test::FakeDeviceControl fake_;
  std::unique_ptr<VirtualRecorder> recorder_;
  std::unique_ptr<ScsiTransport> transport_;
  std::unique_ptr<Recorder> drive_;
};

TEST_P(ThroughBackend, IdentifiesTheRecorderAndPassesTheRegistryProbe) {
  Load("cd-r");
  char vendor[8], product[16];
  ASSERT_EQ(drive_->GetVendorProduct(vendor, product), 0);
  EXPECT_EQ(std::string(vendor, 8) + std::string(product, 16), "DORVIK  Virtual Recorder");
  EXPECT_TRUE(DeviceRegistry::CanRecord(drive_->Capabilities().data()));
  EXPECT_EQ(drive_->IsReady(), 0);
  EXPECT_EQ(drive_->CurrentProfile(), 0x09u);
  EXPECT_EQ(drive_->IsBlank(), 1);
}

TEST_P(ThroughBackend, WritesATrackAndReadsItBack) {
  Load("cd-r");
  WriteTrack(40, 0x30);
  EXPECT_EQ(drive_->IsBlank(), 0);
  std::vector<uint8_t> back(40 * kUserSectorLength);
  ASSERT_EQ(drive_->Read10(back.data(), static_cast<uint32_t>(back.size()), 40, 0), 0);
  for (uint32_t block = 0; block < 40; ++block) {
    ASSERT_EQ(back[block * kUserSectorLength], 0x30 + block) << block;
    ASSERT_EQ(back[block * kUserSectorLength + 2047], 0x30 + block) << block;
  }
}

TEST_P(ThroughBackend, RefusalsComeBackWithTheirSense) {
  Load("cd-r");
  recorder_->SetMediumPresent(false);
  EXPECT_EQ(drive_->IsReady(), 1);
  const SenseResult& s = drive_->LastSense();
  EXPECT_EQ(s.senseKey, 0x02);
  EXPECT_EQ(s.asc, 0x3A);
  if (GetParam() == Backend::Aspi) {
    EXPECT_EQ(s.status, aspi::kError);
    EXPECT_EQ(s.targetStatus, 0x02);
  } else {
    EXPECT_EQ(s.status, 0x02);
    EXPECT_EQ(s.targetStatus, 0);
  }
  recorder_->SetMediumPresent(true);
  EXPECT_EQ(drive_->WaitUntilReady(100, 60000), true);
  // Writing past the end of a CD-R is refused with the drive's own reason.
  std::vector<uint8_t> block(kUserSectorLength);
  EXPECT_EQ(drive_->Write10(400000, block.data(), kUserSectorLength, 1), 1);
  EXPECT_EQ(drive_->LastSense().senseKey, 0x05);
}

TEST_P(ThroughBackend, ErasesARewritableDisc) {
  Load("cd-rw");
  WriteTrack(16, 0x41);
  EXPECT_EQ(drive_->IsBlank(), 0);
  EXPECT_EQ(drive_->EraseMedium(), 1);
  EXPECT_EQ(drive_->IsBlank(), 1);
}

INSTANTIATE_TEST_SUITE_P(Windows, ThroughBackend, ::testing::Values(Backend::PassThrough, Backend::Aspi),
                         [](const auto& info) { return info.param == Backend::Aspi ? "Aspi" : "PassThrough"; });

}  // namespace
}  // namespace dorvik
