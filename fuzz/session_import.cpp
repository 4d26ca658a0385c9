// Hostile previous sessions: the import walk over a disc held in memory.
// Input: one byte of options (bit 0: whole-sector reads refused, bit 1: a
// Mode 2 track, bit 2: the end of the track unknown), then the disc from
// sector 16 on (the volume descriptors first); sectors 0 to 15 are zero.
//
// Besides not crashing, the walk must keep what it promises; a broken
// promise aborts, so the fuzzer reports it like a crash.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "collection/disc_path.h"
#include "collection/previous_session_descriptor.h"
#include "iso/memory_disc.h"
#include "iso/session_walk.h"

namespace {

using namespace dorvik;

constexpr size_t kSystemArea = 16 * iso::kUserDataSize;

[[noreturn]] void Broken(const char* promise, const std::string& detail) {
  std::fprintf(stderr, "session_import: %s: %s\n", promise, detail.c_str());
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t options = data[0];
  std::vector<uint8_t> disc(kSystemArea + size - 1, 0);
  std::copy(data + 1, data + size, disc.begin() + kSystemArea);
  disc.resize((disc.size() + iso::kUserDataSize - 1) / iso::kUserDataSize * iso::kUserDataSize, 0);

  iso::MemoryDisc reader(std::move(disc), {(options & 1) == 0, static_cast<uint8_t>(options & 2 ? 2 : 1)});
  const uint32_t sectors = reader.Sectors();
  const iso::SessionLocation where{0, (options & 4) ? 0 : sectors, options & 2 ? 2u : 1u};

  uint64_t folders = 0;
  const auto report = iso::WalkSession(reader, where, [&](const std::string& descriptor, const std::string& folder) {
    if (descriptor.size() > iso::kDescriptorLimit) Broken("descriptor fits a catalogue field", descriptor);
    const SessionDescriptor d = ParseSessionDescriptor(descriptor);
    if (!IsSafeEntryName(d.name)) Broken("names are safe", descriptor);
    const auto parts = SplitDiscPath(folder);
    if (!parts || folder.empty() || folder.front() != '\\' || folder.back() != '\\')
      Broken("folders are disc paths", folder);
    if (parts->size() > iso::kImportDepthLimit || folder.size() > iso::kImportPathLimit)
      Broken("depth and path are bounded", folder);
    if (d.kind == SessionEntryKind::Folder) {
      ++folders;
      return;
    }
    if (d.size < 0 || d.extent < 0) Broken("sizes and extents are not negative", descriptor);
    if (where.end && uint64_t(d.extent) + (uint64_t(d.size) + 2047) / 2048 > where.end)
      Broken("files lie inside the track", descriptor);
  });
  if (report.folders != folders) Broken("folders are counted", std::to_string(folders));
  // Each sector is walked as a directory at most once (twice when its
  // whole-sector read fails), plus a failed read per directory.
  if (reader.Reads() > 32 + 3 * uint64_t{sectors} + 2 * folders)
    Broken("reads are bounded by the disc", std::to_string(reader.Reads()));
  return 0;
}
