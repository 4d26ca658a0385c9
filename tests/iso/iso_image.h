#pragma once
// A small ISO 9660 reader for tests of composed images: volume descriptors,
// directories and path tables, read straight from the bytes the stream
// hands out, so the tests see what a disc reader would.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "collection/catalogue.h"
#include "collection/layout_file.h"
#include "iso/image_composer.h"
#include "support/library_fixture.h"

namespace dorvik::test {

inline uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24; }
inline uint32_t Be32(const uint8_t* p) { return uint32_t{p[0]} << 24 | p[1] << 16 | p[2] << 8 | p[3]; }
inline uint32_t Both32(const uint8_t* p) {
  EXPECT_EQ(Le32(p), Be32(p + 4)) << "both-endian halves differ";
  return Le32(p);
}

// A workspace built by hand: folders, catalogue records, source files.
struct Workspace {
  TempFolder root, sources;
  std::string Folder(const std::string& relative) {
    const std::string path = relative.empty() ? root.Path() : root / relative;
    std::filesystem::create_directories(path);
    return path;
  }
  void Record(const std::string& folder, const std::string& source, const std::string& name) {
    ASSERT_TRUE(AppendCatalogueRecord(Folder(folder) + "/file.ls", {source, name}));
  }
  std::string Source(const std::string& name, const std::string& content) {
    std::ofstream(sources / name, std::ios::binary) << content;
    return sources / name;
  }
  std::string Layout(const std::string& label = "") const {
    std::vector<uint8_t> header = EncodeLayoutHeader(label);
    header.resize(header.size() + 4, 0);
    std::ofstream(sources / "layout.bcd", std::ios::binary)
        .write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
    return sources / "layout.bcd";
  }
};

struct Record {
  uint32_t extent = 0, length = 0;
  uint8_t flags = 0;
  std::array<uint8_t, 7> date{};
  std::string id;
};

struct PathEntry {
  std::string id;
  uint32_t extent = 0, parent = 0;
};

// The first `sectors` sectors of a composed track (all of it when 0), read
// many at a time as a writer would.
struct Image {
  Image(const Workspace& workspace, iso::IsoLayout layout, uint32_t start = 0, uint32_t sectors = 0,
        const std::string& label = "")
      : composer([this](const char* path) { reported.push_back(path); }, layout), start(start) {
    ok = composer.Compose(workspace.Layout(label), 1, 1, workspace.root.Path(), start);
    if (!ok) return;
    bytes.assign(uint64_t{sectors ? sectors : composer.PaddedSize()} * 2048, 0);
    composer.ReadNextSectors(bytes.data(), static_cast<uint32_t>(bytes.size() / 2048));
  }
  const uint8_t* Sector(uint32_t absolute) const {
    EXPECT_LT(uint64_t{absolute - start} * 2048, bytes.size());
    return bytes.data() + uint64_t{absolute - start} * 2048;
  }
  const uint8_t* Descriptor(bool joliet) const { return Sector(start + (joliet ? 17 : 16)); }

  // Every record of the directory at extent, "." and ".." included.
  std::vector<Record> Directory(uint32_t extent) const {
    std::vector<Record> out;
    const uint8_t* base = Sector(extent);
    const uint32_t length = Both32(base + 10);
    for (uint32_t at = 0; at < length;) {
      const uint8_t* r = base + at;
      if (r[0] == 0) {
        at = (at / 2048 + 1) * 2048;
        continue;
      }
      EXPECT_LE(at % 2048 + r[0], 2048u) << "record crosses a sector";
      Record record{Both32(r + 2), Both32(r + 10), r[25], {}, std::string(reinterpret_cast<const char*>(r + 33), r[32])};
      std::copy(r + 18, r + 25, record.date.begin());
      out.push_back(record);
      at += r[0];
    }
    return out;
  }
  std::vector<Record> Root(bool joliet) const { return Directory(Both32(Descriptor(joliet) + 158)); }

  // A descriptor's path table, read to the byte count the descriptor gives.
  std::vector<PathEntry> PathTable(bool joliet, bool bigEndian) const {
    const uint8_t* d = Descriptor(joliet);
    const uint8_t* p = Sector(bigEndian ? Be32(d + 148) : Le32(d + 140));
    const uint32_t size = Both32(d + 132);
    std::vector<PathEntry> out;
    uint32_t at = 0;
    while (at < size) {
      const uint8_t* e = p + at;
      out.push_back({std::string(reinterpret_cast<const char*>(e + 8), e[0]), bigEndian ? Be32(e + 2) : Le32(e + 2),
                     bigEndian ? uint32_t(e[6] << 8 | e[7]) : uint32_t(e[6] | e[7] << 8)});
      at += 8 + e[0] + e[0] % 2;
    }
    EXPECT_EQ(size, at) << "the size field is the tables' exact length";
    return out;
  }

  std::vector<std::string> reported;  // by the composer's notifier
  iso::ImageComposer composer;
  uint32_t start;
  bool ok = false;
  std::vector<uint8_t> bytes;
};

inline const Record* Find(const std::vector<Record>& records, const std::string& id) {
  for (const Record& r : records)
    if (r.id == id) return &r;
  ADD_FAILURE() << "no record " << id;
  return nullptr;
}

inline std::string Utf16(const std::u16string& text) {
  std::string out;
  for (char16_t c : text) out += {static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
  return out;
}

}  // namespace dorvik::test
