#include "iso/temporary_files.h"

#include "collection/temp_names.h"
#include "platform/large_file.h"

namespace dorvik::iso {

namespace {
constexpr int kAttempts = 256;
}

std::string ReserveTemporaryFile(const std::string& extension) {
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    std::string path = MakeTempFileName(extension);
    if (path.empty()) return {};
    try {
      platform::LargeFile reserved(path, platform::LargeFile::Mode::CreateNew);
      return path;
    } catch (const platform::FileError&) {
      // taken in the meantime: the next name
    }
  }
  return {};
}

}  // namespace dorvik::iso
