#pragma once
// What the directory walk of ImageComposer::Compose keeps open: the two
// directory files, the directory list and the data list, and both cursors.
#include <cstdint>
#include <ctime>
#include <string>

#include "platform/buffered_writer.h"
#include "iso/image_composer.h"
#include "platform/clock.h"

namespace dorvik::iso {

struct ImageComposer::Walk {
  BufferedWriter primaryDirectories;
  BufferedWriter jolietDirectories;
  BufferedWriter directoryList;
  BufferedWriter dataList;
  uint32_t primaryCursor = 0;
  uint32_t jolietCursor = 0;
  // One clock reading for every record of the image, so a walk that crosses
  // a second boundary still dates its directories alike.
  platform::LocalTime now;
  // Sectors given to the last file that WriteRecord wrote.
  uint32_t lastFileSectors = 0;
  // Why WriteRecord last left a file out.
  LeftOutReason leftOut = LeftOutReason::Unreadable;
};

// The volume label: up to 13 bytes at offset 5 of the layout file, ending
// at the first NUL; empty when the file cannot be read.
std::string ReadVolumeLabel(const std::string& layoutPath);

// A directory's path as its line of the directory list. The list is read
// line by line, and a folder name may hold a line break on this platform,
// which would shift every later entry; line breaks and the escape character
// itself are written as %0A and %25.
inline std::string DirectoryListLine(const std::string& imagePath) {
  std::string out;
  out.reserve(imagePath.size());
  for (char c : imagePath) {
    if (c == '\n') out += "%0A";
    else if (c == '%') out += "%25";
    else out += c;
  }
  return out;
}

}  // namespace dorvik::iso
