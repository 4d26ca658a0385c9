#pragma once
// Appends to a new file through a fixed buffer, so thousands of small
// records cost a handful of writes.
#include <cstdint>
#include <string>

#include "platform/large_file.h"

namespace dorvik::platform {

class BufferedWriter {
 public:
  BufferedWriter() = default;
  ~BufferedWriter();
  BufferedWriter(const BufferedWriter&) = delete;
  BufferedWriter& operator=(const BufferedWriter&) = delete;

  // Starts the file empty: a file of ours (a reserved temporary name) is
  // truncated in place, a missing one created exclusively; links, other
  // people's files and anything but a regular file are refused
  // (LargeFile::Mode::Rewrite). Throws FileError.
  void Create(const std::string& path);
  void Write(const void* data, size_t length);
  void Write(const std::string& text) { Write(text.data(), text.size()); }
  void WriteZeros(size_t length);
  // Replaces bytes already written (flushed first), then goes on appending.
  void Overwrite(uint64_t offset, const void* data, size_t length);
  // Flushes and closes; throws when the last bytes cannot be written.
  void Close();

 private:
  void Flush();
  LargeFile file_;
  std::string buffer_;
};

inline constexpr size_t kWriterBufferSize = 64 * 1024;

}  // namespace dorvik::platform
