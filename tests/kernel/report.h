#pragma once
// What the VM tells the host, one line per result on the serial console:
//   CHECK PASS name
//   CHECK FAIL name: why
//   INFO name: text          (measurements, not judged)
//   SEED target name hex     (a drive's answers kept as a fuzz seed)
//   CHECKS DONE passed=N failed=M
// The host script turns these into its verdict.
#include <string>

namespace dorvik::kernel {

class Report {
 public:
  // Records a check; returns ok.
  bool Check(const std::string& name, bool ok, const std::string& why = {});
  void Info(const std::string& name, const std::string& text);
  void Seed(const std::string& target, const std::string& name, const std::string& bytes);
  void Done();
  int Failed() const { return failed_; }

 private:
  int passed_ = 0;
  int failed_ = 0;
};

std::string Hex(const uint8_t* data, size_t size);
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace dorvik::kernel
