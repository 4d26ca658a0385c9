// Reading the feature list of a GET CONFIGURATION answer.
#include "drive/drive.h"

namespace dorvik {

bool HasFeature(const uint8_t* buffer, uint32_t length, uint16_t code) {
  if (length < 8) return false;
  const int32_t dataLength = static_cast<int32_t>(Be32(buffer));
  if (dataLength <= 0) return false;
  size_t pos = 8;
  // Descriptor lengths come from the drive: each step is checked against
  // both the data length it claims and the buffer we actually have.
  while (true) {
    if (pos + 4 > length) return false;
    if (Be16(buffer + pos) == code) return true;
    pos += 4 + static_cast<size_t>(buffer[pos + 3]);
    if (pos - 8 >= static_cast<size_t>(dataLength)) return false;
  }
}

}  // namespace dorvik
