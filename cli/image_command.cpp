// dorvik image: the collection composed into an image file, sector by
// sector, exactly as a write job would stream it to a drive.
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "api/library.h"
#include "collection/temp_names.h"
#include "commands.h"
#include "dorvik.h"
#include "iso/image_composer.h"
#include "iso/iso_fields.h"
#include "platform/files.h"
#include "platform/large_file.h"
#include "progress_bar.h"

namespace dorvik::cli {

const char kImageUsage[] =
    "usage: dorvik image OUT.iso SOURCE... [--label L] [--playlist] [--mp3-only] [--start LBA]\n"
    "                    [--layout classic|interchange]\n"
    "\n"
    "Adds each SOURCE (file or folder) to the root of a new collection, composes\n"
    "its ISO 9660 image with Joliet names and writes every sector of the padded\n"
    "track to OUT.iso.\n"
    "\n"
    "  --label L    volume label (at most 13 bytes are used)\n"
    "  --playlist   add Playlist.M3U listing every file\n"
    "  --mp3-only   take only .mp3 files from the sources\n"
    "  --start LBA  lay the track out for this start sector (an appended\n"
    "               session); OUT.iso then holds the track alone, meant to\n"
    "               stand at byte LBA*2048 of a disc image\n"
    "  --layout L   classic: the layout this library has always written;\n"
    "               interchange: unique 8.3 names, ordered for every reader,\n"
    "               files of 4 GiB or more in several extents. Default: the\n"
    "               DORVIK_ISO_LAYOUT setting, else classic\n";

namespace {

constexpr uint32_t kTrackMultiple = 32;  // the track source's rounding
constexpr uint32_t kSectorsPerWrite = 32;

struct ImageOptions {
  std::string output;
  std::vector<std::string> sources;
  std::string label;
  bool playlist = false;
  bool mp3Only = false;
  uint32_t start = 0;
  iso::IsoLayout layout = iso::ConfiguredIsoLayout();
};

std::optional<uint32_t> ParseLba(const std::string& text) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
  errno = 0;
  const unsigned long long v = std::strtoull(text.c_str(), nullptr, 10);
  if (errno != 0 || v > 0x7FFFFFFFull) return std::nullopt;
  return static_cast<uint32_t>(v);
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "dorvik image: %s\n\n%s", message.c_str(), kImageUsage);
  return kExitUsage;
}

std::optional<ImageOptions> Parse(const std::vector<std::string>& args, int& error) {
  ImageOptions o;
  std::vector<std::string> positional;
  bool optionsEnded = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (optionsEnded || a.size() < 2 || a.compare(0, 2, "--") != 0) {
      positional.push_back(a);
      continue;
    }
    if (a == "--") {
      optionsEnded = true;
      continue;
    }
    const size_t eq = a.find('=');
    const std::string flag = a.substr(0, eq);
    auto value = [&]() -> std::optional<std::string> {
      if (eq != std::string::npos) return a.substr(eq + 1);
      if (i + 1 < args.size()) return args[++i];
      return std::nullopt;
    };
    if (flag == "--playlist" && eq == std::string::npos) {
      o.playlist = true;
    } else if (flag == "--mp3-only" && eq == std::string::npos) {
      o.mp3Only = true;
    } else if (flag == "--label") {
      auto v = value();
      if (!v) return error = UsageError("--label needs a value"), std::nullopt;
      o.label = *v;
    } else if (flag == "--start") {
      auto v = value();
      auto lba = v ? ParseLba(*v) : std::nullopt;
      if (!lba) return error = UsageError("--start needs a sector number"), std::nullopt;
      o.start = *lba;
    } else if (flag == "--layout") {
      auto v = value();
      auto layout = v ? iso::ParseIsoLayout(*v) : std::nullopt;
      if (!layout) return error = UsageError("--layout needs classic or interchange"), std::nullopt;
      o.layout = *layout;
    } else {
      return error = UsageError("unknown option " + a), std::nullopt;
    }
  }
  if (positional.size() < 2) return error = UsageError("an output file and at least one source are needed"), std::nullopt;
  o.output = positional[0];
  o.sources.assign(positional.begin() + 1, positional.end());
  return o;
}

// Set by SIGINT, SIGTERM or SIGHUP: the command stops at the next step and
// removes what it made (workspace, temporary files, the partial output)
// before it dies of the signal. SIGKILL leaves them behind.
volatile std::sig_atomic_t gStopSignal = 0;

extern "C" void StopOnSignal(int signal) { gStopSignal = signal; }

void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = &StopOnSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}

// Dies of the signal that stopped the command, as if it had not been caught.
void DieOfStopSignal() {
  if (gStopSignal == 0) return;
  std::signal(gStopSignal, SIG_DFL);
  std::raise(gStopSignal);
}

// The host message (wParam 600) comes for every file that leaves the disc
// or cannot be read. Files left out while composing are reported with their
// reason from the composer's notices; the messages only speak for the
// stream.
bool gStreaming = false;

void ReportUnreadable(void*, uint32_t, uint32_t, uint32_t wParam, const char* path) {
  if (wParam == DORVIK_NOTIFY_UNREADABLE_FILE && gStreaming)
    std::fprintf(stderr, "dorvik image: cannot read %s; its sectors are left zero\n", path);
}

const char* Why(LeftOutReason reason) {
  switch (reason) {
    case LeftOutReason::Unreadable: return "it cannot be read";
    case LeftOutReason::NotRegularFile: return "it is not a regular file";
    case LeftOutReason::TooLarge: return "it is too large for this layout (the classic one takes less than 4 GiB)";
    case LeftOutReason::NameNotJoliet: return "Joliet cannot hold its name (not UTF-8, or beyond UCS-2)";
  }
  return "";
}

void WarnAbout(const std::vector<iso::ComposeNotice>& notices) {
  for (const iso::ComposeNotice& n : notices) {
    if (n.kind == iso::ComposeNotice::Kind::FileLeftOut)
      std::fprintf(stderr, "dorvik image: warning: %s is left off the image: %s\n", n.source.c_str(), Why(n.reason));
    else
      std::fprintf(stderr, "dorvik image: warning: folder %s has no Joliet name; it and its contents are only in the ISO 9660 tree\n",
                   n.discPath.c_str());
  }
}

// Streams the whole track into the output file; false when a stop signal
// came first. Throws platform::FileError.
// Blocks of zeros are skipped and left as holes, so the image of a sparse
// source (or of the padding) takes no room it does not need.
bool WriteTrack(iso::ImageComposer& composer, uint32_t sectors, const std::string& output) {
  platform::LargeFile out(output, platform::LargeFile::Mode::Create);
  std::vector<uint8_t> block(size_t{kSectorsPerWrite} * iso::kSectorSize);
  const std::vector<uint8_t> zeros(block.size(), 0);
  ProgressBar progress(stdout, sectors);
  for (uint32_t done = 0; done < sectors;) {
    if (gStopSignal) return false;
    const uint32_t n = std::min(kSectorsPerWrite, sectors - done);
    const size_t bytes = size_t{n} * iso::kSectorSize;
    std::fill(block.begin(), block.end(), 0);
    composer.ReadNextSectors(block.data(), n);
    if (std::memcmp(block.data(), zeros.data(), bytes) == 0)
      out.Seek(static_cast<int64_t>(bytes), platform::LargeFile::Origin::Current);
    else
      out.Write(block.data(), bytes);
    done += n;
    progress.Update(done);
  }
  out.SetLength(uint64_t{sectors} * iso::kSectorSize);
  out.Close();
  progress.Finish();
  return true;
}

int Run(const ImageOptions& o) {
  for (const std::string& source : o.sources) {
    const platform::PathInfo info = platform::Stat(source);
    if (!platform::PathExists(source)) {
      std::fprintf(stderr, "dorvik image: %s: no such file or folder\n", source.c_str());
      return kExitFailed;
    }
    // A pipe, socket or device would have no end; the library refuses them.
    if (!info.isRegular && !info.isDirectory) {
      std::fprintf(stderr, "dorvik image: %s: not a regular file or folder\n", source.c_str());
      return kExitFailed;
    }
  }
  Vuz_SetMessageCallback(&ReportUnreadable, nullptr);
  Vuz_SetMessageHandle(1, 0x401);

  for (std::string source : o.sources) {
    if (gStopSignal) return kExitFailed;
    while (source.size() > 1 && source.back() == platform::kPathSeparator) source.pop_back();
    Vuz_AddFiles(source.c_str(), "\\", o.mp3Only ? 1 : 0);
  }
  FileCollection& collection = *Library::Get().collection;
  const std::string layout = ReserveTempFileName("bcd");
  if (layout.empty()) {
    std::fprintf(stderr, "dorvik image: no temporary folder\n");
    return kExitFailed;
  }
  // The playlist lists what this layout will carry, and nothing else.
  collection.PrepareForWrite(layout, o.playlist, o.label, iso::RulesOf(o.layout));

  int result = kExitOk;
  {
    iso::ImageComposer composer(&NotifyUnreadableFile, o.layout);
    if (gStopSignal) {
      result = kExitFailed;
    } else if (!composer.Compose(layout, 1, 1, collection.GetWorkspacePath(), o.start)) {
      std::fprintf(stderr, "dorvik image: the image could not be composed\n");
      result = kExitFailed;
    } else {
      WarnAbout(composer.Notices());
      const uint32_t padded = composer.PaddedSize();
      const uint32_t sectors = (padded + kTrackMultiple - 1) / kTrackMultiple * kTrackMultiple;
      gStreaming = true;
      try {
        if (!gStopSignal && WriteTrack(composer, sectors, o.output)) {
          std::printf("%s: %u sectors (%llu bytes), start sector %u\n", o.output.c_str(), sectors,
                      static_cast<unsigned long long>(sectors) * iso::kSectorSize, o.start);
        } else {
          // Cut short: not an image. Only a file we were writing goes
          // (an output such as /dev/null stays).
          if (platform::Stat(o.output).isRegular) platform::RemoveFile(o.output);
          result = kExitFailed;
        }
      } catch (const platform::FileError& e) {
        std::fprintf(stderr, "dorvik image: %s\n", e.what());
        result = kExitFailed;
      }
      gStreaming = false;
    }
  }
  platform::RemoveFile(layout);
  if (o.playlist) platform::RemoveFile(collection.GetPlaylistPath());
  return result;
}

}  // namespace

int RunImage(const std::vector<std::string>& args) {
  int error = kExitUsage;
  const std::optional<ImageOptions> options = Parse(args, error);
  if (!options) return error;
  CatchStopSignals();
  const int result = Run(*options);
  Vuz_SetMessageCallback(nullptr, nullptr);
  Library::Stop();  // deletes the workspace
  DieOfStopSignal();
  return result;
}

}  // namespace dorvik::cli
