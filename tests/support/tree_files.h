#pragma once
// Files and trees on the host as the command-line tests make and compare
// them: a tree is every file (relative path -> content) and every folder
// ("path/" -> "").
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace dorvik::test::tree_files {

namespace fs = std::filesystem;
using Tree = std::map<std::string, std::string>;

// Single-quoted for the shell, any quote inside kept.
inline std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

inline std::string ReadFile(const fs::path& path) {
  std::ostringstream out;
  out << std::ifstream(path, std::ios::binary).rdbuf();
  return out.str();
}

inline void WriteFile(const fs::path& path, const std::string& content) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

inline Tree Snapshot(const fs::path& root) {
  Tree tree;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = fs::relative(e.path(), root).string();
    tree[e.is_directory() ? rel + "/" : rel] = e.is_directory() ? "" : ReadFile(e.path());
  }
  return tree;
}

}  // namespace dorvik::test::tree_files
