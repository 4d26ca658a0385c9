#pragma once
// The sources of `dorvik image` and `dorvik burn`, checked before anything
// is added: what the collection would leave out without a word (a link to
// nothing, a file that cannot be read, a name the disc cannot hold, a path
// too long for the collection's records) is said, and two sources that
// would land on one disc path are refused unless folders are to be merged.
// The checks walk the sources as the collection walks them.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace dorvik::cli {

struct SourceRules {
  bool interchange = true;  // the layout: interchange holds any name, classic only UCS-2 names below 4 GiB
  bool merge = false;       // folders of one name merge; without it they are refused
  bool mp3Only = false;     // only .mp3 files are taken (the rest is not worth a word)
};

// One Vuz_AddFiles call.
struct Addition {
  std::string source;      // host path
  std::string discFolder;  // "\" or "\A\B\"
};

struct SourceCheck {
  std::vector<Addition> additions;
  std::vector<std::string> warnings;  // what will not be on the disc (or not as it is), and why
  std::vector<std::string> errors;    // what stops the command before anything is added
  std::set<std::string> reported;     // source paths a warning names already
  uint64_t files = 0;                 // files that will be added
  uint64_t bytes = 0;                 // and their size
};

// A source whose last component is "." or ".." (or the root) stands for the
// folder's contents: each entry is a source of its own.
SourceCheck CheckSources(const std::vector<std::string>& sources, const SourceRules& rules);

// Prints the errors, and the warnings (as errors under strict), on stderr;
// false when the command must stop.
bool ReportSourceCheck(const char* command, const SourceCheck& check, bool strict);

}  // namespace dorvik::cli
