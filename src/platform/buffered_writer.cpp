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
  file_.Open(path, LargeFile::Mode::Create);
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

}  // namespace dorvik::iso
