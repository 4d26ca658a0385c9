#include "support/temp_folder.h"

#include <windows.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>

#include "platform/files.h"

namespace dorvik::test {

TempFolder::TempFolder() {
  static std::atomic<unsigned> counter{0};
  const std::string base = platform::TempDirectory();
  for (int attempt = 0; attempt < 1000; ++attempt) {
    std::string candidate = base + "dorvik-test-" + std::to_string(::GetCurrentProcessId()) + "-" +
                            std::to_string(counter++);
    if (::CreateDirectoryA(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
}

TempFolder::~TempFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

}  // namespace dorvik::test
