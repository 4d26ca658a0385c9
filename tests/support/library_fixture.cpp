#include "support/library_fixture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "api/library.h"

namespace dorvik::test {

TempFolder::TempFolder() {
  std::string base = std::filesystem::temp_directory_path().string() + "/dorvik-test-XXXXXX";
  std::vector<char> buf(base.begin(), base.end());
  buf.push_back('\0');
  if (!::mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}

TempFolder::~TempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

LibraryRestart::LibraryRestart(const std::string& virtualDrives) {
  Library::Stop();
  if (virtualDrives.empty()) ::unsetenv("DORVIK_VIRTUAL_DRIVES");
  else ::setenv("DORVIK_VIRTUAL_DRIVES", virtualDrives.c_str(), 1);
  Library::Start();
}

LibraryRestart::~LibraryRestart() {
  Library::Stop();
  ::unsetenv("DORVIK_VIRTUAL_DRIVES");
}

int RunCommand(const std::string& command, std::string* output) {
  std::string full = command + " 2>&1";
  FILE* p = ::popen(full.c_str(), "r");
  if (!p) return -1;
  std::array<char, 4096> buf;
  std::string out;
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) out.append(buf.data(), n);
  int status = ::pclose(p);
  if (output) *output = out;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveTool(const std::string& tool) {
  // pycdlib is a Python module, read with the system's own interpreter.
  if (tool == "pycdlib") return RunCommand("/usr/bin/python3 -c 'import pycdlib' 2>/dev/null") == 0;
  return RunCommand("command -v " + tool + " >/dev/null") == 0;
}

}  // namespace dorvik::test
