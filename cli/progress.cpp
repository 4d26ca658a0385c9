#include "progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>

namespace dorvik::cli {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kBarWidth = 24;
constexpr auto kRateWindow = std::chrono::seconds(5);  // the rate shown is that of the last seconds
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr auto kPlainLineEvery = std::chrono::seconds(1);

int TerminalWidth(std::FILE* out) {
  winsize ws{};
  if (::ioctl(::fileno(out), TIOCGWINSZ, &ws) == 0 && ws.ws_col >= 40) return ws.ws_col;
  return 80;
}

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

}  // namespace

std::string Megabytes(uint64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return text;
}

std::string Duration(double seconds) {
  if (!std::isfinite(seconds) || seconds < 0) return "?";
  const auto s = static_cast<long long>(seconds + 0.5);
  char text[32];
  if (s >= 3600) std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", s / 3600, s / 60 % 60, s % 60);
  else std::snprintf(text, sizeof text, "%lld:%02lld", s / 60, s % 60);
  return text;
}

Progress::Progress(std::FILE* out, uint64_t totalBytes, uint32_t unitKbs)
    : out_(out),
      total_(totalBytes),
      unitKbs_(unitKbs),
      terminal_(::isatty(::fileno(out)) == 1),
      start_(Clock::now()),
      lastDraw_(terminal_ ? start_ - kRedrawEvery : start_) {
  samples_.emplace_back(start_, 0);
}

double Progress::MeanRate() const {
  const double s = Seconds(Clock::now() - start_);
  return s > 0 ? static_cast<double>(done_) / s : 0;
}

double Progress::RecentRate() const {
  const auto& [t0, d0] = samples_.front();
  const auto& [t1, d1] = samples_.back();
  const double s = Seconds(t1 - t0);
  return s > 0.2 && d1 >= d0 ? static_cast<double>(d1 - d0) / s : 0;
}

void Progress::Update(uint64_t doneBytes, const std::string& file) {
  const auto now = Clock::now();
  done_ = std::min(doneBytes, total_ == 0 ? doneBytes : total_);
  file_ = file;
  samples_.emplace_back(now, done_);
  while (samples_.size() > 2 && now - samples_[1].first > kRateWindow) samples_.pop_front();
  if (terminal_) {
    if (now - lastDraw_ < kRedrawEvery) return;
    lastDraw_ = now;
    Draw(false);
    return;
  }
  // A line at each tenth of the way, at most one a second: a quick job
  // prints none, a long one a few.
  const int tenth = total_ == 0 ? 0 : static_cast<int>(done_ * 10 / total_);
  if (tenth == lastTenth_ || now - lastDraw_ < kPlainLineEvery) return;
  lastTenth_ = tenth;
  lastDraw_ = now;
  Draw(false);
}

std::string Progress::Describe(bool forTerminal) const {
  const int permille = total_ == 0 ? 1000 : static_cast<int>(done_ * 1000 / total_);
  std::string text;
  char part[96];
  if (forTerminal) {
    const int filled = permille * kBarWidth / 1000;
    text = "[" + std::string(static_cast<size_t>(filled), '#') + std::string(static_cast<size_t>(kBarWidth - filled), '.') + "] ";
  }
  std::snprintf(part, sizeof part, "%3d%%  %s of %s", permille / 10, Megabytes(done_).c_str(), Megabytes(total_).c_str());
  text += part;
  const double rate = RecentRate();
  if (rate > 0) {
    std::snprintf(part, sizeof part, "  %.0f kB/s", rate / 1000);
    text += part;
    if (unitKbs_ > 0) {
      std::snprintf(part, sizeof part, " (%.1fx)", rate / 1000 / unitKbs_);
      text += part;
    }
    if (done_ < total_) text += "  " + Duration(static_cast<double>(total_ - done_) / rate) + " left";
  }
  if (!file_.empty()) text += "  " + file_;
  return text;
}

void Progress::Draw(bool final) {
  if (!terminal_) {
    std::fprintf(out_, "progress: %s\n", Describe(false).c_str());
    std::fflush(out_);
    return;
  }
  std::string line = Describe(true);
  const size_t width = static_cast<size_t>(TerminalWidth(out_) - 1);
  if (line.size() > width) {
    // Keep the end of a long file name: that is the part that tells files apart.
    const size_t fileAt = line.size() - file_.size();
    if (!file_.empty() && fileAt + 4 < width) {
      size_t from = file_.size() - (width - fileAt - 3);
      while (from < file_.size() && (static_cast<unsigned char>(file_[from]) & 0xC0) == 0x80) ++from;  // whole characters
      line = line.substr(0, fileAt) + "..." + file_.substr(from);
    } else {
      line.resize(width);
    }
  }
  std::fprintf(out_, "\r%s\x1b[K", line.c_str());
  if (final) std::fputc('\n', out_);
  lineOpen_ = !final;
  std::fflush(out_);
}

void Progress::Finish(bool alwaysLine) {
  // Without a terminal the end is worth a line only after lines of progress
  // (or when the caller's log wants the end whatever happened before).
  if (!terminal_ && lastTenth_ == 10) return;
  if (!terminal_ && lastTenth_ < 0 && !alwaysLine) return;
  lastTenth_ = 10;
  Draw(true);
}

void Progress::Interrupt() {
  if (terminal_ && lineOpen_) {
    std::fputc('\n', out_);
    std::fflush(out_);
    lineOpen_ = false;
  }
}

}  // namespace dorvik::cli
