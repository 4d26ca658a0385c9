#include "platform/scratch_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/files.h"

namespace dorvik::platform {

ScratchFile::~ScratchFile() { Close(); }

bool ScratchFile::Open() {
  Close();
  const std::string folder = TempDirectory();
  if (folder.empty()) return false;
  // O_TMPFILE never gives the file a name; where the file system cannot do
  // that, the name mkstemp makes is taken away again at once.
  int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::string name = folder + "dorvik-scratch-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return false;
    ::unlink(name.c_str());
  }
  handle_ = fd;
  return true;
}

void ScratchFile::Close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

bool ScratchFile::IsOpen() const { return handle_ >= 0; }

bool ScratchFile::WriteAt(uint64_t offset, const void* bytes, size_t length) {
  const auto* at = static_cast<const char*>(bytes);
  while (length > 0 && handle_ >= 0) {
    const ssize_t n = ::pwrite(static_cast<int>(handle_), at, length, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += n;
    offset += static_cast<uint64_t>(n);
    length -= static_cast<size_t>(n);
  }
  return length == 0;
}

bool ScratchFile::ReadAt(uint64_t offset, void* bytes, size_t length) const {
  auto* at = static_cast<char*>(bytes);
  while (length > 0 && handle_ >= 0) {
    const ssize_t n = ::pread(static_cast<int>(handle_), at, length, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += n;
    offset += static_cast<uint64_t>(n);
    length -= static_cast<size_t>(n);
  }
  return length == 0;
}

}  // namespace dorvik::platform
