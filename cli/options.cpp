#include "options.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "commands.h"

namespace dorvik::cli {

bool Arguments::Parse(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs) {
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.size() < 2 || a.compare(0, 2, "--") != 0) {
      positional_.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    const size_t eq = a.find('=');
    const std::string name = a.substr(0, eq);
    const OptionSpec* known = nullptr;
    for (const OptionSpec& s : specs)
      if (name == s.name) known = &s;
    if (!known) {
      error_ = "unknown option " + a;
      return false;
    }
    if (!known->takesValue) {
      if (eq != std::string::npos) {
        error_ = name + " takes no value";
        return false;
      }
      values_[name] = "";
    } else if (eq != std::string::npos) {
      values_[name] = a.substr(eq + 1);
    } else if (i + 1 < args.size()) {
      values_[name] = args[++i];
    } else {
      error_ = name + " needs a value";
      return false;
    }
  }
  return true;
}

std::optional<std::string> Arguments::Value(const std::string& name) const {
  auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

int UsageError(const char* command, const std::string& message, const char* usage) {
  std::fprintf(stderr, "dorvik %s: %s\n\n%s", command, message.c_str(), usage);
  return kExitUsage;
}

std::optional<long long> ParseNumber(const std::string& text, long long low, long long high) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  errno = 0;
  const long long v = std::strtoll(text.c_str(), nullptr, 10);
  if (errno != 0 || v < low || v > high) return std::nullopt;
  return v;
}

}  // namespace dorvik::cli
