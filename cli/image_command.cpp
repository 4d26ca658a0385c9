// dorvik image: the collection composed into an image file, sector by
// sector, exactly as a write job would stream it to a drive, through the
// library's composing extension.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "dorvik.h"
#include "host_messages.h"
#include "layout_choice.h"
#include "options.h"
#include "progress.h"
#include "sources.h"

namespace dorvik::cli {

const char kImageUsage[] =
    "usage: dorvik image OUT.iso SOURCE... [--label L] [--playlist] [--mp3-only] [--start LBA]\n"
    "                    [--layout classic|interchange] [--merge] [--strict]\n"
    "\n"
    "Adds each SOURCE (file or folder) to the root of a new collection, composes\n"
    "its ISO 9660 image with Joliet names and writes every sector of the padded\n"
    "track to OUT.iso. A SOURCE of \".\" (or \"DIR/.\") stands for the folder's\n"
    "contents. Sources are checked first: what will not be on the disc (a link\n"
    "to nothing, a file that cannot be read, a name the layout cannot hold) is\n"
    "said on stderr, and two sources that would have one name on the disc are\n"
    "refused.\n"
    "\n"
    "  --label L    volume label (at most 13 bytes are used)\n"
    "  --playlist   add Playlist.M3U listing every file\n"
    "  --mp3-only   take only .mp3 files from the sources\n"
    "  --start LBA  lay the track out for this start sector (an appended\n"
    "               session); OUT.iso then holds the track alone, meant to\n"
    "               stand at byte LBA*2048 of a disc image\n"
    "  --layout L   interchange (the default): unique 8.3 names, ordered for\n"
    "               every reader, files of 4 GiB or more in several extents;\n"
    "               classic: the layout the library writes by default. The\n"
    "               DORVIK_ISO_LAYOUT setting, when set, replaces the default\n"
    "  --merge      merge folders of one name from several sources\n"
    "  --strict     stop at any warning about the sources, before anything is\n"
    "               written\n";

namespace {

constexpr uint32_t kSectorSize = 2048;
constexpr uint32_t kSectorsPerRead = 32;

struct ImageOptions {
  std::string output;
  std::vector<std::string> sources;
  std::string label;
  bool playlist = false;
  bool mp3Only = false;
  bool merge = false;
  bool strict = false;
  uint32_t start = 0;
  int32_t layout = DORVIK_LAYOUT_CLASSIC;
};

// Set by SIGINT, SIGTERM or SIGHUP: the command stops at its next step and
// takes what it made with it (the composition's files, a partial output,
// and, as the program ends normally, the library's workspace). SIGKILL
// leaves them behind.
volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void StopOnSignal(int signal) { gStopSignal = signal; }

void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = &StopOnSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
}

bool WriteAll(int fd, const uint8_t* data, size_t length) {
  while (length > 0) {
    const ssize_t n = ::write(fd, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

// Streams the whole track into the output file. Blocks of zeros are left as
// holes, so the image of a sparse source (or of the padding) takes no room
// it does not need. False (errno set) when the file cannot be written.
bool WriteTrack(uint32_t sectors, int fd) {
  std::vector<uint8_t> block(size_t{kSectorsPerRead} * kSectorSize);
  const std::vector<uint8_t> zeros(block.size(), 0);
  Progress progress(stdout, uint64_t{sectors} * kSectorSize);
  for (uint32_t done = 0; done < sectors;) {
    if (gStopSignal) {
      progress.Interrupt();
      errno = EINTR;
      return false;
    }
    const uint32_t n = std::min(kSectorsPerRead, sectors - done);
    const size_t bytes = size_t{n} * kSectorSize;
    if (Vuz_ComposeReadSectors(block.data(), n) != DORVIK_OK) {
      errno = EIO;
      return false;
    }
    if (std::memcmp(block.data(), zeros.data(), bytes) == 0) {
      if (::lseek(fd, static_cast<off_t>(bytes), SEEK_CUR) < 0) return false;
    } else if (!WriteAll(fd, block.data(), bytes)) {
      return false;
    }
    done += n;
    progress.Update(uint64_t{done} * kSectorSize);
  }
  if (::ftruncate(fd, static_cast<off_t>(uint64_t{sectors} * kSectorSize)) != 0) return false;
  progress.Finish();
  return true;
}

int Run(const ImageOptions& o) {
  SourceRules rules;
  rules.interchange = o.layout == DORVIK_LAYOUT_INTERCHANGE;
  rules.merge = o.merge;
  rules.mp3Only = o.mp3Only;
  const SourceCheck check = CheckSources(o.sources, rules);
  if (!ReportSourceCheck("image", check, o.strict)) return kExitFailed;

  ListenToLibrary("image", check.reported);
  Vuz_SetImageLayout(o.layout);
  for (const Addition& a : check.additions) {
    if (gStopSignal) return 128 + gStopSignal;
    Vuz_AddFiles(a.source.c_str(), a.discFolder.c_str(), o.mp3Only ? 1 : 0);
  }
  if (gStopSignal) return 128 + gStopSignal;
  uint32_t sectors = 0;
  if (Vuz_ComposeImage(o.label.c_str(), o.playlist ? 1 : 0, o.start, &sectors) != DORVIK_OK) {
    std::fprintf(stderr, "dorvik image: the image could not be composed (is the temporary folder writable?)\n");
    return kExitFailed;
  }
  const int fd = ::open(o.output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    std::fprintf(stderr, "dorvik image: cannot write %s: %s\n", o.output.c_str(), std::strerror(errno));
    Vuz_ComposeEnd();
    return kExitFailed;
  }
  const bool written = WriteTrack(sectors, fd);
  int error = errno;
  const bool closed = ::close(fd) == 0;
  if (written && !closed) error = errno;
  Vuz_ComposeEnd();
  if (!written || !closed) {
    // Cut short: not an image. Only a file we were writing goes (an output
    // such as /dev/null stays).
    struct stat st {};
    if (::stat(o.output.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(o.output.c_str());
    if (gStopSignal) return 128 + gStopSignal;
    std::fprintf(stderr, "dorvik image: cannot write %s: %s\n", o.output.c_str(), std::strerror(error));
    return kExitFailed;
  }
  std::printf("%s: %u sectors (%llu bytes), start sector %u, %s layout\n", o.output.c_str(), sectors,
              static_cast<unsigned long long>(sectors) * kSectorSize, o.start,
              o.layout == DORVIK_LAYOUT_INTERCHANGE ? "interchange" : "classic");
  return kExitOk;
}

}  // namespace

int RunImage(const std::vector<std::string>& args) {
  Arguments a;
  if (!a.Parse(args, {{"--label", true}, {"--playlist", false}, {"--mp3-only", false}, {"--start", true},
                      {"--layout", true}, {"--merge", false}, {"--strict", false}}))
    return UsageError("image", a.Error(), kImageUsage);
  ImageOptions o;
  if (a.Positional().size() < 2) return UsageError("image", "an output file and at least one source are needed", kImageUsage);
  o.output = a.Positional()[0];
  o.sources.assign(a.Positional().begin() + 1, a.Positional().end());
  o.label = a.Value("--label").value_or("");
  o.playlist = a.Has("--playlist");
  o.mp3Only = a.Has("--mp3-only");
  o.merge = a.Has("--merge");
  o.strict = a.Has("--strict");
  if (const auto start = a.Value("--start")) {
    const auto lba = ParseNumber(*start, 0, 0x7FFFFFFF);
    if (!lba) return UsageError("image", "--start needs a sector number", kImageUsage);
    o.start = static_cast<uint32_t>(*lba);
  }
  const auto layout = ChooseLayout(a);
  if (!layout) return UsageError("image", "--layout needs classic or interchange", kImageUsage);
  o.layout = *layout;
  CatchStopSignals();
  // A stopped command returns (128 + the signal) rather than dying of it,
  // so the library is stopped as the program ends and its workspace goes.
  return Run(o);
}

}  // namespace dorvik::cli
