#pragma once
// The dorvik program run as a user runs it: its own process, its own
// environment, stdout and stderr apart, the exit status as the shell sees
// it; and, for Ctrl-C, a signal sent while it works.
#include <csignal>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace dorvik::test {

struct CliResult {
  int status = -1;  // exit status; 128 + N when killed by signal N
  std::string out;
  std::string err;
  std::string Both() const { return out + err; }
};

class CliProcess {
 public:
  // The program under test with DORVIK_TIME_SCALE=0.001 and no software
  // recorders unless given.
  explicit CliProcess(const std::string& virtualDrives = "");
  CliProcess& Env(const std::string& name, const std::string& value);
  CliProcess& Unset(const std::string& name);
  // Runs as another user (uid and gid), so files root may always read can
  // be made unreadable.
  CliProcess& AsUser(unsigned uid, unsigned gid);

  CliResult Run(const std::vector<std::string>& args) const;
  // Runs, and each time the output so far satisfies the next trigger, sends
  // its signal. Triggers are tried in order.
  struct Trigger {
    std::function<bool(const std::string& out, const std::string& err)> when;
    int signal = SIGINT;
  };
  CliResult RunWithSignals(const std::vector<std::string>& args, const std::vector<Trigger>& triggers) const;

 private:
  std::map<std::string, std::string> env_;
  std::vector<std::string> unset_;
  bool switchUser_ = false;
  unsigned uid_ = 0, gid_ = 0;
};

// A JSON document checked by python3's json module: the expression (over
// the parsed document `d`) printed, or "INVALID: ..." when it does not parse.
std::string JsonQuery(const std::string& document, const std::string& expression);

}  // namespace dorvik::test
