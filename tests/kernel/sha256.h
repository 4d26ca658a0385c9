#pragma once
// SHA-256, so what the VM reads can be compared with the host's files by
// digest (the host uses sha256sum, an implementation of its own).
#include <cstddef>
#include <cstdint>
#include <string>

namespace dorvik::kernel {

class Sha256 {
 public:
  Sha256();
  void Update(const uint8_t* data, size_t size);
  std::string HexDigest();  // finishes the digest

 private:
  void Block(const uint8_t* block);
  uint32_t h_[8];
  uint8_t buffer_[64];
  size_t buffered_ = 0;
  uint64_t total_ = 0;
};

}  // namespace dorvik::kernel
