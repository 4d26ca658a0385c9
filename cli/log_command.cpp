// dorvik log: the diagnostic log decoded. Each record is stored shifted by
// 6 a byte and ends in 0x0D 0x0A (written as a Windows text-mode file, on
// every system).
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "dorvik.h"
#include "options.h"

namespace dorvik::cli {

const char kLogUsage[] =
    "usage: dorvik log [FILE]\n"
    "\n"
    "Prints the diagnostic log decoded, one record a line. FILE defaults to the\n"
    "log the library writes: Record.log in DORVIK_LOG_DIR, else beside the\n"
    "library. The library writes it only when DORVIK_WRITE_LOG is non-zero: what\n"
    "the burn engine found about the drive at each track (its identification,\n"
    "every failed preparation with the drive's sense) and the problems met while\n"
    "looking for recorders.\n";

namespace {

constexpr unsigned char kShift = 6;

std::string Decode(const std::string& record) {
  std::string text = record;
  for (char& c : text) c = static_cast<char>(static_cast<unsigned char>(c) - kShift);
  // A text logged with its own line break keeps it; one is enough.
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  return text;
}

}  // namespace

int RunLog(const std::vector<std::string>& args) {
  Arguments a;
  if (!a.Parse(args, {})) return UsageError("log", a.Error(), kLogUsage);
  if (a.Positional().size() > 1) return UsageError("log", "at most one log file", kLogUsage);
  std::string path;
  if (!a.Positional().empty()) {
    path = a.Positional()[0];
  } else {
    char buffer[4096] = {};
    if (Vuz_GetLogPath(buffer, sizeof buffer) != DORVIK_OK || !*buffer) {
      std::fprintf(stderr, "dorvik log: the library has no folder for its log; name the file\n");
      return kExitFailed;
    }
    path = buffer;
  }
  std::FILE* in = std::fopen(path.c_str(), "rb");
  if (!in) {
    const int error = errno;
    if (error == ENOENT && a.Positional().empty())
      std::fprintf(stderr, "dorvik log: no log at %s (the library writes one when DORVIK_WRITE_LOG=1)\n", path.c_str());
    else
      std::fprintf(stderr, "dorvik log: %s: %s\n", path.c_str(), std::strerror(error));
    return kExitFailed;
  }
  std::string data;
  char chunk[65536];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, in)) > 0;) data.append(chunk, n);
  std::fclose(in);
  for (size_t start = 0; start < data.size();) {
    size_t end = data.find("\r\n", start);
    const bool whole = end != std::string::npos;
    if (!whole) end = data.size();  // a record cut short (a full disk) is shown as far as it goes
    std::printf("%s\n", Decode(data.substr(start, end - start)).c_str());
    start = whole ? end + 2 : end;
  }
  return kExitOk;
}

}  // namespace dorvik::cli
