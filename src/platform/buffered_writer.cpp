#include "platform/buffered_writer.h"

namespace dorvik::platform {

BufferedWriter::~BufferedWriter() {
  try {
    Close();
  } catch (const FileError&) {
    // Destruction on an error path: the caller already reports the failure.
  }
}

void BufferedWriter::Create(const std::string& path) {
  file_.Open(path, LargeFile::Mode::Rewrite);
  buffer_.clear();
  buffer_.reserve(kWriterBufferSize);
}

void BufferedWriter::Write(const void* data, size_t length) {
  buffer_.append(static_cast<const char*>(data), length);
  if (buffer_.size() >= kWriterBufferSize) Flush();
}

void BufferedWriter::WriteZeros(size_t length) {
  buffer_.append(length, '\0');
  if (buffer_.size() >= kWriterBufferSize) Flush();
}

void BufferedWriter::Overwrite(uint64_t offset, const void* data, size_t length) {
  Flush();
  file_.Seek(static_cast<int64_t>(offset));
  file_.Write(data, length);
  file_.Seek(0, LargeFile::Origin::End);
}

void BufferedWriter::Flush() {
  if (buffer_.empty() || !file_.IsOpen()) return;
  file_.Write(buffer_.data(), buffer_.size());
  buffer_.clear();
}

void BufferedWriter::Close() {
  if (!file_.IsOpen()) return;
  Flush();
  file_.Close();
}

}  // namespace dorvik::platform
