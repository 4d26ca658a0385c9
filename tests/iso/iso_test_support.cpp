#include "iso_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "collection/catalogue.h"
#include "collection/layout_file.h"

namespace dorvik::test {

HandWorkspace::HandWorkspace() = default;

std::string HandWorkspace::Folder(const std::string& relative) {
  const std::string path = relative.empty() ? Root() : Root() + "/" + relative;
  std::filesystem::create_directories(path);
  return path;
}

void HandWorkspace::Record(const std::string& relative, const std::string& source, const std::string& name) {
  ASSERT_TRUE(AppendCatalogueRecord(Folder(relative) + "/file.ls", {source, name}));
}

std::string HandWorkspace::Source(const std::string& name, const std::string& content) {
  const std::string path = sources_ / name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

std::string HandWorkspace::Layout(const std::string& label) const {
  const std::string path = sources_.Path() + "/layout.bcd";
  std::vector<uint8_t> header = EncodeLayoutHeader(label);
  header.resize(header.size() + 4, 0);  // an empty entry list
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(header.data()), header.size());
  return path;
}

void Compose(ComposedImage& image, const HandWorkspace& workspace, uint32_t start, const std::string& label) {
  image.start = start;
  image.ok = image.composer.Compose(workspace.Layout(label), 1, 1, workspace.Root(), start);
  if (!image.ok) return;
  const uint32_t sectors = image.composer.PaddedSize();
  image.bytes.assign(uint64_t{sectors} * 2048, 0);
  for (uint32_t i = 0; i < sectors; ++i) image.composer.ReadNextSector(image.bytes.data() + uint64_t{i} * 2048, 2048);
}

uint32_t Le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24); }

uint32_t Both32(const uint8_t* p) {
  const uint32_t be = (uint32_t{p[4]} << 24) | (p[5] << 16) | (p[6] << 8) | p[7];
  EXPECT_EQ(Le32(p), be) << "both-endian halves differ";
  return Le32(p);
}

std::vector<ParsedRecord> ReadDirectory(const ComposedImage& image, uint32_t extent, uint32_t byteLength) {
  std::vector<ParsedRecord> out;
  const uint8_t* base = image.Sector(extent);
  uint32_t at = 0;
  while (at < byteLength) {
    const uint8_t length = base[at];
    if (length == 0) {  // padding to the end of the sector
      at = (at / 2048 + 1) * 2048;
      continue;
    }
    ParsedRecord r;
    r.offset = at;
    r.length = length;
    r.extent = Both32(base + at + 2);
    r.dataLength = Both32(base + at + 10);
    std::memcpy(r.date, base + at + 18, 7);
    r.flags = base[at + 25];
    r.identifier.assign(reinterpret_cast<const char*>(base + at + 33), base[at + 32]);
    EXPECT_LE(at % 2048 + length, 2048u) << "record crosses a sector boundary";
    out.push_back(r);
    at += length;
  }
  return out;
}

ParsedRecord Find(const std::vector<ParsedRecord>& records, const std::string& identifier) {
  for (const auto& r : records)
    if (r.identifier == identifier) return r;
  ADD_FAILURE() << "no record " << identifier;
  return {};
}

std::string Ucs2(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    out.push_back('\0');
    out.push_back(c);
  }
  return out;
}

FixedClock::FixedClock(const char* epoch) { ::setenv("SOURCE_DATE_EPOCH", epoch, 1); }
FixedClock::~FixedClock() { ::unsetenv("SOURCE_DATE_EPOCH"); }

}  // namespace dorvik::test
