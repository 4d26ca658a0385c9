#pragma once
// The growing extent of one directory while its entries are written. Small
// directories stay in memory; a large one moves to a temporary file once it
// passes a few sectors, so memory stays bounded however many files a
// directory holds.
#include <cstdint>
#include <string>

#include "platform/buffered_writer.h"
#include "platform/large_file.h"

namespace dorvik::iso {

using platform::BufferedWriter;

class DirectoryBuffer {
 public:
  DirectoryBuffer() = default;
  ~DirectoryBuffer();
  DirectoryBuffer(const DirectoryBuffer&) = delete;
  DirectoryBuffer& operator=(const DirectoryBuffer&) = delete;

  uint64_t Length() const { return spilled_ + memory_.size(); }
  // Throws platform::FileError when a spill file cannot be written.
  void Append(const uint8_t* data, size_t length);
  void AppendZeros(size_t length);
  // Overwrites bytes already appended.
  void Patch(uint64_t offset, const uint8_t* data, size_t length);
  // Appends the whole extent to out, zero-padded to whole sectors.
  void CopyTo(BufferedWriter& out);

 private:
  void Spill();

  std::string memory_;
  uint64_t spilled_ = 0;
  std::string spillPath_;
  platform::LargeFile spill_;
};

// Size at which a directory moves from memory to its temporary file.
inline constexpr size_t kDirectoryMemoryLimit = 16 * 1024;

}  // namespace dorvik::iso
