// Vuz_GetDiscTracks: the disc's sessions and tracks as the drive keeps them,
// on a CD-R written session by session.
#include <gtest/gtest.h>

#include <tuple>

#include "api/library.h"
#include "dorvik.h"
#include "support/recorded_disc.h"

namespace dorvik::test {
namespace {

using Row = std::tuple<int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t>;

Row AsRow(const DorvikTrack& t) { return {t.session, t.track, t.start, t.size, t.state, t.isData, t.sessionClosed}; }

std::vector<Row> Tracks() {
  int32_t count = -1;
  EXPECT_EQ(DORVIK_OK, Vuz_GetDiscTracks(nullptr, 0, &count));
  std::vector<DorvikTrack> tracks(count > 0 ? count : 0);
  EXPECT_EQ(DORVIK_OK, Vuz_GetDiscTracks(tracks.data(), count, &count));
  std::vector<Row> rows;
  for (const auto& t : tracks) rows.push_back(AsRow(t));
  return rows;
}

TEST(DiscTracks, FollowTheSessionsAsTheyAreWritten) {
  TempFolder folder;
  LibraryRestart library(folder / "disc.img:cd-r");
  ASSERT_EQ(DORVIK_OK, Vuz_SetDevice(1));
  const std::vector<Row> blank = Tracks();
  ASSERT_EQ(1u, blank.size());
  EXPECT_EQ(1, std::get<0>(blank[0]));
  EXPECT_EQ(0, std::get<2>(blank[0]));
  EXPECT_EQ(DORVIK_TRACK_BLANK, std::get<4>(blank[0]));
  EXPECT_EQ(0, std::get<6>(blank[0]));

  RecordedDisc disc(*Library::Get().CurrentRecorder(), folder / "disc.img", "cd-r");
  WriteFiles(folder / "src", {{"a.txt", std::string(100000, 'a')}});
  uint32_t size[2] = {};
  int32_t start[2] = {};
  for (int i = 0; i < 2; ++i) {
    FileCollection collection;
    collection.AddFiles(folder / "src/a.txt", "\\", false);
    start[i] = static_cast<int32_t>(disc.WriteSession(collection, true, folder.Path(), &size[i]));
  }
  const std::vector<Row> two = Tracks();
  ASSERT_EQ(3u, two.size());
  EXPECT_EQ(Row(1, 1, start[0], int32_t(size[0]), DORVIK_TRACK_CLOSED, 1, 1), two[0]);
  EXPECT_EQ(Row(2, 2, start[1], int32_t(size[1]), DORVIK_TRACK_CLOSED, 1, 1), two[1]);
  EXPECT_EQ(3, std::get<0>(two[2]));
  EXPECT_EQ(DORVIK_TRACK_BLANK, std::get<4>(two[2]));
  EXPECT_EQ(0, std::get<6>(two[2]));
  EXPECT_GT(std::get<2>(two[2]), start[1] + int32_t(size[1]));

  // Room for one: the count still tells all, nothing is written past it.
  DorvikTrack room[2] = {};
  room[1].track = 77;
  int32_t count = 0;
  EXPECT_EQ(DORVIK_OK, Vuz_GetDiscTracks(room, 1, &count));
  EXPECT_EQ(3, count);
  EXPECT_EQ(two[0], AsRow(room[0]));
  EXPECT_EQ(77, room[1].track);

  FileCollection last;
  last.AddFiles(folder / "src/a.txt", "\\", false);
  disc.WriteSession(last, false, folder.Path());
  const std::vector<Row> closed = Tracks();
  ASSERT_EQ(3u, closed.size());
  for (const auto& row : closed) {
    EXPECT_EQ(DORVIK_TRACK_CLOSED, std::get<4>(row));
    EXPECT_EQ(1, std::get<6>(row));
  }
}

TEST(DiscTracks, AskNothingWithoutADevice) {
  LibraryRestart library;
  int32_t count = 5;
  EXPECT_EQ(DORVIK_E_NO_DEVICE, Vuz_SetDevice(7));
  EXPECT_EQ(DORVIK_E_NO_DEVICE, Vuz_GetDiscTracks(nullptr, 0, &count));
  EXPECT_EQ(0, count);
}

}  // namespace
}  // namespace dorvik::test
