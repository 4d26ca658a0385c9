// Composition cost on large trees, beside genisoimage on the same trees.
//
// For each case a tree of small files is generated in a temporary folder.
// Every measured run happens in a child process, so its peak resident set
// (wait4's ru_maxrss) is that run's alone. Our side runs in two steps, as a
// write job does: collect (Vuz_AddFiles of the tree, then the layout file)
// and compose (ImageComposer::Compose over the workspace); genisoimage
// -print-size does both jobs in one. Each figure is the best of five runs:
// the machine may be shared, and the fastest run is the one least disturbed.
//
// usage: compose [FILES:FOLDERS ...]   (default 10000:500 50000:2500)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "api/library.h"
#include "collection/temp_names.h"
#include "dorvik.h"
#include "iso/image_composer.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Case {
  int files;
  int folders;
};

struct Run {
  double collectSeconds = 0;
  double composeSeconds = 0;
  long peakKiB = 0;
  bool ok = false;
};

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

void MakeTree(const fs::path& root, const Case& c) {
  fs::create_directories(root);
  const int perFolder = c.files / c.folders;
  std::string content;
  for (int f = 0; f < c.folders; ++f) {
    // Two levels: groups of 50 folders, so the tree has some depth.
    const fs::path folder = root / ("group" + std::to_string(f / 50)) / ("folder" + std::to_string(f));
    fs::create_directories(folder);
    for (int i = 0; i < perFolder; ++i) {
      content.assign(static_cast<size_t>(100 + (f * 31 + i * 17) % 3000), static_cast<char>('a' + i % 26));
      std::ofstream(folder / ("file number " + std::to_string(i) + ".txt"), std::ios::binary) << content;
    }
  }
}

// Our side, in this (child) process. Writes the two timings to fd.
int ComposeChild(const fs::path& tree, int fd) {
  dorvik::Library::Get();
  const auto collectStart = Clock::now();
  Vuz_AddFiles(tree.c_str(), "\\", 0);
  dorvik::FileCollection& collection = *dorvik::Library::Get().collection;
  const std::string layout = dorvik::ReserveTempFileName("bcd");
  collection.PrepareForWrite(layout, false, "BENCH");
  const double collect = Seconds(collectStart);
  const auto composeStart = Clock::now();
  bool ok;
  {
    dorvik::iso::ImageComposer composer;
    ok = composer.Compose(layout, 1, 1, collection.GetWorkspacePath(), 0);
  }
  const double compose = Seconds(composeStart);
  fs::remove(layout);
  dorvik::Library::Stop();
  double times[2] = {collect, ok ? compose : -1};
  return write(fd, times, sizeof times) == sizeof times ? 0 : 1;
}

Run Measure(const fs::path& tree, bool genisoimage) {
  Run run;
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return run;
  std::fflush(nullptr);
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    close(pipeFds[0]);
    if (genisoimage) {
      dup2(open("/dev/null", O_WRONLY), 1);
      execlp("genisoimage", "genisoimage", "-J", "-quiet", "-print-size", tree.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    _exit(ComposeChild(tree, pipeFds[1]));
  }
  close(pipeFds[1]);
  double times[2] = {0, 0};
  const bool gotTimes = !genisoimage && read(pipeFds[0], times, sizeof times) == sizeof times;
  close(pipeFds[0]);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double wall = Seconds(start);
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && (genisoimage || (gotTimes && times[1] >= 0));
  run.collectSeconds = genisoimage ? 0 : times[0];
  run.composeSeconds = genisoimage ? wall : times[1];
  run.peakKiB = usage.ru_maxrss;
  return run;
}

Run Best(const fs::path& tree, bool genisoimage) {
  std::vector<Run> runs;
  for (int i = 0; i < 5; ++i) runs.push_back(Measure(tree, genisoimage));
  Run best = runs[0];
  for (const Run& r : runs) {
    best.ok = best.ok && r.ok;
    best.collectSeconds = std::min(best.collectSeconds, r.collectSeconds);
    best.composeSeconds = std::min(best.composeSeconds, r.composeSeconds);
    best.peakKiB = std::max(best.peakKiB, r.peakKiB);  // memory: the worst run
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<Case> cases;
  for (int i = 1; i < argc; ++i) {
    Case c{};
    if (std::sscanf(argv[i], "%d:%d", &c.files, &c.folders) != 2 || c.files <= 0 || c.folders <= 0) {
      std::fprintf(stderr, "usage: compose [FILES:FOLDERS ...]\n");
      return 2;
    }
    cases.push_back(c);
  }
  if (cases.empty()) cases = {{10000, 500}, {50000, 2500}};

  char base[] = "/tmp/dorvik-bench-XXXXXX";
  if (!mkdtemp(base)) return 1;
  std::printf("%-12s %9s %9s %9s %9s | %13s %9s | %11s %9s\n", "files/dirs", "collect s", "compose s", "total s",
              "peak MiB", "genisoimage s", "peak MiB", "compose/gen", "total/gen");
  std::vector<double> composeTimes;
  for (const Case& c : cases) {
    const fs::path tree = fs::path(base) / ("tree" + std::to_string(c.files));
    MakeTree(tree, c);
    const Run ours = Best(tree, false);
    const Run gen = Best(tree, true);
    const double total = ours.collectSeconds + ours.composeSeconds;
    char label[32];
    std::snprintf(label, sizeof label, "%d/%d", c.files, c.folders);
    std::printf("%-12s %9.3f %9.3f %9.3f %9.1f | %13.3f %9.1f | %11.2f %9.2f%s\n", label, ours.collectSeconds,
                ours.composeSeconds, total, ours.peakKiB / 1024.0, gen.composeSeconds, gen.peakKiB / 1024.0,
                ours.composeSeconds / gen.composeSeconds, total / gen.composeSeconds,
                ours.ok && gen.ok ? "" : "  (a run failed)");
    composeTimes.push_back(ours.composeSeconds);
    fs::remove_all(tree);
  }
  if (composeTimes.size() >= 2)
    std::printf("compose time ratio, last case / first case: %.2f\n", composeTimes.back() / composeTimes.front());
  fs::remove_all(base);
  return 0;
}
