#pragma once
// Restarts the process-wide library state around a test, with the given
// software recorders in DORVIK_VIRTUAL_DRIVES and a private temp folder.
#include <cstdlib>
#include <string>

namespace dorvik::test {

// A fresh folder under the build's temp area, removed with the object.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::string& Path() const { return path_; }  // no trailing separator
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Restarts the library with DORVIK_VIRTUAL_DRIVES=virtualDrives (empty:
// unset) and stops it again on destruction.
class LibraryRestart {
 public:
  explicit LibraryRestart(const std::string& virtualDrives = "");
  ~LibraryRestart();
};

// Runs a shell command, returns its exit status; output into *output.
int RunCommand(const std::string& command, std::string* output = nullptr);
// True when the tool is on PATH ("pycdlib": when /usr/bin/python3 has it). Under DORVIK_REQUIRE_TOOLS=1 a missing tool
// is a test failure rather than a skip.
bool HaveTool(const std::string& tool);

}  // namespace dorvik::test

// Skips (or, under DORVIK_REQUIRE_TOOLS=1, fails) when a reader is missing.
#define DORVIK_REQUIRE_TOOL(tool)                                      \
  do {                                                                 \
    if (!::dorvik::test::HaveTool(tool)) {                             \
      if (std::getenv("DORVIK_REQUIRE_TOOLS")) FAIL() << tool << " missing"; \
      GTEST_SKIP() << tool << " not installed";                        \
    }                                                                  \
  } while (0)
