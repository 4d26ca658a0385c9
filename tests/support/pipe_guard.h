#pragma once
// A named pipe that the library must never wait on. Should it block on the
// pipe anyway, the guard lets it go after a few seconds, so the suite goes
// on, and remembers that it had to: a reader is let go by opening the
// writing end (it reads an empty pipe), a writer by a reading end that
// stays open and drains what arrives.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace dorvik::test {

class PipeGuard {
 public:
  enum class Against { Readers, Writers };

  explicit PipeGuard(std::string path, Against against = Against::Readers)
      : path_(std::move(path)), against_(against) {
    made_ = ::mkfifo(path_.c_str(), 0600) == 0;
    watcher_ = std::thread([this] { Watch(); });
  }
  ~PipeGuard() {
    stop_ = true;
    watcher_.join();
  }
  PipeGuard(const PipeGuard&) = delete;
  PipeGuard& operator=(const PipeGuard&) = delete;

  bool Made() const { return made_; }
  // True when something waiting on the pipe had to be let go (against
  // writers: when the guard was still needed past its deadline).
  bool Released() const { return released_; }

 private:
  void Watch() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int drain = -1;
    while (!stop_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (std::chrono::steady_clock::now() < deadline) continue;
      if (against_ == Against::Readers) {
        // Succeeds only while a reader holds the pipe (blocked in open, or
        // in a read).
        const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd < 0) continue;
        released_ = true;
        ::close(fd);
      } else {
        // A writer blocked in open cannot be told from none at all: past the
        // deadline the guard counts as having had to step in.
        if (drain < 0) drain = ::open(path_.c_str(), O_RDONLY | O_NONBLOCK);
        released_ = true;
        char buffer[4096];
        while (drain >= 0 && ::read(drain, buffer, sizeof buffer) > 0) released_ = true;
      }
    }
    if (drain >= 0) ::close(drain);
  }

  std::string path_;
  Against against_;
  bool made_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<bool> released_{false};
  std::thread watcher_;
};

}  // namespace dorvik::test
