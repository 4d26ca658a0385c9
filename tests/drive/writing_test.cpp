// The write parameters page, WRITE(10) and the commands that end a track or
// session, byte for byte; readiness waits; writing to an image file.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "drive_answers.h"
#include "platform/files.h"
#include "support/library_fixture.h"

namespace dorvik {
namespace {

using namespace test;

// A sensed page 5 the drive filled with values of an earlier writer.
Bytes SensedWriteParameters(uint16_t blockDescriptors) {
  Bytes page(52, 0xA5);
  page[0] = 0x05;
  page[1] = 0x32;
  Bytes answer = ModeSenseAnswer(page, blockDescriptors);
  answer[2] = 0x70;  // medium type
  answer[3] = 0x10;  // device-specific parameter
  for (size_t i = 8; i < 8u + blockDescriptors; ++i) answer[i] = static_cast<uint8_t>(i);
  return answer;
}

TEST(SetWriteParameters, PageIsBuiltFromZeroBehindTheSensedHeaderAndDescriptors) {
  RecorderOn<FakeTransport> d;
  d.t.Queue(0x5A, Data(SensedWriteParameters(8)));
  WriteSettings s;
  s.trackMode = 4;
  s.testWrite = 1;
  s.bufferUnderrunFree = 1;
  s.multiSession = 1;
  s.dataBlockType = 8;
  s.linkSize = 7;
  s.linkSizeValid = 1;
  s.sessionFormat = 0x20;
  ASSERT_EQ(d.r->SetWriteParameters(kWriteTrackAtOnce, s), 0);

  ASSERT_EQ(d.t.commands.size(), 2u);
  EXPECT_EQ(d.t.commands[0].cdb, (Bytes{0x5A, 0, 0x05, 0, 0, 0, 0, 0x04, 0x00, 0}));
  const auto& select = d.t.commands[1];
  // Mode data length 8 + 8 + 52 - 2 = 66: the list is as long as the sensed data.
  EXPECT_EQ(select.cdb, (Bytes{0x55, 0x10, 0, 0, 0, 0, 0, 0, 68, 0}));
  EXPECT_EQ(select.direction, DirOut);
  EXPECT_EQ(select.timeoutMs, 1000u);
  ASSERT_EQ(select.dataOut.size(), 68u);
  const Bytes& list = select.dataOut;
  EXPECT_EQ(Bytes(list.begin(), list.begin() + 8), (Bytes{0, 0, 0, 0x10, 0, 0, 0, 8}));
  for (size_t i = 8; i < 16; ++i) EXPECT_EQ(list[i], i);
  Bytes expected(52, 0);
  expected[0] = 0x05;
  expected[1] = 0x32;
  expected[2] = 0x01 | 0x10 | 0x20 | 0x40;
  expected[3] = 0xC4;
  expected[4] = 0x08;
  expected[5] = 7;
  expected[8] = 0x20;
  expected[15] = 150;
  EXPECT_EQ(Bytes(list.begin() + 16, list.end()), expected);
}

TEST(SetWriteParameters, FailedSenseSendsATwoByteListTheDriveRefuses) {
  RecorderOn<FakeTransport> d;
  d.t.Queue(0x5A, Refused());
  d.t.Queue(0x55, Refused());
  EXPECT_EQ(d.r->SetWriteParameters(kWriteTrackAtOnce, WriteSettings{}), 1);
  ASSERT_EQ(d.t.commands.size(), 2u);
  EXPECT_EQ(d.t.commands[1].dataLength, 2u);
}

TEST(SetWriteParameters, DescriptorLengthBeyondTheAnswerSendsNothing) {
  RecorderOn<FakeTransport> d;
  Bytes answer = SensedWriteParameters(0);
  PutBe16(answer.data() + 6, 0xFFF0);
  PutBe16(answer.data(), 0xFFFF);
  d.t.Queue(0x5A, Data(answer));
  EXPECT_EQ(d.r->SetWriteParameters(kWriteTrackAtOnce, WriteSettings{}), 1);
  EXPECT_TRUE(d.t.CommandsWith(0x55).empty());

  // Descriptors that just fit still leave room for the page.
  RecorderOn<FakeTransport> e;
  Bytes fits = SensedWriteParameters(0);
  PutBe16(fits.data() + 6, 1024 - 8 - 60);
  PutBe16(fits.data(), 0xFFFF);
  e.t.Queue(0x5A, Data(fits));
  EXPECT_EQ(e.r->SetWriteParameters(kWriteTrackAtOnce, WriteSettings{}), 0);
  EXPECT_EQ(e.t.CommandsWith(0x55)[0].dataLength, 1024u);
}

struct CommandCase {
  const char* name;
  std::function<int(Recorder&)> send;
  Bytes cdb;
  uint32_t direction;
  uint32_t timeoutMs;
  bool waitsForReadiness;
};

TEST(RecordingCommands, BytesTimeoutsAndReadinessWaits) {
  const uint8_t data[4096] = {};
  const std::vector<CommandCase> cases = {
      {"WRITE(10)", [&](Recorder& r) { return r.Write10(0x12345678, data, 4096, 2); },
       {0x2A, 0, 0x12, 0x34, 0x56, 0x78, 0, 0, 2, 0}, DirOut, 0xFFFFFFFFu, false},
      {"RESERVE TRACK", [](Recorder& r) { return r.ReserveTrack(0x00A1B2C3); },
       {0x53, 0, 0, 0, 0, 0x00, 0xA1, 0xB2, 0xC3, 0}, DirNone, 1000, false},
      {"SYNCHRONIZE CACHE", [](Recorder& r) { return r.SynchronizeCache(); },
       {0x35, 0, 0, 0, 0, 0, 0, 0, 0, 0}, DirNone, 3600000, true},
      {"SYNCHRONIZE CACHE immed", [](Recorder& r) { return r.SynchronizeCacheImmed(1); },
       {0x35, 0x02, 0, 0, 0, 0, 0, 0, 0, 0}, DirNone, 3600000, true},
      {"CLOSE TRACK", [](Recorder& r) { return r.CloseTrack(0x0102); },
       {0x5B, 0, 0x01, 0, 0x01, 0x02, 0, 0, 0, 0}, DirNone, 1000, true},
      {"CLOSE SESSION immed", [](Recorder& r) { return r.CloseSessionImmed(); },
       {0x5B, 0x01, 0x02, 0, 0, 0, 0, 0, 0, 0}, DirNone, 120000, false},
      {"CLOSE function 0", [](Recorder& r) { return r.Close(0x08); },
       {0x5B, 0, 0x00, 0, 0, 0, 0, 0, 0, 0}, DirNone, 120000, true},
      {"CLOSE function 6", [](Recorder& r) { return r.Close(6); },
       {0x5B, 0, 0x06, 0, 0, 0, 0, 0, 0, 0}, DirNone, 120000, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    RecorderOn<FakeTransport> d;
    // Busy twice after the command, then ready.
    d.t.Queue(0x00, Refused());
    d.t.Queue(0x00, Refused());
    ASSERT_EQ(c.send(*d.r), 0);
    ASSERT_FALSE(d.t.commands.empty());
    EXPECT_EQ(d.t.commands[0].cdb, c.cdb);
    EXPECT_EQ(d.t.commands[0].direction, c.direction);
    EXPECT_EQ(d.t.commands[0].timeoutMs, c.timeoutMs);
    EXPECT_EQ(d.t.CommandsWith(0x00).size(), c.waitsForReadiness ? 3u : 0u);
  }
}

TEST(WaitUntilReady, GivesUpAfterItsBound) {
  RecorderOn<FakeTransport> d;
  d.t.SetDefault(0x00, Refused());
  EXPECT_FALSE(d.r->WaitUntilReady(200, 1000));
  EXPECT_EQ(d.t.CommandsWith(0x00).size(), 6u);  // the first poll and one after each of 5 sleeps
  d.t.commands.clear();
  EXPECT_FALSE(d.r->WaitUntilReady(0, 3));  // no pause still ends
  EXPECT_EQ(d.t.CommandsWith(0x00).size(), 4u);
}

// A recorder in image mode over a file of the test's choosing.
struct ImageRecorder : Recorder {
  explicit ImageRecorder(const std::string& path) : Drive(0), Recorder(0) { imagePath_ = path; }
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ImageMode, Write10AppendsWhateverTheAddressAndCreatesTheFile) {
  TempFolder folder;
  ImageRecorder r(folder / "out.iso");
  const uint8_t a[4] = {'a', 'b', 'c', 'd'};
  const uint8_t b[2] = {'e', 'f'};
  EXPECT_EQ(r.Write10(1000, a, 4, 2), 0);
  EXPECT_EQ(r.Write10(0, b, 2, 1), 0);
  EXPECT_EQ(ReadAll(folder / "out.iso"), "abcdef");

  ImageRecorder nowhere(folder / "missing/out.iso");
  EXPECT_EQ(nowhere.Write10(0, a, 4, 1), 1);
}

TEST(ImageMode, RecordingCommandsDoNothingAndSucceed) {
  TempFolder folder;
  ImageRecorder r(folder / "out.iso");
  EXPECT_EQ(r.SetWriteParameters(kWriteTrackAtOnce, WriteSettings{}), 0);
  EXPECT_EQ(r.CloseTrack(1), 0);
  EXPECT_EQ(r.FormatPlusRw(), 0);
  EXPECT_EQ(r.EraseByOverwrite(), 0);
  EXPECT_FALSE(platform::PathExists(folder / "out.iso"));  // the erase wrote nothing
  int32_t nwa = 5;
  EXPECT_EQ(r.NextWritableAddress(&nwa), 0);
  EXPECT_EQ(nwa, 0);
}

TEST(ImageMode, FreeSpaceIsThatOfTheImageFilesDisk) {
  TempFolder folder;
  ImageRecorder r(folder / "out.iso");
  uint32_t n = 0;
  EXPECT_TRUE(r.FreeBlocks(&n));
  // Others share the disk: allow for 64 MiB of movement between the calls.
  EXPECT_NEAR(static_cast<double>(n), static_cast<double>(*platform::FreeDiskBytes(folder.Path()) / 2048), 32768);

  ImageRecorder bare("out.iso");  // no folder part
  n = 0;
  EXPECT_FALSE(bare.FreeBlocks(&n));
  EXPECT_EQ(n, 0u);
}

}  // namespace
}  // namespace dorvik
