#pragma once
// A one-line progress bar, redrawn in place; silent when the output is not
// a terminal, so scripts and logs get only the final summary.
#include <cstdint>
#include <cstdio>

namespace dorvik::cli {

class ProgressBar {
 public:
  ProgressBar(std::FILE* out, uint64_t total);
  void Update(uint64_t done);
  void Finish();

 private:
  std::FILE* out_;
  uint64_t total_;
  bool enabled_;
  int lastPermille_ = -1;
};

}  // namespace dorvik::cli
