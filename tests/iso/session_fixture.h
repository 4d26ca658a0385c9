#pragma once
// Discs for the previous-session walk: sessions composed by the library
// from real files, and discs built record by record where a test needs one
// the library would never write.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "collection/file_collection.h"
#include "collection/previous_session_descriptor.h"
#include "iso/image_composer.h"
#include "iso/memory_disc.h"
#include "iso/session_walk.h"
#include "support/library_fixture.h"

namespace dorvik::test {

using Bytes = std::vector<uint8_t>;

inline void PutBoth32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = p[7 - i] = static_cast<uint8_t>(v >> (8 * i));
}

// The files and folders under root, as "path" (files) and "path/" (folders).
inline void WriteTree(const std::string& root, const std::vector<std::pair<std::string, std::string>>& files) {
  for (const auto& [path, content] : files) {
    const std::filesystem::path p = std::filesystem::path(root) / path;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
  }
}

// The track the library composes for the sources at start (every sector of
// the padded track), laid into a disc that is blank before it.
inline Bytes ComposeDisc(const std::vector<std::string>& sources, uint32_t start, const std::string& scratch) {
  FileCollection collection;
  for (const auto& s : sources) collection.AddFiles(s, "\\", false);
  const std::string layout = scratch + "/layout.bcd";
  collection.PrepareForWrite(layout, false, "SESSION");
  iso::ImageComposer composer;
  Bytes disc;
  if (!composer.Compose(layout, 1, 1, collection.GetWorkspacePath(), start)) return disc;
  disc.assign((uint64_t{start} + composer.PaddedSize()) * 2048, 0);
  for (uint32_t i = 0; i < composer.PaddedSize(); ++i)
    composer.ReadNextSector(disc.data() + (uint64_t{start} + i) * 2048, 2048);
  return disc;
}

// One entry as the walk handed it on: folders as "\A\B\", files as
// "\A\f.txt 12@345" (size and extent).
inline std::string Describe(const std::string& descriptor, const std::string& folder) {
  const SessionDescriptor d = ParseSessionDescriptor(descriptor);
  if (d.kind == SessionEntryKind::Folder) return folder + d.name + "\\";
  return folder + d.name + " " + std::to_string(d.size) + "@" + std::to_string(d.extent);
}

struct Walked {
  iso::SessionWalkReport report;
  std::vector<std::string> entries;  // Describe() of each, in order
  std::vector<std::pair<std::string, std::string>> raw;
  std::vector<std::string> leftOut;  // as the host is told of them
};

inline Walked Walk(iso::SectorReader& reader, iso::SessionLocation where) {
  Walked w;
  w.report = iso::WalkSession(
      reader, where,
      [&](const std::string& descriptor, const std::string& folder) {
        w.entries.push_back(Describe(descriptor, folder));
        w.raw.emplace_back(descriptor, folder);
      },
      [&](const std::string& path) { w.leftOut.push_back(path); });
  // Every entry counted as left out is told, once (an associated record,
  // part of another entry, is only counted).
  EXPECT_LE(w.leftOut.size(), w.report.skipped);
  return w;
}

// A disc written record by record. Sector numbers are absolute.
class HandDisc {
 public:
  struct Record {
    std::string identifier;
    uint32_t extent = 0;
    uint32_t length = 0;
    uint8_t flags = 0;
    uint8_t extendedAttributes = 0;
  };
  static Record Dir(std::string id, uint32_t extent, uint32_t length = 2048) { return {std::move(id), extent, length, 2}; }
  static Record File(std::string id, uint32_t extent, uint32_t length) { return {std::move(id), extent, length, 0}; }

  explicit HandDisc(uint32_t sectors = 64) : bytes_(uint64_t{sectors} * 2048, 0) {}

  uint8_t* Sector(uint32_t lba) {
    if ((uint64_t{lba} + 1) * 2048 > bytes_.size()) bytes_.resize((uint64_t{lba} + 1) * 2048, 0);
    return bytes_.data() + uint64_t{lba} * 2048;
  }
  // A volume descriptor: 1 primary, 2 Joliet (escape sequence "%/E"), 255 terminator.
  void Descriptor(uint32_t lba, uint8_t type, uint32_t rootExtent = 0, uint32_t rootLength = 2048) {
    uint8_t* s = Sector(lba);
    s[0] = type;
    std::memcpy(s + 1, "CD001", 5);
    s[6] = 1;
    if (type == 2) std::memcpy(s + 88, "%/E", 3);
    s[156] = 34;
    PutBoth32(s + 158, rootExtent);
    PutBoth32(s + 166, rootLength);
    s[181] = 2;
    s[188] = 1;
  }
  static std::string Encode(const Record& r) {
    const size_t n = r.identifier.size();
    std::string b(33 + n + ((33 + n) % 2), '\0');
    b[0] = static_cast<char>(b.size());
    b[1] = static_cast<char>(r.extendedAttributes);
    PutBoth32(reinterpret_cast<uint8_t*>(&b[2]), r.extent);
    PutBoth32(reinterpret_cast<uint8_t*>(&b[10]), r.length);
    const uint8_t date[7] = {106, 5, 17, 10, 20, 30, 0};
    std::memcpy(&b[18], date, 7);
    b[25] = static_cast<char>(r.flags);
    b[28] = b[31] = 1;
    b[32] = static_cast<char>(n);
    std::memcpy(&b[33], r.identifier.data(), n);
    return b;
  }
  // A directory at lba: "." and ".." and the records, none crossing a
  // sector. Returns its length in bytes (whole sectors).
  uint32_t Directory(uint32_t lba, const std::vector<Record>& records, uint32_t parent = 0) {
    std::vector<std::string> all = {Encode({std::string(1, '\0'), lba, 0, 2}),
                                    Encode({std::string(1, '\1'), parent ? parent : lba, 0, 2})};
    for (const auto& r : records) all.push_back(Encode(r));
    uint32_t sector = 0, at = 0;
    for (const auto& b : all) {
      if (at + b.size() > 2048) {
        ++sector;
        at = 0;
      }
      std::memcpy(Sector(lba + sector) + at, b.data(), b.size());
      at += static_cast<uint32_t>(b.size());
    }
    const uint32_t length = (sector + 1) * 2048;
    PutBoth32(Sector(lba) + 10, length);  // "." carries the directory's length
    return length;
  }
  // A primary-only session at 0: descriptors at 16, terminator at 17, root at 20.
  void PrimaryRoot(const std::vector<Record>& records) {
    const uint32_t length = Directory(20, records);
    Descriptor(16, 1, 20, length);
    Descriptor(17, 255);
  }
  iso::MemoryDisc Disc(iso::MemoryDisc::Options options = {}) const { return iso::MemoryDisc(bytes_, options); }
  Bytes& bytes() { return bytes_; }

 private:
  Bytes bytes_;
};

// A Joliet identifier: the ASCII text as big-endian UCS-2.
inline std::string Ucs2(const std::string& ascii) {
  std::string out;
  for (char c : ascii) out += std::string(1, '\0') + c;
  return out;
}

}  // namespace dorvik::test
