#pragma once
// A file without a name in the system's temporary folder, for data this
// process needs again later but should not keep in memory. Nobody else can
// open it, and it goes away when it is closed or the process ends, however
// the process ends: nothing is left behind in the temporary folder.
#include <cstddef>
#include <cstdint>

namespace dorvik::platform {

class ScratchFile {
 public:
  ScratchFile() = default;
  ~ScratchFile();
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  // Makes a new, empty file (closing one held before); false when the
  // temporary folder cannot take one.
  bool Open();
  void Close();
  bool IsOpen() const;

  // Whole transfers only: false when not every byte could be moved.
  bool WriteAt(uint64_t offset, const void* bytes, size_t length);
  bool ReadAt(uint64_t offset, void* bytes, size_t length) const;

 private:
  intptr_t handle_ = -1;
};

}  // namespace dorvik::platform
