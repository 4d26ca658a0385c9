#include "collection/temp_names.h"

#include <atomic>

#include "platform/files.h"
#include "platform/large_file.h"

namespace dorvik {
namespace {

std::atomic<uint32_t> workspaceCounter{1000};
std::atomic<uint32_t> tmpCounter{1000};
std::atomic<uint32_t> extensionCounter{1000};

// More attempts than there are numbers: past that the directory is full of
// our names or unwritable, and giving up beats spinning for ever.
constexpr int kMaxAttempts = 2 * 32768;

uint32_t NextNumber(std::atomic<uint32_t>& counter) { return RuntimeRandom(counter.fetch_add(1)); }

}  // namespace

uint32_t RuntimeRandom(uint32_t seed) {
  seed = seed * 214013u + 2531011u;
  return (seed >> 16) & 0x7FFF;
}

std::string CreateWorkspaceFolder() {
  const std::string temp = platform::TempDirectory();
  if (temp.empty()) return {};
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    std::string path = temp + "Folder" + std::to_string(NextNumber(workspaceCounter));
    int error = 0;
    if (platform::CreateFolder(path, &error)) return path;
    // Only a name already taken is worth another try; any other failure
    // (a read-only or vanished directory) would fail for every name. The
    // error says which: the taken name may already be gone again (another
    // process finished with it), so looking for it afterwards would not.
    if (!platform::IsNameTakenError(error)) return {};
  }
  return {};
}

std::string ReserveTempFileName(const std::string& extension) {
  const std::string temp = platform::TempDirectory();
  if (temp.empty()) return {};
  auto& counter = extension.empty() ? tmpCounter : extensionCounter;
  const std::string suffix = extension.empty() ? ".tmp" : "." + extension;
  for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
    std::string path = temp + "Temp" + std::to_string(NextNumber(counter)) + suffix;
    try {
      platform::LargeFile(path, platform::LargeFile::Mode::CreateNew);
      return path;
    } catch (const platform::FileError& e) {
      // As for workspaces: only a name already in use is worth another try.
      if (!platform::IsNameTakenError(e.Code())) return {};
    }
  }
  return {};
}

}  // namespace dorvik
