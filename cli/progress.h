#pragma once
// How far a long job has got. On a terminal: one line redrawn in place with
// a bar, the percentage, the amount, the rate, the time left and the file
// being worked on. Otherwise (a pipe, a log): a plain line at every tenth
// of the way, so a log shows the job moving without drowning in it.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>

namespace dorvik::cli {

class Progress {
 public:
  // unitKbs: the kB/s of 1x for the medium written (0: show no speed factor).
  Progress(std::FILE* out, uint64_t totalBytes, uint32_t unitKbs = 0);
  // doneBytes so far, file: what is being read or written (empty: nothing to name).
  void Update(uint64_t doneBytes, const std::string& file = {});
  // Draws the final state and ends the line; alwaysLine: also without a
  // terminal when no line was printed yet (a quick write still says it ended).
  void Finish(bool alwaysLine = false);
  // Ends a terminal line in the middle (before a message is printed).
  void Interrupt();

  uint64_t Done() const { return done_; }
  // Mean rate since the start, bytes a second.
  double MeanRate() const;

 private:
  void Draw(bool final);
  std::string Describe(bool forTerminal) const;
  double RecentRate() const;

  std::FILE* out_;
  uint64_t total_;
  uint32_t unitKbs_;
  bool terminal_;
  uint64_t done_ = 0;
  std::string file_;
  int lastTenth_ = -1;
  bool lineOpen_ = false;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_;
  std::deque<std::pair<std::chrono::steady_clock::time_point, uint64_t>> samples_;
};

// "12.3 MB" (decimal megabytes, as disc sizes are sold).
std::string Megabytes(uint64_t bytes);
// "1:05" or "1:02:05".
std::string Duration(double seconds);

}  // namespace dorvik::cli
