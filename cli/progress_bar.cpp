#include "progress_bar.h"

#include <unistd.h>

#include <string>

namespace dorvik::cli {

namespace {
constexpr int kWidth = 40;
}

ProgressBar::ProgressBar(std::FILE* out, uint64_t total)
    : out_(out), total_(total == 0 ? 1 : total), enabled_(::isatty(::fileno(out)) == 1) {}

void ProgressBar::Update(uint64_t done) {
  if (!enabled_) return;
  const int permille = static_cast<int>(done * 1000 / total_);
  if (permille == lastPermille_) return;
  lastPermille_ = permille;
  const int filled = permille * kWidth / 1000;
  std::string bar(static_cast<size_t>(filled), '#');
  bar.append(static_cast<size_t>(kWidth - filled), '.');
  std::fprintf(out_, "\r[%s] %3d.%d%%", bar.c_str(), permille / 10, permille % 10);
  std::fflush(out_);
}

void ProgressBar::Finish() {
  if (!enabled_) return;
  Update(total_);
  std::fputc('\n', out_);
  std::fflush(out_);
}

}  // namespace dorvik::cli
