#include "report.h"

#include <cstdarg>
#include <cstdio>

namespace dorvik::kernel {

bool Report::Check(const std::string& name, bool ok, const std::string& why) {
  if (ok) {
    ++passed_;
    std::printf("CHECK PASS %s\n", name.c_str());
  } else {
    ++failed_;
    std::printf("CHECK FAIL %s: %s\n", name.c_str(), why.empty() ? "failed" : why.c_str());
  }
  std::fflush(stdout);
  return ok;
}

void Report::Info(const std::string& name, const std::string& text) {
  std::printf("INFO %s: %s\n", name.c_str(), text.c_str());
  std::fflush(stdout);
}

void Report::Seed(const std::string& target, const std::string& name, const std::string& bytes) {
  // One line of hex each; the console has no trouble with long lines.
  std::printf("SEED %s %s %s\n", target.c_str(), name.c_str(), Hex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()).c_str());
  std::fflush(stdout);
}

void Report::Done() {
  std::printf("CHECKS DONE passed=%d failed=%d\n", passed_, failed_);
  std::fflush(stdout);
}

std::string Hex(const uint8_t* data, size_t size) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  out.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    out += digits[data[i] >> 4];
    out += digits[data[i] & 15];
  }
  return out;
}

std::string Format(const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  return text;
}

}  // namespace dorvik::kernel
