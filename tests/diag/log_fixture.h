#pragma once
// A log switched on and kept in a private folder for the length of a test,
// and the decoder that reads it back.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "diag/log.h"
#include "support/library_fixture.h"

namespace dorvik::test {

// Splits at each 0x0D 0x0A and takes 6 from every byte.
inline std::vector<std::string> DecodeLog(const std::string& bytes) {
  std::vector<std::string> records(1);
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes.compare(i, 2, "\r\n") == 0) {
      records.emplace_back();
      ++i;
    } else {
      records.back() += static_cast<char>(static_cast<unsigned char>(bytes[i]) - 6);
    }
  }
  if (!records.back().empty()) records.back() += "<unterminated>";
  else records.pop_back();
  return records;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old, hadOld_ = true;
    ::setenv(name, value, 1);
  }
  ~ScopedEnv() {
    if (hadOld_) ::setenv(name_.c_str(), old_.c_str(), 1);
    else ::unsetenv(name_.c_str());
  }

 private:
  std::string name_, old_;
  bool hadOld_ = false;
};

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("DORVIK_LOG_DIR", folder.Path().c_str(), 1);
    SwitchLog("1");
  }
  void TearDown() override {
    ::unsetenv("DORVIK_LOG_DIR");
    SwitchLog(nullptr);
  }
  static void SwitchLog(const char* value) {
    if (value) ::setenv("DORVIK_WRITE_LOG", value, 1);
    else ::unsetenv("DORVIK_WRITE_LOG");
    diag::ReadLogSwitch();
  }
  std::string LogPath() const { return folder / "Record.log"; }

  TempFolder folder;
};

}  // namespace dorvik::test
