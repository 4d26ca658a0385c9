#include "cli_process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "support/library_fixture.h"

extern char** environ;

namespace dorvik::test {

CliProcess::CliProcess(const std::string& virtualDrives) {
  env_["DORVIK_TIME_SCALE"] = "0.001";
  if (virtualDrives.empty()) unset_.push_back("DORVIK_VIRTUAL_DRIVES");
  else env_["DORVIK_VIRTUAL_DRIVES"] = virtualDrives;
  for (const char* name : {"DORVIK_VIRTUAL_OPTIONS", "DORVIK_VIRTUAL_FAULTS", "DORVIK_ISO_LAYOUT", "DORVIK_WRITE_LOG"})
    unset_.push_back(name);
}

CliProcess& CliProcess::Env(const std::string& name, const std::string& value) {
  env_[name] = value;
  return *this;
}

CliProcess& CliProcess::Unset(const std::string& name) {
  env_.erase(name);
  unset_.push_back(name);
  return *this;
}

CliProcess& CliProcess::AsUser(unsigned uid, unsigned gid) {
  switchUser_ = true;
  uid_ = uid;
  gid_ = gid;
  return *this;
}

CliResult CliProcess::Run(const std::vector<std::string>& args) const { return RunWithSignals(args, {}); }

CliResult CliProcess::RunWithSignals(const std::vector<std::string>& args, const std::vector<Trigger>& triggers) const {
  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return {};
  // Everything the child needs is made before the fork.
  std::vector<std::string> argvText{DORVIK_CLI};
  argvText.insert(argvText.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argvText) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const size_t eq = entry.find('=');
    if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const auto& name : unset_) env.erase(name);
  for (const auto& [name, value] : env_) env[name] = value;
  std::vector<std::string> envText;
  for (const auto& [name, value] : env) envText.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (auto& e : envText) envp.push_back(e.data());
  envp.push_back(nullptr);

  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    const int null = ::open("/dev/null", O_RDONLY);
    ::dup2(null, 0);
    if (switchUser_ && (::setgroups(0, nullptr) != 0 || ::setgid(gid_) != 0 || ::setuid(uid_) != 0)) ::_exit(127);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  ::close(out[1]);
  ::close(err[1]);
  CliResult result;
  size_t next = 0;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open = 2;
  while (open > 0) {
    if (::poll(fds, 2, 100) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buffer[4096];
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
        continue;
      }
      (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
    }
    while (next < triggers.size() && triggers[next].when(result.out, result.err)) ::kill(pid, triggers[next++].signal);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
  return result;
}

std::string JsonQuery(const std::string& document, const std::string& expression) {
  TempFolder dir;
  std::ofstream(dir / "doc.json", std::ios::binary) << document;
  std::ofstream(dir / "query.py") << "import json, sys\n"
                                     "try:\n"
                                     "    d = json.load(open(sys.argv[1], encoding='utf-8'))\n"
                                     "except ValueError as e:\n"
                                     "    print('INVALID: %s' % e); sys.exit(0)\n"
                                     "print(" << expression << ")\n";
  std::string out;
  RunCommand("python3 " + (dir / "query.py") + " " + (dir / "doc.json"), &out);
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

}  // namespace dorvik::test
