// `dorvik info` lists a multisession CD's sessions and tracks; each session
// it lists is an ISO 9660 volume that xorriso and isoinfo find there, and
// the first is the one xorriso's scan of the disc file finds.
#include <gtest/gtest.h>

#include <regex>

#include "support/recorded_disc.h"

namespace dorvik::test {
namespace {

struct Session {
  long number, start, size;
  std::string state;
};

std::vector<Session> ListedSessions(const std::string& info) {
  std::vector<Session> out;
  const std::regex line(R"(session (\d+): start (\d+), size (\d+), (\w+))");
  for (std::sregex_iterator it(info.begin(), info.end(), line), end; it != end; ++it)
    out.push_back({std::stol((*it)[1]), std::stol((*it)[2]), std::stol((*it)[3]), (*it)[4]});
  return out;
}

TEST(InfoCommand, ListsTheSessionsReadersFindOnTheDisc) {
  DORVIK_REQUIRE_TOOL("xorriso");
  DORVIK_REQUIRE_TOOL("isoinfo");
  TempFolder dir;
  const std::string image = dir / "disc.img";
  {
    RecordedDisc disc(image, "cd-rw");
    for (int i = 0; i < 3; ++i) {
      WriteFiles(dir / "src", {{"f" + std::to_string(i), std::string(50000 * (i + 1), 'x')}});
      FileCollection collection;
      collection.AddFiles(dir / ("src/f" + std::to_string(i)), "\\", false);
      disc.WriteSession(collection, true, dir.Path());
    }
  }
  std::string info;
  ASSERT_EQ(0, RunCommand("DORVIK_TIME_SCALE=0.001 DORVIK_VIRTUAL_DRIVES='" + image + "' " DORVIK_CLI " info 1", &info));
  const std::vector<Session> sessions = ListedSessions(info);
  ASSERT_EQ(4u, sessions.size()) << info;
  EXPECT_EQ("empty", sessions[3].state) << info;
  EXPECT_NE(std::string::npos, info.find("track 4: session 4")) << info;
  EXPECT_NE(std::string::npos, info.find("blank")) << info;

  std::string toc;
  ASSERT_EQ(0, RunCommand("xorriso -rom_toc_scan force -indev '" + image + "' -toc", &toc));
  const std::regex first(R"(ISO session\s*:\s*1\s*,\s*(\d+)\s*,)");
  std::smatch m;
  ASSERT_TRUE(std::regex_search(toc, m, first)) << toc;
  EXPECT_EQ(sessions[0].start, std::stol(m[1]));

  for (size_t i = 0; i < 3; ++i) {
    SCOPED_TRACE(i + 1);
    EXPECT_EQ("closed", sessions[i].state);
    const std::string start = std::to_string(sessions[i].start);
    std::string pvd, volume;
    ASSERT_EQ(0, RunCommand("xorriso -rom_toc_scan force -load sbsector " + start + " -indev '" + image + "' -pvd_info",
                            &pvd));
    EXPECT_NE(std::string::npos, pvd.find("PVD address  : " + std::to_string(sessions[i].start + 16) + "s")) << pvd;
    ASSERT_EQ(0, RunCommand("isoinfo -d -i '" + image + "' -T " + start, &volume));
    ASSERT_TRUE(std::regex_search(volume, m, std::regex(R"(Volume size is: (\d+))"))) << volume;
    // The volume ends inside the session's track.
    EXPECT_GT(std::stol(m[1]), sessions[i].start);
    EXPECT_LE(std::stol(m[1]), sessions[i].start + sessions[i].size);
  }
}

}  // namespace
}  // namespace dorvik::test
