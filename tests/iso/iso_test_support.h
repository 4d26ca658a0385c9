#pragma once
// Workspaces built by hand (folders and catalogue records, as the collection
// leaves them), a composer run over them, and a small reader for the bytes
// that come out.
#include <cstdint>
#include <string>
#include <vector>

#include "iso/image_composer.h"
#include "support/library_fixture.h"

namespace dorvik::test {

using Bytes = std::vector<uint8_t>;

class HandWorkspace {
 public:
  HandWorkspace();
  const std::string& Root() const { return root_.Path(); }
  // Creates the folder (and its parents) under the root; "" is the root.
  std::string Folder(const std::string& relative);
  // Appends a catalogue record to that folder's file.ls.
  void Record(const std::string& relative, const std::string& source, const std::string& name);
  // A source file with this content in a folder of its own.
  std::string Source(const std::string& name, const std::string& content);
  std::string Layout(const std::string& label = "") const;

 private:
  TempFolder root_;
  TempFolder sources_;
};

// Composes and reads every sector of the padded track.
struct ComposedImage {
  iso::ImageComposer composer;
  bool ok = false;
  Bytes bytes;  // the track, from its first sector
  uint32_t start = 0;
  const uint8_t* Sector(uint32_t absolute) const { return bytes.data() + (absolute - start) * 2048ull; }
};
void Compose(ComposedImage& image, const HandWorkspace& workspace, uint32_t start = 0, const std::string& label = "");

struct ParsedRecord {
  uint32_t offset = 0;  // within the directory extent
  uint8_t length = 0;
  uint32_t extent = 0;
  uint32_t dataLength = 0;
  uint8_t date[7] = {};
  uint8_t flags = 0;
  std::string identifier;
};
// Every record of a directory of byteLength bytes at an absolute sector.
std::vector<ParsedRecord> ReadDirectory(const ComposedImage& image, uint32_t extent, uint32_t byteLength);
// The record with this identifier; fails the test when there is none.
ParsedRecord Find(const std::vector<ParsedRecord>& records, const std::string& identifier);
std::string Ucs2(const std::string& ascii);

uint32_t Le32(const uint8_t* p);
uint32_t Both32(const uint8_t* p);  // checks both halves agree

// Sets SOURCE_DATE_EPOCH for the scope of a test.
class FixedClock {
 public:
  explicit FixedClock(const char* epoch);
  ~FixedClock();
};

}  // namespace dorvik::test
