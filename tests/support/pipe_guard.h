#pragma once
// A named pipe that the library must never wait on. Should a reader block on
// it anyway, the guard opens the writing end after a few seconds, again and
// again, so the suite goes on, and remembers that it had to.
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
  explicit PipeGuard(std::string path) : path_(std::move(path)) {
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
  // True when a reader or writer had to be released.
  bool Released() const { return released_; }

 private:
  void Watch() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (!stop_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      if (std::chrono::steady_clock::now() < deadline) continue;
      // Succeeds only while a reader holds the pipe (blocked in open, or
      // in a read): it is let go with an empty pipe.
      const int fd = ::open(path_.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd < 0) continue;
      released_ = true;
      ::close(fd);
    }
  }

  std::string path_;
  bool made_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<bool> released_{false};
  std::thread watcher_;
};

}  // namespace dorvik::test
