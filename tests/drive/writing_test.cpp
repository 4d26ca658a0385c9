// The write parameters page, WRITE(10) and the commands that end a track or
// session, byte for byte.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <tuple>

#include "drive_answers.h"
#include "support/library_fixture.h"

namespace dorvik {
namespace {

using namespace test;

TEST(SetWriteParameters, PageIsBuiltFromZeroBehindTheSensedHeaderAndDescriptors) {
  FakeRecorder d;
  Bytes sensed = ModeSenseAnswer(Bytes(52, 0xA5), 8);  // an earlier writer's values
  sensed[2] = 0x70;                                    // medium type
  sensed[3] = 0x10;                                    // device-specific parameter
  for (size_t i = 8; i < 16; ++i) sensed[i] = static_cast<uint8_t>(i);
  d.t.Queue(0x5A, Data(sensed));
  const WriteSettings s{4, 7, 1, 1, 1, 1, 8, 0x20};  // every field set
  ASSERT_EQ(d.r->SetWriteParameters(kWriteTrackAtOnce, s), 0);

  ASSERT_EQ(d.t.commands.size(), 2u);
  EXPECT_EQ(d.t.commands[0].cdb, (Bytes{0x5A, 0, 0x05, 0, 0, 0, 0, 0x04, 0x00, 0}));
  const auto& select = d.t.commands[1];
  // The list is as long as the sensed data: 8 + 8 + 52.
  EXPECT_EQ(select.cdb, (Bytes{0x55, 0x10, 0, 0, 0, 0, 0, 0, 68, 0}));
  EXPECT_EQ(select.direction, DirOut);
  EXPECT_EQ(select.timeoutMs, 1000u);
  Bytes expected = {0, 0, 0, 0x10, 0, 0, 0, 8, 8, 9, 10, 11, 12, 13, 14, 15,     // header, descriptors
                    0x05, 0x32, 0x71, 0xC4, 0x08, 7, 0, 0, 0x20, 0, 0, 0, 0, 0, 0, 150};  // page, zero after
  expected.resize(16 + 52, 0);
  EXPECT_EQ(select.dataOut, expected);
}

TEST(SetWriteParameters, UnusableSenseAnswersSendNoGarbage) {
  Bytes beyond = ModeSenseAnswer(Bytes(52, 0)), fits = beyond;
  PutBe16(beyond.data() + 6, 0xFFF0);  // block descriptors longer than the answer: nothing is sent
  PutBe16(fits.data(), 0xFFFF);
  PutBe16(fits.data() + 6, 1024 - 8 - 60);  // ones that just fit still leave room for the page
  // A failed sense sends a two-byte list, which the drive refuses.
  for (auto [sense, result, sent] : {std::tuple{Refused(), 1, 2u}, {Data(beyond), 1, 0u}, {Data(fits), 0, 1024u}}) {
    FakeRecorder d;
    d.t.Queue(0x5A, sense);
    if (sent == 2) d.t.Queue(0x55, Refused());
    EXPECT_EQ(d.r->SetWriteParameters(kWriteTrackAtOnce, WriteSettings{}), result);
    const auto selects = d.t.CommandsWith(0x55);
    EXPECT_EQ(selects.empty() ? 0u : selects[0].dataLength, sent) << sent;
  }
}

TEST(RecordingCommands, BytesTimeoutsAndReadinessWaits) {
  const uint8_t data[4096] = {};
  struct Case {
    const char* name;
    std::function<int(Recorder&)> send;
    Bytes cdb;
    uint32_t direction, timeoutMs;
    bool waitsForReadiness;
  };
  const Case cases[] = {
      {"WRITE(10)", [&](auto& r) { return r.Write10(0x12345678, data, 4096, 2); },
       {0x2A, 0, 0x12, 0x34, 0x56, 0x78, 0, 0, 2, 0}, DirOut, 0xFFFFFFFFu, false},
      {"RESERVE TRACK", [](auto& r) { return r.ReserveTrack(0xA1B2C3); },
       {0x53, 0, 0, 0, 0, 0, 0xA1, 0xB2, 0xC3, 0}, DirNone, 1000, false},
      {"SYNCHRONIZE CACHE", [](auto& r) { return r.SynchronizeCache(); },
       {0x35, 0, 0, 0, 0, 0, 0, 0, 0, 0}, DirNone, 3600000, true},
      {"SYNCHRONIZE CACHE immed", [](auto& r) { return r.SynchronizeCacheImmed(1); },
       {0x35, 0x02, 0, 0, 0, 0, 0, 0, 0, 0}, DirNone, 3600000, true},
      {"CLOSE TRACK", [](auto& r) { return r.CloseTrack(0x0102); },
       {0x5B, 0, 1, 0, 1, 2, 0, 0, 0, 0}, DirNone, 1000, true},
      {"CLOSE SESSION immed", [](auto& r) { return r.CloseSessionImmed(); },
       {0x5B, 1, 2, 0, 0, 0, 0, 0, 0, 0}, DirNone, 120000, false},
      {"CLOSE 0", [](auto& r) { return r.Close(8); }, {0x5B, 0, 0, 0, 0, 0, 0, 0, 0, 0}, DirNone, 120000, true},
      {"CLOSE 6", [](auto& r) { return r.Close(6); }, {0x5B, 0, 6, 0, 0, 0, 0, 0, 0, 0}, DirNone, 120000, true},
      {"READ BUFFER CAPACITY",
       [](auto& r) {
         uint32_t size = 0, free = 0;
         return r.ReadBufferCapacity(&size, &free);
       },
       {0x5C, 0, 0, 0, 0, 0, 0, 0, 12, 0}, DirIn, 1000, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeRecorder d;
    d.t.Queue(0x00, Refused());  // busy twice after the command, then ready
    d.t.Queue(0x00, Refused());
    ASSERT_EQ(c.send(*d.r), 0);
    EXPECT_EQ(d.t.commands[0].cdb, c.cdb);
    EXPECT_EQ(d.t.commands[0].direction, c.direction);
    EXPECT_EQ(d.t.commands[0].timeoutMs, c.timeoutMs);
    EXPECT_EQ(d.t.CommandsWith(0x00).size(), c.waitsForReadiness ? 3u : 0u);
  }
}

// Writing to an image: WRITE(10) appends whatever its address, and the
// other recording commands, the overwrite erase among them, touch nothing.
TEST(ImageMode, Write10AppendsAndTheOtherCommandsSucceedWithoutWriting) {
  TempFolder dir;
  Recorder r(0, nullptr);
  r.OpenImage(dir / "out.img");  // nothing there yet: image mode all the same
  const Bytes a(2048, 0xA1), b(4096, 0xB2);
  ASSERT_EQ(r.Write10(500, a.data(), 2048, 1), 0);  // creates the file
  ASSERT_EQ(r.Write10(0, b.data(), 4096, 2), 0);
  EXPECT_EQ(r.SetWriteParameters(kWriteTrackAtOnce, WriteSettings{}), 0);
  EXPECT_EQ(r.SynchronizeCache(), 0);
  EXPECT_EQ(r.CloseTrack(1), 0);
  EXPECT_EQ(r.Close(2), 0);
  EXPECT_EQ(r.Blank(1), 0);
  EXPECT_EQ(r.EraseByOverwrite(), 0);
  std::ifstream in(dir / "out.img", std::ios::binary);
  Bytes expected = a;
  expected.insert(expected.end(), b.begin(), b.end());
  EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), expected);

  r.OpenImage(dir / "no-such-folder/out.img");
  EXPECT_EQ(r.Write10(0, a.data(), 2048, 1), 1);
}

}  // namespace
}  // namespace dorvik
