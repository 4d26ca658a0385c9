// Sessions of either image layout appended to a CD whose earlier session
// used either layout: each session written to a software recorder by a
// recorder of its own, the earlier tree brought in by the import, and the
// newest session read back whole by xorriso and isoinfo.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

#include "burn/previous_session_import.h"
#include "iso/iso_layout.h"
#include "support/recorded_disc.h"

namespace dorvik::test {
namespace {

using iso::IsoLayout;
using Tree = std::map<std::string, std::string>;

Tree WithFolders(const Tree& files) {
  Tree out = files;
  for (const auto& [path, content] : files)
    for (size_t cut = path.find('/'); cut != std::string::npos; cut = path.find('/', cut + 1))
      out[path.substr(0, cut + 1)] = "";
  return out;
}

void AddSources(FileCollection& collection, const std::string& folder) {
  std::vector<std::string> sources;
  for (const auto& e : fs::directory_iterator(folder)) sources.push_back(e.path());
  std::sort(sources.begin(), sources.end());
  for (const auto& s : sources) collection.AddFiles(s, "\\", false);
}

struct Layouts {
  IsoLayout first, second;
};

class AppendingAcrossLayouts : public ::testing::TestWithParam<Layouts> {};

TEST_P(AppendingAcrossLayouts, TheNewSessionShowsBothSessionsFilesAndWritesOnlyItsOwn) {
  DORVIK_REQUIRE_TOOL("xorriso");
  DORVIK_REQUIRE_TOOL("isoinfo");
  const auto [firstLayout, secondLayout] = GetParam();
  TempFolder dir;
  RecordedDisc disc(dir / "disc.img", "cd-r");
  const std::string longName = std::string(76, 'l') + ".txt";  // 80 characters
  const Tree first = {{"Annual Report 2006.doc", "2006"},
                      {"Annual Report 2007.doc", "2007"},
                      {"Grüß.txt", "gruss"},
                      {"big.bin", std::string(1 << 20, 'B')},
                      {"docs/" + longName, "long"}};
  const Tree second = {{"Annual Report 2008.doc", "2008"}, {"docs/two.txt", "two"}, {"GRUSS.TXT", "upper"}};
  WriteFiles(dir / "s1", first);
  WriteFiles(dir / "s2", second);

  FileCollection one;
  AddSources(one, dir / "s1");
  disc.WriteSession(one, true, dir.Path(), nullptr, firstLayout);

  disc.Load();  // the next session by another recorder object, as by another process
  FileCollection two;
  AddSources(two, dir / "s2");
  const SessionImportReport report = ImportPreviousSession(disc.drive(), two, false);
  ASSERT_EQ(SessionImportOutcome::Imported, report.outcome);
  EXPECT_TRUE(report.walk.joliet);
  EXPECT_EQ(0u, report.walk.skipped);
  uint32_t sectors2 = 0;
  const uint32_t start2 = disc.WriteSession(two, true, dir.Path(), &sectors2, secondLayout);
  EXPECT_LT(sectors2, 1024u) << "the 1 MiB file stays in the first session only";

  // Joliet names up to 64 characters in the interchange layout: a longer
  // name written by a classic session is cut when an interchange session
  // carries it on.
  Tree expected;
  for (const auto& [path, content] : first) {
    const bool cut = path.find(longName) != std::string::npos &&
                     (firstLayout == IsoLayout::Interchange || secondLayout == IsoLayout::Interchange);
    expected[cut ? "docs/" + std::string(60, 'l') + ".txt" : path] = content;
  }
  for (const auto& [path, content] : second) expected[path] = content;
  EXPECT_EQ(WithFolders(expected), disc.Extract(start2, dir / "x2"));

  // The primary tree of an interchange session names every file once.
  std::string listing;
  ASSERT_EQ(0, RunCommand("isoinfo -T " + std::to_string(start2) + " -l -i '" + disc.path() + "' 2>/dev/null", &listing));
  std::istringstream lines(listing);
  std::set<std::string> seen;
  size_t files = 0;
  std::string folder;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("Directory listing of ", 0) == 0) folder = line.substr(21);
    if (line.rfind("----------", 0) != 0) continue;
    ++files;
    const std::string name = line.substr(line.find("]  ") + 3);
    if (secondLayout == IsoLayout::Interchange) {
      EXPECT_TRUE(std::regex_match(name, std::regex("[A-Z0-9_]{1,8}\\.[A-Z0-9_]{0,3};1 "))) << name;
      EXPECT_TRUE(seen.insert(folder + name).second) << folder << name << " twice";
    }
  }
  EXPECT_EQ(first.size() + second.size(), files);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, AppendingAcrossLayouts,
    ::testing::Values(Layouts{IsoLayout::Classic, IsoLayout::Interchange}, Layouts{IsoLayout::Interchange, IsoLayout::Classic},
                      Layouts{IsoLayout::Interchange, IsoLayout::Interchange}),
    [](const auto& info) {
      return std::string(iso::IsoLayoutName(info.param.first)) + "Then" +
             std::string(iso::IsoLayoutName(info.param.second));
    });

}  // namespace
}  // namespace dorvik::test
