// dorvik image: the collection composed into an image file, sector by
// sector, exactly as a write job would stream it to a drive.
#include <algorithm>
#include <cerrno>
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

void ReportUnreadable(void*, uint32_t, uint32_t, uint32_t wParam, const char* path) {
  if (wParam == DORVIK_NOTIFY_UNREADABLE_FILE)
    std::fprintf(stderr, "dorvik image: cannot read %s; its sectors are left zero\n", path);
}

// Streams the whole track into the output file; throws platform::FileError.
// Blocks of zeros are skipped and left as holes, so the image of a sparse
// source (or of the padding) takes no room it does not need.
void WriteTrack(iso::ImageComposer& composer, uint32_t sectors, const std::string& output) {
  platform::LargeFile out(output, platform::LargeFile::Mode::Create);
  std::vector<uint8_t> block(size_t{kSectorsPerWrite} * iso::kSectorSize);
  const std::vector<uint8_t> zeros(block.size(), 0);
  ProgressBar progress(stdout, sectors);
  for (uint32_t done = 0; done < sectors;) {
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
}

int Run(const ImageOptions& o) {
  for (const std::string& source : o.sources) {
    if (!platform::PathExists(source)) {
      std::fprintf(stderr, "dorvik image: %s: no such file or folder\n", source.c_str());
      return kExitFailed;
    }
  }
  Vuz_SetMessageCallback(&ReportUnreadable, nullptr);
  Vuz_SetMessageHandle(1, 0x401);

  for (std::string source : o.sources) {
    while (source.size() > 1 && source.back() == platform::kPathSeparator) source.pop_back();
    Vuz_AddFiles(source.c_str(), "\\", o.mp3Only ? 1 : 0);
  }
  FileCollection& collection = *Library::Get().collection;
  const std::string layout = ReserveTempFileName("bcd");
  if (layout.empty()) {
    std::fprintf(stderr, "dorvik image: no temporary folder\n");
    return kExitFailed;
  }
  collection.PrepareForWrite(layout, o.playlist, o.label);

  int result = kExitOk;
  {
    iso::ImageComposer composer(&NotifyUnreadableFile, o.layout);
    if (!composer.Compose(layout, 1, 1, collection.GetWorkspacePath(), o.start)) {
      std::fprintf(stderr, "dorvik image: the image could not be composed\n");
      result = kExitFailed;
    } else {
      const uint32_t padded = composer.PaddedSize();
      const uint32_t sectors = (padded + kTrackMultiple - 1) / kTrackMultiple * kTrackMultiple;
      try {
        WriteTrack(composer, sectors, o.output);
        std::printf("%s: %u sectors (%llu bytes), start sector %u\n", o.output.c_str(), sectors,
                    static_cast<unsigned long long>(sectors) * iso::kSectorSize, o.start);
      } catch (const platform::FileError& e) {
        std::fprintf(stderr, "dorvik image: %s\n", e.what());
        result = kExitFailed;
      }
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
  const int result = Run(*options);
  Library::Stop();  // deletes the workspace
  return result;
}

}  // namespace dorvik::cli
