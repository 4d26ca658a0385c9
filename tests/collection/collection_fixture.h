#pragma once
// A collection whose temporary directory is private to the test, with a
// source folder beside it to add files from.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "collection/catalogue.h"
#include "collection/file_collection.h"
#include "collection/layout_file.h"
#include "support/library_fixture.h"

namespace dorvik::test {

namespace fs = std::filesystem;

inline void WriteFile(const std::string& path, const std::string& content = "data") {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Points TMPDIR at a private folder for the object's life.
class PrivateTempDir {
 public:
  explicit PrivateTempDir(const std::string& path) {
    if (const char* old = std::getenv("TMPDIR")) old_ = old, hadOld_ = true;
    ::setenv("TMPDIR", path.c_str(), 1);
  }
  ~PrivateTempDir() {
    if (hadOld_) ::setenv("TMPDIR", old_.c_str(), 1);
    else ::unsetenv("TMPDIR");
  }

 private:
  std::string old_;
  bool hadOld_ = false;
};

class CollectionTest : public ::testing::Test {
 protected:
  CollectionTest() : tmp(root / "tmp"), src(root / "src"), env(MakeDir(tmp)) { MakeDir(src); }

  void SetUp() override { collection = std::make_unique<FileCollection>(); }
  void TearDown() override { collection.reset(); }

  static std::string MakeDir(const std::string& path) {
    fs::create_directories(path);
    return path;
  }

  std::string Workspace() const { return collection->GetWorkspacePath(); }

  // The records of a disc folder's catalogue ("" or "A/B" host-style).
  std::vector<CatalogueRecord> Records(const std::string& folder = "") const {
    std::string path = Workspace() + (folder.empty() ? "" : "/" + folder) + "/file.ls";
    return ReadCatalogue(path);
  }

  std::vector<std::string> Names(const std::string& folder = "") const {
    std::vector<std::string> names;
    for (const auto& r : Records(folder)) names.push_back(r.name);
    return names;
  }

  // Prepares a write and returns the layout file's entries.
  std::vector<LayoutEntry> Layout(bool playlist = false) {
    const std::string layout = root / "layout.bcd";
    collection->PrepareForWrite(layout, playlist, "LABEL");
    auto entries = ReadLayoutEntries(layout);
    EXPECT_TRUE(entries.has_value());
    return entries.value_or(std::vector<LayoutEntry>{});
  }

  std::vector<std::string> LayoutPaths(bool playlist = false) {
    std::vector<std::string> paths;
    for (const auto& e : Layout(playlist)) paths.push_back(e.discPath);
    return paths;
  }

  TempFolder root;
  std::string tmp, src;
  PrivateTempDir env;
  std::unique_ptr<FileCollection> collection;
};

}  // namespace dorvik::test
