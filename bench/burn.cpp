// What a burn costs beside what the machine can do anyway.
//
// 1. Feed rate: a collection of mixed-size files burnt into a software
//    recorder (DVD-R, speed emulation off), against a plain read-and-write
//    loop that copies the same files into one file on the same disk, with
//    cat's 128 KiB buffer (the goal's reference) and with 1 MiB. The burn
//    runs at DORVIK_TIME_SCALE=0 and again at 1 (the drive's own flush and
//    close times set to 0), where the engine's waits are real but end as
//    soon as what they wait for has happened; at 0 a waiting thread sleeps
//    until it is woken. All are timed in the same run, in turn, five times;
//    each figure is the best of its five runs (the machine may be shared,
//    and the fastest run is the least disturbed), and the processor time is
//    printed beside it. The burn's time is the host's whole wait:
//    Vuz_AddFiles and Vuz_WriteDataCDEx. Goal: at least 0.8 times the
//    copy's throughput.
// 2. Underruns: a tenth of the collection burnt with write speed emulated at
//    the fastest speeds drives offer (CD-R 52x, DVD-R 24x) in real time
//    (DORVIK_TIME_SCALE=1); the recorder counts how often its buffer ran dry
//    between two writes of a track. Goal: 0.
// 3. Peak resident memory of a burn of a tenth of the collection and of the
//    whole: every burn runs in a child process, so wait4's ru_maxrss is that
//    burn's alone. Goal: it does not grow with the collection.
//
// usage: burn [MIB]   (collection size, default 1024)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "api/library.h"
#include "dorvik.h"
#include "emulator/virtual_recorder.h"
#include "registry/transport_selector.h"
#include "transport/routing_transport.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uint64_t kMiB = 1024 * 1024;
constexpr int kRounds = 5;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

double CpuSeconds(const rusage& u) {
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Wall and processor time of one run: on a shared machine the processor
// time is the steadier figure of how much work a run does.
struct Timing {
  double wall = 1e30;
  double cpu = 1e30;
};

struct Tree {
  fs::path root;
  std::vector<fs::path> files;
  uint64_t bytes = 0;
};

// Files of three kinds, as a user's folder holds them: many small ones
// (1-64 KiB), fewer of a few MiB, some large (up to 32 MiB); 20 to a folder.
// The content is pseudo-random, so no layer below can shortcut it.
Tree MakeTree(const fs::path& root, uint64_t bytes, uint64_t seed) {
  Tree tree{root, {}, 0};
  uint64_t state = seed * 0x9E3779B97F4A7C15ull + 1;
  auto next = [&] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  std::vector<uint64_t> content(4 * kMiB / 8);
  for (uint64_t& w : content) w = next();
  while (tree.bytes < bytes) {
    const uint64_t kind = next() % 10;
    uint64_t size = kind < 6   ? 1024 + next() % (63 * 1024)
                    : kind < 9 ? 64 * 1024 + next() % (4 * kMiB)
                               : 4 * kMiB + next() % (28 * kMiB);
    size = std::min(size, bytes - tree.bytes);
    const size_t n = tree.files.size();
    const fs::path folder = root / ("folder" + std::to_string(n / 20));
    fs::create_directories(folder);
    const fs::path file = folder / ("file " + std::to_string(n) + ".bin");
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) break;
    const auto* bytesOut = reinterpret_cast<const char*>(content.data());
    for (uint64_t done = 0; done < size;) {
      const size_t offset = static_cast<size_t>((next() % (content.size() / 2)) * 8);
      const size_t piece = static_cast<size_t>(std::min<uint64_t>(size - done, 2 * kMiB));
      const ssize_t w = ::write(fd, bytesOut + offset, piece);
      if (w <= 0) break;
      done += static_cast<uint64_t>(w);
    }
    ::close(fd);
    tree.files.push_back(file);
    tree.bytes += size;
  }
  return tree;
}

// The reference: every file read and appended to one output file through a
// buffer of the given size. 128 KiB is the buffer coreutils' cat and cp use
// (IO_BUFSIZE); 1 MiB is shown beside it, a loop with fewer system calls.
Timing Copy(const Tree& tree, const fs::path& out, size_t bufferBytes) {
  std::vector<char> buffer(bufferBytes);
  rusage before{}, after{};
  ::getrusage(RUSAGE_SELF, &before);
  const auto start = Clock::now();
  const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (o < 0) return {};
  for (const fs::path& f : tree.files) {
    const int i = ::open(f.c_str(), O_RDONLY);
    if (i < 0) return {};
    for (ssize_t r; (r = ::read(i, buffer.data(), buffer.size())) > 0;)
      if (::write(o, buffer.data(), static_cast<size_t>(r)) != r) return {};
    ::close(i);
  }
  ::close(o);
  Timing t;
  t.wall = Seconds(start);
  ::getrusage(RUSAGE_SELF, &after);
  t.cpu = CpuSeconds(after) - CpuSeconds(before);
  fs::remove(out);  // its unwritten pages go too, and do not slow the next run
  return t;
}

struct BurnSetup {
  std::string medium;
  bool emulateSpeed = false;  // at the fastest speed, in real time
  bool realTime = false;      // DORVIK_TIME_SCALE=1 (always with emulateSpeed)
};

struct BurnRun {
  double addSeconds = 0;
  double writeSeconds = 0;
  int32_t result = 0;
  uint64_t underruns = 0;
  uint32_t writeSpeedKbs = 0;
  long peakKiB = 0;
  double cpuSeconds = 0;  // the whole child: start, add, write, stop
  bool ok = false;
};

// In the child: one burn of the tree, as a host does it.
int BurnChild(const Tree& tree, const fs::path& work, const BurnSetup& setup, int fd) {
  const fs::path tmp = work / "tmp";
  fs::create_directories(tmp);
  ::setenv("TMPDIR", tmp.c_str(), 1);
  ::setenv("DORVIK_VIRTUAL_DRIVES", ((work / "disc.img").string() + ":" + setup.medium).c_str(), 1);
  // The drive's own flush and close times are left out: they are not the
  // feed's, and would only lengthen the run.
  const std::string quickDrive = "sync-cache-ms=0;close-session-ms=0;close-track-ms=0;format-ms=0";
  ::setenv("DORVIK_VIRTUAL_OPTIONS",
           (setup.emulateSpeed ? "emulate-speed=1;top-write-speeds=1;" + quickDrive : quickDrive).c_str(), 1);
  ::setenv("DORVIK_TIME_SCALE", setup.emulateSpeed || setup.realTime ? "1" : "0", 1);
  for (const char* name : {"DORVIK_VIRTUAL_FAULTS", "DORVIK_WRITE_TYPE", "DORVIK_TEMP_FILE", "DORVIK_WRITE_LOG"})
    ::unsetenv(name);

  BurnRun run;
  if (Vuz_SetDevice(1) != 1) return 1;
  if (setup.emulateSpeed) {
    // As fast as the drive writes the medium; the speed it chose is on the
    // capabilities page (mode page 2Ah, bytes 28-29).
    Vuz_SetCdSpeeds(0xFFFF, 0xFFFF);
    uint8_t answer[256] = {};
    dorvik::SenseResult sense{};
    dorvik::Recorder* drive = dorvik::Library::Get().CurrentRecorder();
    if (drive && drive->ModeSense(answer, sizeof answer, 0x2A, drive->GetId(), &sense) == 0) {
      const uint8_t* page = answer + 8 + (answer[6] << 8 | answer[7]);
      run.writeSpeedKbs = static_cast<uint32_t>(page[28] << 8 | page[29]);
    }
  }
  const auto addStart = Clock::now();
  Vuz_AddFiles(tree.root.c_str(), "\\", 0);
  run.addSeconds = Seconds(addStart);
  const auto writeStart = Clock::now();
  run.result = Vuz_WriteDataCDEx("BENCH", 0, 0, 0, 0);
  run.writeSeconds = Seconds(writeStart);
  auto* routing = dorvik::TransportSelector::Instance().Routing();
  if (auto* recorder = dynamic_cast<dorvik::emulator::VirtualRecorder*>(routing ? routing->DeviceFor(1) : nullptr))
    run.underruns = recorder->Underruns();
  dorvik::Library::Stop();
  return ::write(fd, &run, sizeof run) == static_cast<ssize_t>(sizeof run) ? 0 : 1;
}

BurnRun Burn(const Tree& tree, const fs::path& work, const BurnSetup& setup) {
  BurnRun run;
  fs::remove_all(work);
  fs::create_directories(work);
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return run;
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipeFds[0]);
    ::_exit(BurnChild(tree, work, setup, pipeFds[1]));
  }
  ::close(pipeFds[1]);
  const bool got = ::read(pipeFds[0], &run, sizeof run) == static_cast<ssize_t>(sizeof run);
  ::close(pipeFds[0]);
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  std::error_code ec;
  const uint64_t discBytes = fs::file_size(work / "disc.img", ec);
  run.ok = got && WIFEXITED(status) && WEXITSTATUS(status) == 0 && run.result == 1 && !ec && discBytes >= tree.bytes;
  run.peakKiB = usage.ru_maxrss;
  run.cpuSeconds = CpuSeconds(usage);
  fs::remove_all(work);
  return run;
}

const char* Failed(bool ok) { return ok ? "" : "  (a run failed)"; }

}  // namespace

int main(int argc, char** argv) {
  uint64_t mib = 1024;
  if (argc > 2 || (argc == 2 && (std::sscanf(argv[1], "%lu", &mib) != 1 || mib < 10))) {
    std::fprintf(stderr, "usage: burn [MIB]   (collection size, at least 10; default 1024)\n");
    return 2;
  }
  const char* tmp = std::getenv("TMPDIR");
  std::string base = std::string(tmp && *tmp ? tmp : "/tmp") + "/dorvik-burn-bench-XXXXXX";
  if (!::mkdtemp(base.data())) return 1;
  const fs::path root(base);

  std::printf("making the collections in %s ...\n", root.c_str());
  std::fflush(stdout);
  const Tree whole = MakeTree(root / "whole", mib * kMiB, 1);
  const Tree tenth = MakeTree(root / "tenth", mib * kMiB / 10, 2);
  const fs::path work = root / "work";

  // 1. Feed rate: at time scale 0, as asked, and at 1, where the engine's
  // waits are real but end when what they wait for has happened.
  struct Best {
    Timing t;
    BurnRun run;
  };
  // The two copy loops: cat's buffer (the goal's reference) and 1 MiB.
  const size_t copyBuffers[2] = {128 * 1024, kMiB};
  Timing copyBest[2];
  Best burnBest[2];
  bool ok = true;
  long wholePeak = 0;
  for (int round = 0; round < kRounds; ++round) {
    for (int c = 0; c < 2; ++c) {
      const Timing copy = Copy(whole, root / "copy.bin", copyBuffers[c]);
      ok = ok && copy.wall < 1e30;
      copyBest[c].wall = std::min(copyBest[c].wall, copy.wall);
      copyBest[c].cpu = std::min(copyBest[c].cpu, copy.cpu);
    }
    for (int realTime = 0; realTime < 2; ++realTime) {
      const BurnRun run = Burn(whole, work, {"dvd-r", false, realTime == 1});
      ok = ok && run.ok;
      wholePeak = std::max(wholePeak, run.peakKiB);
      Best& b = burnBest[realTime];
      if (run.addSeconds + run.writeSeconds < b.t.wall) {
        b.t.wall = run.addSeconds + run.writeSeconds;
        b.run = run;
      }
      b.t.cpu = std::min(b.t.cpu, run.cpuSeconds);
    }
  }
  const double mibs = static_cast<double>(whole.bytes) / kMiB;
  std::printf("\nfeed rate: %.0f MiB in %zu files, DVD-R, speed emulation off (best of %d)\n", mibs,
              whole.files.size(), kRounds);
  for (int c = 0; c < 2; ++c)
    std::printf("  plain copy loop, %4zu KiB     %8.1f MiB/s  (%.2f s; processor %.2f s)\n", copyBuffers[c] / 1024,
                mibs / copyBest[c].wall, copyBest[c].wall, copyBest[c].cpu);
  for (int realTime = 0; realTime < 2; ++realTime) {
    const Best& b = burnBest[realTime];
    std::printf("  burn, DORVIK_TIME_SCALE=%d    %8.1f MiB/s  (%.2f s: add %.2f s, write %.2f s; processor %.2f s)\n",
                realTime, mibs / b.t.wall, b.t.wall, b.run.addSeconds, b.run.writeSeconds, b.t.cpu);
    std::printf("    burn / copy, 128 KiB       %8.2f        (goal >= 0.80)%s\n", copyBest[0].wall / b.t.wall,
                Failed(ok));
    std::printf("    burn / copy, 1024 KiB      %8.2f\n", copyBest[1].wall / b.t.wall);
  }

  // 2. Underruns at the fastest speeds, in real time.
  std::printf("\nunderruns: %.0f MiB, write speed emulated, DORVIK_TIME_SCALE=1\n",
              static_cast<double>(tenth.bytes) / kMiB);
  for (const auto& [medium, unit, label] :
       {std::tuple{"cd-r", 176u, "CD-R "}, std::tuple{"dvd-r", 1385u, "DVD-R"}}) {
    const BurnRun run = Burn(tenth, work, {medium, true});
    std::printf("  %s at %2ux    %3lu underruns  (goal 0; burn %.1f s)%s\n", label, run.writeSpeedKbs / unit,
                static_cast<unsigned long>(run.underruns), run.writeSeconds, Failed(run.ok));
  }

  // 3. Peak resident memory.
  const BurnRun small = Burn(tenth, work, {"dvd-r", false});
  std::printf("\npeak resident memory of a burn (DVD-R, DORVIK_TIME_SCALE=0)\n");
  std::printf("  %6.0f MiB collection  %7.1f MiB\n", static_cast<double>(tenth.bytes) / kMiB, small.peakKiB / 1024.0);
  std::printf("  %6.0f MiB collection  %7.1f MiB%s\n", mibs, wholePeak / 1024.0, Failed(small.ok && ok));

  fs::remove_all(root);
  return 0;
}
