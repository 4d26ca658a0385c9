#pragma once
// A write export run the way a user wants to see it: the job on a thread of
// its own, progress drawn from Vuz_WriteGetProgress and the file name
// meanwhile, and Ctrl-C turned into Vuz_StopWrite. The first Ctrl-C stops
// the track (the library still closes it, so the disc stays readable); a
// later one only says that the job is finishing, because leaving now would
// hide how far the disc was written.
#include <cstdint>
#include <functional>
#include <string>

namespace dorvik::cli {

struct WriteOutcome {
  int32_t result = 0;          // the write export's result
  bool interrupted = false;    // Ctrl-C stopped it
  int32_t lastPercent = 0;     // the highest progress seen
  double seconds = 0;          // how long the job took
};

// Runs job (a call of a write export) and watches it. command names the
// lines printed; trackBytes is the expected size of the track (for the
// amounts and the rate shown); unitKbs the kB/s of 1x for the medium.
WriteOutcome WatchWrite(const char* command, const std::function<int32_t()>& job, uint64_t trackBytes,
                        uint32_t unitKbs);

// "stopped at 42% (12.3 MB of 29.0 MB written)": how far an interrupted
// track got, and what that leaves on the disc.
std::string StoppedReport(const WriteOutcome& outcome, uint64_t trackBytes);

}  // namespace dorvik::cli
