#pragma once
// Command-line arguments as every command takes them: options "--name",
// "--name VALUE" or "--name=VALUE" anywhere, "--" ending them, the rest
// positional. A command declares its options; anything else is a usage
// error, reported with the command's usage on stderr.
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dorvik::cli {

struct OptionSpec {
  const char* name;  // "--label"
  bool takesValue;
};

class Arguments {
 public:
  // False (with the message in Error()) on an unknown option or a missing value.
  bool Parse(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs);

  bool Has(const std::string& name) const { return values_.count(name) != 0; }
  std::optional<std::string> Value(const std::string& name) const;
  const std::vector<std::string>& Positional() const { return positional_; }
  const std::string& Error() const { return error_; }

 private:
  std::map<std::string, std::string> values_;
  std::vector<std::string> positional_;
  std::string error_;
};

// Prints "dorvik COMMAND: message", a blank line and the usage to stderr;
// returns the usage exit code.
int UsageError(const char* command, const std::string& message, const char* usage);

// A whole decimal number in [low, high].
std::optional<long long> ParseNumber(const std::string& text, long long low, long long high);

}  // namespace dorvik::cli
