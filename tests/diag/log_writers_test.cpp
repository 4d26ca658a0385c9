// Writers in several threads and processes share one log: every record
// arrives whole, none is cut into by another.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <thread>

#include "diag/log_fixture.h"
#include "diag/log_record.h"

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

// Runs WriteEvents in one child process per writer, all let go at once.
void WriteInProcesses(int writers) {
  int gate[2];
  ASSERT_EQ(::pipe(gate), 0);
  std::vector<pid_t> children;
  for (int w = 1; w <= writers; ++w) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      // Every child starts when the parent closes the gate.
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
}

TEST_F(LogTest, TwoProcessesWritingAtOnceLeaveOnlyWholeRecords) {
  const ScopedEnv realWaits("DORVIK_TIME_SCALE", "1");
  WriteInProcesses(2);
  ExpectWholeRecords(DecodeLog(ReadBytes(LogPath())), 2);
}

// A full log is started afresh once, by one of the two: after that each
// writer's records run on without a gap to its last (a second deletion
// would cut a hole into one of them), and nothing of the old log is left.
TEST_F(LogTest, TwoProcessesStartingAFullLogAfreshDeleteItOnce) {
  const ScopedEnv realWaits("DORVIK_TIME_SCALE", "1");
  std::ofstream(LogPath(), std::ios::binary) << std::string(diag::kLogRestartBytes - 1, 'o');
  WriteInProcesses(2);
  const std::string bytes = ReadBytes(LogPath());
  ASSERT_LT(bytes.size(), diag::kLogRestartBytes) << "the full log was not started afresh";
  std::map<int, std::vector<std::string>> byWriter;
  for (const std::string& r : DecodeLog(bytes)) {
    bool known = false;
    for (int w = 1; w <= 2 && !known; ++w) {
      const auto all = Expected(w);
      if (std::find(all.begin(), all.end(), r) != all.end()) {
        byWriter[w].push_back(r);
        known = true;
      }
    }
    EXPECT_TRUE(known) << "a record no writer wrote: " << r.substr(0, 40);
  }
  for (int w = 1; w <= 2; ++w) {
    const auto all = Expected(w);
    const auto& got = byWriter[w];
    ASSERT_GT(got.size(), all.size() / 2) << "writer " << w;
    EXPECT_TRUE(std::equal(got.begin(), got.end(), all.end() - static_cast<std::ptrdiff_t>(got.size())))
        << "writer " << w << " lost records after the log was started afresh";
  }
}

}  // namespace
}  // namespace dorvik::test
