// Hostile disc image files opened and read as a disc. The input is laid out
// as a sparse file: a header picks the sector size the payload is written
// for, the file length and what is read; the payload is split over the
// sectors where the format detection looks (16, 256 and 512).
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "drive/drive.h"

namespace {

constexpr size_t kHeader = 12;
constexpr uint32_t kSizes[] = {2048, 2352, 2448, 2048};

const std::string& ScratchPath() {
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    std::string p = std::string(dir && *dir ? dir : "/tmp") + "/dorvik-fuzz-image-" + std::to_string(getpid()) + ".iso";
    setenv("DORVIK_TIME_SCALE", "0", 1);
    return p;
  }();
  return path;
}

void WriteImage(const uint8_t* data, size_t size) {
  const uint32_t sector = kSizes[data[0] & 3];
  const uint64_t length = (data[1] | data[2] << 8 | static_cast<uint64_t>(data[3]) << 16) * 16;  // up to 256 MiB, sparse
  const int fd = open(ScratchPath().c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) std::abort();
  const uint8_t* payload = data + kHeader;
  const size_t payloadSize = size - kHeader;
  const size_t third = (payloadSize + 2) / 3;
  const uint64_t at[3] = {uint64_t{sector} * 16, uint64_t{sector} * 256, uint64_t{sector} * 512};
  for (size_t i = 0; i < 3 && i * third < payloadSize; ++i) {
    const size_t n = std::min(third, payloadSize - i * third);
    if (pwrite(fd, payload + i * third, n, static_cast<off_t>(at[i] + (data[0] >> 2) % 32)) < 0) std::abort();
  }
  if (length > 0 && ftruncate(fd, static_cast<off_t>(length)) != 0) std::abort();
  close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace dorvik;
  if (size < kHeader) return 0;
  WriteImage(data, size);
  const uint32_t lba = data[4] | data[5] << 8 | static_cast<uint32_t>(data[6]) << 16;
  const uint32_t blocks = data[7] % 40;
  const uint32_t length = (data[8] | data[9] << 8) % 0x20000;  // up to 128 KiB
  const uint8_t tocLength = data[10];
  const uint8_t flags = data[11];

  Recorder drive(0, nullptr);  // no transport: image mode only
  drive.OpenImage(ScratchPath());
  uint8_t record[kTrackInformationLength];
  for (uint8_t type = 0; type < 3; ++type) drive.ReadTrackInformation(record, type, lba);
  uint8_t info[kDiscInformationLength];
  drive.ReadDiscInformation(info);
  for (uint8_t format = 0; format < 4; ++format) {
    std::vector<uint8_t> toc(tocLength, 0);
    drive.ReadToc(toc.data(), tocLength, format, 0);
  }
  // Buffers of exactly the length asked for: the device must stay inside.
  std::vector<uint8_t> buffer(length, 0);
  uint8_t* p = buffer.empty() ? nullptr : buffer.data();
  drive.ReadCd(p, length, blocks, 0, 0, lba, 0, flags & 1, 1, (flags >> 1) & 3, (flags >> 3) & 1, 0);
  drive.ReadRawSectors(p, length, blocks, lba);
  drive.ReadUserSectors(p, length, blocks, lba);
  drive.Read10(p, length, blocks, lba);
  drive.TrackInfoFromToc(record, flags >> 6, lba);
  uint32_t free = 0;
  drive.FreeBlocks(&free);
  drive.IsBlank();
  drive.FileSystemKind(0);
  return 0;
}
