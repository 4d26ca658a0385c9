#include "sources.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <utility>

namespace dorvik::cli {
namespace {

// What a catalogue record's source field holds, less its NUL.
constexpr size_t kRecordFieldLimit = 259;
constexpr uint64_t kClassicFileLimit = (uint64_t{1} << 32) - 1;

bool IsMp3(const std::string& path) {
  if (path.size() <= 4) return false;
  std::string tail = path.substr(path.size() - 4);
  for (char& c : tail) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return tail == ".MP3";
}

// Whether Joliet can hold the name as UCS-2: well-formed UTF-8 of
// characters up to U+FFFF.
bool FitsUcs2(const std::string& name) {
  for (size_t i = 0; i < name.size();) {
    const auto c = static_cast<unsigned char>(name[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : 0;
    if (n == 0 || i + n > name.size()) return false;
    for (size_t k = 1; k < n; ++k)
      if ((static_cast<unsigned char>(name[i + k]) & 0xC0) != 0x80) return false;
    if (n == 2 && c < 0xC2) return false;
    if (n == 3) {
      const auto c1 = static_cast<unsigned char>(name[i + 1]);
      if ((c == 0xE0 && c1 < 0xA0) || (c == 0xED && c1 >= 0xA0)) return false;
    }
    i += n;
  }
  return true;
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder == ".") return name;
  // "DIR/." stands for DIR: its entries are named DIR/NAME, as the user would.
  if (folder.size() > 2 && folder.compare(folder.size() - 2, 2, "/.") == 0) return Join(folder.substr(0, folder.size() - 2), name);
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::string LastComponent(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<std::string> SortedNames(DIR* d) {
  std::vector<std::string> names;
  while (dirent* e = ::readdir(d)) {
    const std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  std::sort(names.begin(), names.end());
  return names;
}

struct Node {
  bool folder = false;
  std::string source;
};

class Checker {
 public:
  Checker(const SourceRules& rules, SourceCheck& out) : rules_(rules), out_(out) {}

  // Puts source at discFolder (a relative disc path, "" or "A/B/") under name.
  void Place(const std::string& source, const std::string& discFolder, const std::string& name, bool topLevel) {
    const auto kind = Inspect(source, name, topLevel);
    if (kind == Kind::None) return;
    const bool folder = kind == Kind::Folder;
    const std::string discPath = discFolder + name;
    const auto it = nodes_.find(discPath);
    if (it == nodes_.end()) {
      nodes_[discPath] = {folder, source};
      out_.additions.push_back({source, DiscFolder(discFolder)});
      if (folder) Walk(source, discPath + "/");
      else Count(source);
      return;
    }
    const Node& other = it->second;
    const std::string both = "'" + other.source + "' and '" + source + "' would both be /" + discPath + " on the disc";
    if (folder && other.folder && rules_.merge) {
      // The collection would replace the first folder with the second, so
      // the second's entries are placed one by one into the first.
      Contents(source, [&](const std::string& child, const std::string& childName) {
        Place(child, discPath + "/", childName, false);
      });
      return;
    }
    if (folder && other.folder)
      out_.errors.push_back(both + "; rename one, or pass --merge to merge the two folders");
    else if (!folder && !other.folder)
      out_.errors.push_back(both + ": a folder of the disc cannot hold two files of one name; rename one");
    else
      out_.errors.push_back(both + ", one a file and the other a folder; rename one");
  }

  // Each entry of a folder, in the collection's order.
  template <typename Each>
  bool Contents(const std::string& folder, Each each) {
    DIR* d = ::opendir(folder.c_str());
    if (!d) {
      Warn(folder, std::string("cannot be read (") + std::strerror(errno) + "): it will be on the disc empty");
      return false;
    }
    for (const std::string& name : SortedNames(d)) each(Join(folder, name), name);
    ::closedir(d);
    return true;
  }

 private:
  enum class Kind { None, File, Folder };

  static std::string DiscFolder(const std::string& relative) {
    std::string folder = "\\";
    for (char c : relative) folder += c == '/' ? '\\' : c;
    return folder;
  }

  void Warn(const std::string& source, const std::string& what) {
    out_.warnings.push_back(source + ": " + what);
    out_.reported.insert(source);
  }

  void Count(const std::string& source) {
    struct stat st {};
    if (::stat(source.c_str(), &st) == 0) out_.bytes += static_cast<uint64_t>(st.st_size);
    ++out_.files;
  }

  // What source is, as the collection will take it; warns about what it
  // leaves out.
  Kind Inspect(const std::string& source, const std::string& name, bool topLevel) {
    struct stat st {};
    if (::lstat(source.c_str(), &st) != 0) {
      if (topLevel) out_.errors.push_back(source + ": no such file or folder");
      return Kind::None;
    }
    if (S_ISLNK(st.st_mode) && ::stat(source.c_str(), &st) != 0) {
      Warn(source, "a link to nothing; it will not be on the disc");
      return Kind::None;
    }
    if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) {
      // Named on the command line, it is a mistake to stop at; met in a folder, a loss to tell.
      if (topLevel) {
        out_.errors.push_back(source + ": not a regular file or folder (a device, pipe or socket)");
        return Kind::None;
      }
      Warn(source, "not a file or folder (a device, pipe or socket); it will not be on the disc");
      return Kind::None;
    }
    const bool folder = S_ISDIR(st.st_mode);
    if (!folder && rules_.mp3Only && !IsMp3(source)) return Kind::None;
    if (name.find('\\') != std::string::npos) {
      Warn(source, "a name holding '\\' cannot stand on a disc; it will not be on the disc");
      return Kind::None;
    }
    if (folder) {
      if (!rules_.interchange && !FitsUcs2(name))
        Warn(source, "its name cannot be written as a Joliet name in the classic layout: readers of Joliet names "
                     "will not see this folder (--layout interchange writes every name)");
      return Kind::Folder;
    }
    if (source.size() > kRecordFieldLimit) {
      Warn(source, "its path is longer than 259 bytes, more than the collection records; it will not be on the "
                   "disc (add its folder from nearer, or by a shorter path)");
      return Kind::None;
    }
    if (!rules_.interchange && !FitsUcs2(name)) {
      Warn(source, "its name cannot be written in the classic layout; it will not be on the disc "
                   "(--layout interchange writes every name)");
      return Kind::None;
    }
    if (!rules_.interchange && static_cast<uint64_t>(st.st_size) > kClassicFileLimit) {
      Warn(source, "4 GiB or more, which the classic layout cannot hold; it will not be on the disc "
                   "(--layout interchange can)");
      return Kind::None;
    }
    const int fd = ::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
      Warn(source, std::string("cannot be read (") + std::strerror(errno) + "); it will not be on the disc");
      return Kind::None;
    }
    ::close(fd);
    return Kind::File;
  }

  // Checks what a folder added whole holds, and remembers its entries so a
  // later merge finds them.
  void Walk(const std::string& folder, const std::string& discFolder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0) return;
    const std::pair<dev_t, ino_t> self{st.st_dev, st.st_ino};
    if (std::find(ancestors_.begin(), ancestors_.end(), self) != ancestors_.end()) {
      Warn(folder, "a link back to a folder that holds it; it will not be on the disc");
      return;
    }
    ancestors_.push_back(self);
    Contents(folder, [&](const std::string& child, const std::string& name) {
      const auto kind = Inspect(child, name, false);
      if (kind == Kind::None) return;
      nodes_[discFolder + name] = {kind == Kind::Folder, child};
      if (kind == Kind::Folder) Walk(child, discFolder + name + "/");
      else Count(child);
    });
    ancestors_.pop_back();
  }

  const SourceRules& rules_;
  SourceCheck& out_;
  std::map<std::string, Node> nodes_;
  std::vector<std::pair<dev_t, ino_t>> ancestors_;
};

}  // namespace

SourceCheck CheckSources(const std::vector<std::string>& sources, const SourceRules& rules) {
  SourceCheck out;
  Checker checker(rules, out);
  for (std::string source : sources) {
    while (source.size() > 1 && source.back() == '/') source.pop_back();
    const std::string last = LastComponent(source);
    if (source == "/" || last == "." || last == "..") {
      struct stat st {};
      if (::stat(source.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        out.errors.push_back(source + ": no such folder");
        continue;
      }
      checker.Contents(source, [&](const std::string& child, const std::string& name) {
        checker.Place(child, "", name, true);
      });
      continue;
    }
    checker.Place(source, "", last, true);
  }
  return out;
}

bool ReportSourceCheck(const char* command, const SourceCheck& check, bool strict) {
  for (const std::string& e : check.errors) std::fprintf(stderr, "dorvik %s: %s\n", command, e.c_str());
  for (const std::string& w : check.warnings)
    std::fprintf(stderr, "dorvik %s: %s%s\n", command, strict ? "" : "warning: ", w.c_str());
  if (strict && !check.warnings.empty())
    std::fprintf(stderr, "dorvik %s: stopped before anything was written (--strict)\n", command);
  return check.errors.empty() && (!strict || check.warnings.empty());
}

}  // namespace dorvik::cli
