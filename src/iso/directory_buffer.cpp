#include "iso/directory_buffer.h"

#include <algorithm>
#include <cerrno>
#include <vector>

#include "collection/temp_names.h"
#include "iso/iso_fields.h"
#include "platform/files.h"

namespace dorvik::iso {

DirectoryBuffer::~DirectoryBuffer() {
  spill_.Close();
  if (!spillPath_.empty()) platform::RemoveFile(spillPath_);
}

void DirectoryBuffer::Append(const uint8_t* data, size_t length) {
  memory_.append(reinterpret_cast<const char*>(data), length);
  if (memory_.size() >= kDirectoryMemoryLimit) Spill();
}

void DirectoryBuffer::AppendZeros(size_t length) {
  memory_.append(length, '\0');
  if (memory_.size() >= kDirectoryMemoryLimit) Spill();
}

void DirectoryBuffer::Spill() {
  if (!spill_.IsOpen()) {
    // A reserved temporary file, ours alone.
    std::string path = ReserveTempFileName();
    if (path.empty()) throw platform::FileError(ENOENT, path, "no temporary name for");
    spillPath_ = path;
    spill_.Open(path, platform::LargeFile::Mode::Rewrite);
  }
  spill_.Seek(0, platform::LargeFile::Origin::End);
  spill_.Write(memory_.data(), memory_.size());
  spilled_ += memory_.size();
  memory_.clear();
}

void DirectoryBuffer::Patch(uint64_t offset, const uint8_t* data, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    const uint64_t at = offset + i;
    if (at >= spilled_) {
      if (at - spilled_ < memory_.size()) memory_[at - spilled_] = static_cast<char>(data[i]);
    }
  }
  if (offset < spilled_) {
    const size_t inFile = static_cast<size_t>(std::min<uint64_t>(length, spilled_ - offset));
    spill_.Seek(static_cast<int64_t>(offset));
    spill_.Write(data, inFile);
  }
}

void DirectoryBuffer::CopyTo(BufferedWriter& out) {
  if (spilled_ > 0) {
    std::vector<char> piece(20480);
    spill_.Seek(0);
    uint64_t left = spilled_;
    while (left > 0) {
      const size_t n = spill_.Read(piece.data(), static_cast<size_t>(std::min<uint64_t>(left, piece.size())));
      if (n == 0) {  // shrank under us: keep the extent's length
        out.WriteZeros(static_cast<size_t>(left));
        break;
      }
      out.Write(piece.data(), n);
      left -= n;
    }
  }
  const uint64_t padded = static_cast<uint64_t>(SectorsFor(Length())) * kSectorSize;
  const size_t padding = static_cast<size_t>(padded - Length());
  out.Write(memory_.data(), memory_.size());
  out.WriteZeros(padding);
}

}  // namespace dorvik::iso
