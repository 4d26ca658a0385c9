#pragma once
// A collection whose temporary directory (tmp) is private to the test, with
// a source folder (src) beside it to add files from.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "collection/catalogue.h"
#include "collection/file_collection.h"
#include "collection/layout_file.h"
#include "support/library_fixture.h"

namespace dorvik::test {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

inline void WriteFile(const std::string& path, const std::string& content = "data") {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Points TMPDIR at a folder for the object's life.
class PrivateTempDir {
 public:
  explicit PrivateTempDir(const std::string& path) {
    if (const char* old = std::getenv("TMPDIR")) old_ = old;
    ::setenv("TMPDIR", path.c_str(), 1);
  }
  ~PrivateTempDir() { old_ ? ::setenv("TMPDIR", old_->c_str(), 1) : ::unsetenv("TMPDIR"); }

 private:
  std::optional<std::string> old_;
};

class CollectionTest : public ::testing::Test {
 protected:
  CollectionTest() : tmp(root / "tmp"), src(root / "src"), env((fs::create_directories(tmp), tmp)) {}

  std::string Workspace() const { return collection->GetWorkspacePath(); }
  // The records of a disc folder's catalogue ("" or "A/B").
  std::vector<CatalogueRecord> Records(const std::string& folder = "") const {
    return ReadCatalogue(Workspace() + (folder.empty() ? "" : "/" + folder) + "/file.ls");
  }
  Strings Names(const std::string& folder = "") const {
    Strings names;
    for (const auto& r : Records(folder)) names.push_back(r.name);
    return names;
  }
  // Prepares a write and returns the layout file's entries, decoded from
  // the bytes after the 448-byte header and the list's 32-bit length.
  std::vector<LayoutEntry> Layout(bool playlist = false) {
    const std::string layout = root / "layout.bcd";
    collection->PrepareForWrite(layout, playlist, "LABEL");
    const std::string bytes = ReadBytes(layout);
    std::vector<LayoutEntry> entries;
    if (bytes.size() < kLayoutHeaderSize + 4) {
      ADD_FAILURE() << "no entry-list length in " << layout;
      return entries;
    }
    auto byte = [&](size_t at) { return size_t(uint8_t(bytes[at])); };
    size_t at = kLayoutHeaderSize;
    const size_t length = byte(at) | byte(at + 1) << 8 | byte(at + 2) << 16 | byte(at + 3) << 24;
    at += 4;
    EXPECT_EQ(bytes.size(), at + length) << "the list's length field disagrees with the file";
    auto text = [&](std::string& out) {
      if (at + 2 > bytes.size()) return void(at = bytes.size() + 1);
      const size_t n = byte(at) | byte(at + 1) << 8;
      out = bytes.substr(at + 2, n);
      at += 2 + n;
    };
    while (at < bytes.size()) {
      LayoutEntry e;
      e.kind = uint8_t(bytes[at++]);
      text(e.source);
      text(e.discPath);
      entries.push_back(std::move(e));
    }
    EXPECT_EQ(at, bytes.size()) << "an entry runs past the list";
    return entries;
  }
  Strings LayoutPaths(bool playlist = false) {
    Strings paths;
    for (const auto& e : Layout(playlist)) paths.push_back(e.discPath);
    return paths;
  }

  TempFolder root;
  std::string tmp, src;
  PrivateTempDir env;
  std::unique_ptr<FileCollection> collection = std::make_unique<FileCollection>();
};

}  // namespace dorvik::test
