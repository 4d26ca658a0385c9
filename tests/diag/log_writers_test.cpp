// Writers in several threads and processes share one log: every record
// arrives whole, none is cut into by another.
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <thread>

#include "diag/log_fixture.h"

namespace dorvik::test {
namespace {

using diag::LogSense;

constexpr int kEvents = 50;

std::string Text(int writer, int event) {
  return "writer " + std::to_string(writer) + std::string(200, static_cast<char>('a' + writer)) + std::to_string(event);
}
std::string Source(int writer) { return "writer" + std::to_string(writer); }

void WriteEvents(int writer) {
  for (int event = 0; event < kEvents; ++event)
    diag::LogEvent(Text(writer, event).c_str(), Source(writer).c_str(), static_cast<int16_t>(event),
                   LogSense{static_cast<uint8_t>(writer), 0, 0, 0});
}

std::vector<std::string> Expected(int writer) {
  std::vector<std::string> records;
  for (int event = 0; event < kEvents; ++event) {
    records.push_back(Text(writer, event));
    records.push_back("File:" + Source(writer) + ", Line:" + std::to_string(event));
    records.push_back("SenseKey: " + std::to_string(writer) + ", ASC: 0, ASCQ: 0, SRBStatus: 0\n");
  }
  return records;
}

// Each record is one a writer wrote, and each writer's records are all
// there in the order it wrote them.
void ExpectWholeRecords(const std::vector<std::string>& records, int writers) {
  std::map<std::string, int> owner;
  for (int w = 1; w <= writers; ++w)
    for (const std::string& r : Expected(w)) owner[r] = w;
  std::map<int, std::vector<std::string>> byWriter;
  for (const std::string& r : records) {
    const auto it = owner.find(r);
    if (it == owner.end()) {
      ADD_FAILURE() << "record no writer wrote: " << r;
      continue;
    }
    byWriter[it->second].push_back(r);
  }
  for (int w = 1; w <= writers; ++w) EXPECT_EQ(byWriter[w], Expected(w)) << "writer " << w;
}

TEST_F(LogTest, ThreadsWritingAtOnceLeaveOnlyWholeRecords) {
  const ScopedEnv realWaits("DORVIK_TIME_SCALE", "1");
  constexpr int kWriters = 4;
  std::vector<std::thread> threads;
  for (int w = 1; w <= kWriters; ++w) threads.emplace_back(WriteEvents, w);
  for (auto& t : threads) t.join();
  ExpectWholeRecords(DecodeLog(ReadBytes(LogPath())), kWriters);
}

TEST_F(LogTest, TwoProcessesWritingAtOnceLeaveOnlyWholeRecords) {
  const ScopedEnv realWaits("DORVIK_TIME_SCALE", "1");
  int gate[2];
  ASSERT_EQ(::pipe(gate), 0);
  std::vector<pid_t> children;
  for (int w = 1; w <= 2; ++w) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      // Both start together when the parent closes the gate.
      ::close(gate[1]);
      char c;
      while (::read(gate[0], &c, 1) > 0) {
      }
      WriteEvents(w);
      ::_exit(0);
    }
    children.push_back(pid);
  }
  ::close(gate[0]);
  ::close(gate[1]);
  for (const pid_t pid : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  ExpectWholeRecords(DecodeLog(ReadBytes(LogPath())), 2);
}

}  // namespace
}  // namespace dorvik::test
