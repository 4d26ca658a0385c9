#include "platform/append_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace dorvik::platform {

bool AppendInOneWrite(const std::string& path, const void* bytes, size_t length) {
  // Never through a link planted under the name, and never waiting: a pipe
  // put there would block every writer until someone reads it.
  const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0666);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  ssize_t written;
  do {
    written = ::write(fd, bytes, length);
  } while (written < 0 && errno == EINTR);
  const bool whole = written == static_cast<ssize_t>(length);
  ::fsync(fd);
  ::close(fd);
  return whole;
}

}  // namespace dorvik::platform
