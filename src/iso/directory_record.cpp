#include "iso/directory_record.h"

#include <algorithm>

#include "iso/iso_fields.h"

namespace dorvik::iso {

std::string EncodeRecord(const DirectoryRecord& record) {
  const size_t idLength = std::min<size_t>(record.identifier.size(), 221);
  size_t length = 33 + idLength;
  if (length % 2) ++length;
  std::string out(length, '\0');
  auto* p = reinterpret_cast<uint8_t*>(out.data());
  p[0] = static_cast<uint8_t>(length);
  p[1] = 0;
  PutBoth32(p + 2, record.extent);
  PutBoth32(p + 10, record.dataLength);
  std::copy(record.date.begin(), record.date.end(), p + 18);
  p[25] = record.flags;
  p[26] = 0;
  p[27] = 0;
  PutBoth16(p + 28, 1);
  p[32] = static_cast<uint8_t>(idLength);
  std::copy(record.identifier.begin(), record.identifier.begin() + static_cast<std::ptrdiff_t>(idLength), p + 33);
  return out;
}

void AppendRecord(DirectoryBuffer& buffer, const std::string& encoded) {
  const size_t room = kSectorSize - static_cast<size_t>(buffer.Length() % kSectorSize);
  if (room < encoded.size()) buffer.AppendZeros(room);
  buffer.Append(reinterpret_cast<const uint8_t*>(encoded.data()), encoded.size());
}

void PatchExtentAndLength(uint8_t* record, uint32_t extent, uint32_t dataLength) {
  PutBoth32(record + 2, extent);
  PutBoth32(record + 10, dataLength);
}

}  // namespace dorvik::iso
