// Erasing: the BLANK and FORMAT UNIT bytes, the overwrite pass, and the
// command order of the erase on each medium.
#include <gtest/gtest.h>

#include "dorvik.h"
#include "drive_answers.h"

namespace dorvik {
namespace {

using namespace test;

// A recorder of the given class and current profile, on a transport that
// keeps only CDBs. failWrite decides which WRITE(10) commands fail.
struct Eraser : RecorderOn<SequenceTransport> {
  Bytes config;
  std::function<bool(uint32_t lba)> failWrite = [](uint32_t) { return false; };
  int busyPolls = 0;  // TEST UNIT READY failures before each ready answer
  int busyLeft = 0;
  bool refuseBlank = false;
  bool refuseSelect = false;

  Eraser(uint16_t profile, std::initializer_list<uint16_t> profiles) {
    config = Configuration(profile, profiles);
    t.answer = [this](const Bytes& cdb, void* data, uint32_t length) {
      switch (cdb[0]) {
        case 0x46:
          CopyAnswer(config, data, length);
          return 0;
        case 0x00:
          if (busyLeft > 0) {
            --busyLeft;
            return 1;
          }
          busyLeft = busyPolls;
          return 0;
        case 0x2A:
          return failWrite(Be32(cdb.data() + 2)) ? 1 : 0;
        case 0xA1:
          return refuseBlank ? 1 : 0;
        case 0x55:
          return refuseSelect ? 1 : 0;
        case 0x5A:
          CopyAnswer(ModeSenseAnswer(Bytes{0x05, 0x32}), data, length);
          return 0;
        default:
          return 0;
      }
    };
  }
};

TEST(EraseCommands, BlankAndFormatUnitBytes) {
  RecorderOn<FakeTransport> d;
  EXPECT_EQ(d.r->Blank(1), 0);
  EXPECT_EQ(d.r->FormatPlusRw(), 0);
  ASSERT_EQ(d.t.commands.size(), 2u);
  const auto& blank = d.t.commands[0];
  EXPECT_EQ(blank.cdb, (Bytes{0xA1, 0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_EQ(blank.direction, DirNone);
  EXPECT_EQ(blank.timeoutMs, 1000u);
  const auto& format = d.t.commands[1];
  EXPECT_EQ(format.cdb, (Bytes{0x04, 0x11, 0, 0, 0, 0}));
  EXPECT_EQ(format.direction, DirOut);
  EXPECT_EQ(format.timeoutMs, 1000u);
  EXPECT_EQ(format.dataOut, (Bytes{0x00, 0x82, 0x00, 0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0x98, 0x00, 0x00, 0x01}));
}

TEST(EraseByOverwrite, Writes5001BlocksOf32ZerosThenFlushesAndCloses) {
  Eraser e(0x1A, {0x1A});
  ASSERT_EQ(e.r->EraseByOverwrite(), 0);
  EXPECT_EQ(e.t.Count(0x2A), 5001u);
  const Bytes& first = e.t.cdbs.front();
  EXPECT_EQ(first, (Bytes{0x2A, 0, 0, 0, 0, 0, 0, 0, 32, 0}));
  std::vector<Bytes> writes;
  for (const auto& c : e.t.cdbs)
    if (c[0] == 0x2A) writes.push_back(c);
  EXPECT_EQ(Be32(writes[1].data() + 2), 32u);
  EXPECT_EQ(Be32(writes.back().data() + 2), 160000u);
  EXPECT_EQ(e.t.FoldedOpcodes(), (std::vector<uint8_t>{0x2A, 0x35, 0x00, 0x5B, 0x00}));
  for (const auto& c : e.t.cdbs) {
    if (c[0] == 0x5B) {
      EXPECT_EQ(c, (Bytes{0x5B, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    }
  }

  // The data really is 64 KiB of zeros.
  RecorderOn<FakeTransport> one;
  one.t.SetDefault(0x2A, Refused());
  one.r->EraseByOverwrite();
  auto sent = one.t.CommandsWith(0x2A);
  ASSERT_FALSE(sent.empty());
  EXPECT_EQ(sent[0].dataOut, Bytes(65536, 0));
  EXPECT_EQ(sent[0].timeoutMs, 0xFFFFFFFFu);
}

TEST(EraseByOverwrite, StopsAtTheFifthFailureConsecutiveOrNot) {
  Eraser e(0x1A, {0x1A});
  e.failWrite = [](uint32_t lba) { return lba % 64 == 0 && lba <= 256; };  // 0, 64, 128, 192, 256
  EXPECT_EQ(e.r->EraseByOverwrite(), 0);
  EXPECT_EQ(e.t.Count(0x2A), 9u);
  EXPECT_EQ(e.t.FoldedOpcodes(), (std::vector<uint8_t>{0x2A, 0x35, 0x00, 0x5B, 0x00}));
}

TEST(EraseMedium, DvdPlusRwFormatsWaitsOverwritesAndWaits) {
  Eraser e(0x1A, {0x1A, 0x1B});
  e.busyPolls = 2;
  EXPECT_EQ(e.r->EraseMedium(), DORVIK_OK);
  // GET CONFIGURATION for the class and the profile, then: FORMAT UNIT,
  // readiness, writes, flush, readiness, close, readiness, final readiness.
  EXPECT_EQ(e.t.FoldedOpcodes(),
            (std::vector<uint8_t>{0x46, 0x00, 0x46, 0x04, 0x00, 0x2A, 0x35, 0x00, 0x5B, 0x00}));
  EXPECT_EQ(e.t.Count(0x2A), 5001u);
}

TEST(EraseMedium, DvdRamSetsSessionAtOnceParametersThenOverwrites) {
  Eraser e(0x12, {0x12});
  EXPECT_EQ(e.r->EraseMedium(), DORVIK_OK);
  EXPECT_EQ(e.t.FoldedOpcodes(),
            (std::vector<uint8_t>{0x46, 0x00, 0x46, 0x5A, 0x55, 0x2A, 0x35, 0x00, 0x5B, 0x00}));
  EXPECT_EQ(e.t.Count(0x04), 0u);

  Eraser refused(0x12, {0x12});
  refused.refuseSelect = true;
  EXPECT_EQ(refused.r->EraseMedium(), DORVIK_E_RAM_FORMAT);
  EXPECT_EQ(refused.t.Count(0x2A), 0u);
}

TEST(EraseMedium, RewritableCdAndDvdMinusRwAreBlanked) {
  for (uint16_t profile : {0x0A, 0x13, 0x14}) {
    SCOPED_TRACE(profile);
    Eraser e(profile, {0x0A, 0x13, 0x14});
    EXPECT_EQ(e.r->EraseMedium(), DORVIK_OK);
    EXPECT_EQ(e.t.FoldedOpcodes(), (std::vector<uint8_t>{0x46, 0x00, 0x46, 0xA1, 0x00}));
    EXPECT_EQ(e.t.Count(0x2A), 0u);
  }
  Eraser refused(0x0A, {0x0A});
  refused.refuseBlank = true;
  EXPECT_EQ(refused.r->EraseMedium(), DORVIK_E_BLANK_FAILED);
}

TEST(EraseMedium, WriteOnceMediaAndReaderDrivesAreRefused) {
  for (uint16_t profile : {0x09, 0x11, 0x1B, 0x08}) {
    SCOPED_TRACE(profile);
    Eraser e(profile, {0x09, 0x0A, 0x11, 0x1B});
    EXPECT_EQ(e.r->EraseMedium(), DORVIK_E_NOT_ERASABLE);
    EXPECT_EQ(e.t.FoldedOpcodes(), (std::vector<uint8_t>{0x46, 0x00, 0x46}));  // queries only
  }
  // Drives that only read: refused before the readiness test.
  Eraser cdRom(0x0A, {0x08});
  EXPECT_EQ(cdRom.r->EraseMedium(), DORVIK_E_NOT_ERASABLE);
  EXPECT_EQ(cdRom.t.FoldedOpcodes(), (std::vector<uint8_t>{0x46}));
  Eraser dvdRom(0x0A, {0x10, 0x08});
  EXPECT_EQ(dvdRom.r->EraseMedium(), DORVIK_E_NOT_ERASABLE);

  Recorder inert(0);
  EXPECT_EQ(inert.EraseMedium(), DORVIK_E_NOT_ERASABLE);
}

TEST(EraseMedium, NotReadyAtTheStart) {
  Eraser e(0x0A, {0x0A});
  e.busyLeft = 1;
  EXPECT_EQ(e.r->EraseMedium(), DORVIK_E_NOT_READY);
  EXPECT_EQ(e.t.Count(0xA1), 0u);
}

TEST(EraseMedium, DriveThatNeverBecomesReadyAfterBlankingIsNotReady) {
  Eraser e(0x0A, {0x0A});
  e.t.answer = [inner = e.t.answer, blanked = false](const Bytes& cdb, void* data, uint32_t length) mutable {
    if (cdb[0] == 0xA1) blanked = true;
    if (cdb[0] == 0x00 && blanked) return 1;
    return inner(cdb, data, length);
  };
  e.r->SetReadyWaitLimit(10000);
  EXPECT_EQ(e.r->EraseMedium(), DORVIK_E_NOT_READY);
  EXPECT_EQ(e.t.Count(0x00), 1u + 51u);  // the start, then 10 s of 200 ms polls
}

}  // namespace
}  // namespace dorvik
