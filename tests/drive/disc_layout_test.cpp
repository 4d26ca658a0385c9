// The disc's tracks from a drive that refuses READ TRACK INFORMATION, as
// read-only drives do: the TOC describes them instead.
#include <gtest/gtest.h>

#include "drive/disc_layout.h"
#include "drive_answers.h"

namespace dorvik {
namespace {

using namespace test;

TEST(DiscLayout, TracksComeFromTheTocWhenTrackInformationIsRefused) {
  FakeRecorder d;
  Bytes info(34, 0);
  info[2] = 0x0E;  // complete disc, complete last session
  info[3] = 1;     // first track
  info[4] = 1;     // sessions
  info[5] = 1;
  info[6] = 2;     // last track in the last session
  d.t.SetDefault(0x51, Data(info));
  d.t.SetDefault(0x52, Refused());
  d.t.SetDefault(0xBE, Refused());
  Bytes toc = {0, 0, 1, 2};
  for (auto [number, lba] : std::vector<std::pair<uint8_t, uint32_t>>{{1, 0}, {2, 5000}, {0xAA, 12000}}) {
    toc.insert(toc.end(), {0, 0x14, number, 0, 0, 0, 0, 0});
    PutBe32(toc.data() + toc.size() - 4, lba);
  }
  PutBe16(toc.data(), static_cast<uint16_t>(toc.size() - 2));
  d.t.responder = [toc](const RecordedCommand& c) -> std::optional<ScriptedAnswer> {
    if (c.opcode() != 0x43) return std::nullopt;
    return (c.cdb[2] & 0x0F) == 2 ? Refused() : Data(toc);  // no full TOC, a formatted one
  };

  DiscLayout layout;
  ASSERT_EQ(0, ReadDiscLayout(*d.r, layout));
  EXPECT_EQ(2, layout.status);
  EXPECT_EQ(3, layout.lastSessionState);
  ASSERT_EQ(2u, layout.tracks.size());
  EXPECT_EQ((std::vector<uint32_t>{1, 1, 0, 5000}), (std::vector<uint32_t>{layout.tracks[0].session,
                                                      layout.tracks[0].number, layout.tracks[0].start,
                                                      layout.tracks[0].size}));
  EXPECT_EQ((std::vector<uint32_t>{1, 2, 5000, 7000}), (std::vector<uint32_t>{layout.tracks[1].session,
                                                         layout.tracks[1].number, layout.tracks[1].start,
                                                         layout.tracks[1].size}));
  EXPECT_TRUE(layout.tracks[1].data);
  EXPECT_EQ(TrackState::Closed, layout.tracks[1].state);

  d.t.SetDefault(0x51, Refused());
  EXPECT_EQ(1, ReadDiscLayout(*d.r, layout));
  EXPECT_TRUE(layout.tracks.empty());
}

}  // namespace
}  // namespace dorvik
