#include "listings.h"

#include <sys/mount.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "drive/drive.h"
#include "sha256.h"
#include "transport/sg_io_device.h"

namespace dorvik::kernel {

namespace fs = std::filesystem;

Tree ReadExpectation(const std::string& path) {
  Tree tree;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::stringstream s(line);
    std::string field;
    while (std::getline(s, field, '\t')) fields.push_back(field);
    if (fields.size() == 2 && fields[0] == "d") tree[fields[1]] = "d";
    if (fields.size() == 4 && fields[0] == "f") tree[fields[1]] = "f " + fields[2] + " " + fields[3];
  }
  return tree;
}

void CompareTrees(Report& report, const std::string& name, const Tree& got, const Tree& want) {
  std::string missing, extra, differing;
  int shown = 0;
  for (const auto& [path, what] : want) {
    auto it = got.find(path);
    if (it == got.end()) {
      if (shown++ < 4) missing += " '" + path + "'";
    } else if (it->second != what && shown++ < 4) {
      differing += " '" + path + "' (" + it->second.substr(0, 24) + ")";
    }
  }
  for (const auto& [path, what] : got)
    if (!want.count(path) && shown++ < 8) extra += " '" + path + "'";
  bool namesOk = true, contentOk = true;
  for (const auto& [path, what] : want) {
    auto it = got.find(path);
    if (it == got.end()) namesOk = false;
    else if (it->second != what) contentOk = false;
  }
  for (const auto& [path, what] : got) namesOk = namesOk && want.count(path);
  report.Check(name + "/names", namesOk,
               Format("%zu entries, want %zu; missing:%s extra:%s", got.size(), want.size(), missing.c_str(), extra.c_str()));
  report.Check(name + "/content", namesOk && contentOk, "sizes or digests differ:" + differing);
}

namespace {

std::string FileEntry(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  Sha256 digest;
  std::vector<char> buffer(1 << 16);
  uint64_t size = 0;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const auto n = static_cast<size_t>(in.gcount());
    digest.Update(reinterpret_cast<const uint8_t*>(buffer.data()), n);
    size += n;
  }
  return "f " + std::to_string(size) + " " + digest.HexDigest();
}

}  // namespace

void CheckMount(Report& report, const PlannedListing& listing, const PlannedDrive& drive) {
  const std::string name = "mount/" + listing.name;
  const std::string target = "/mnt/" + listing.name;
  fs::create_directories(target);
  const std::string options = listing.options == "-" ? "" : listing.options;
  if (!report.Check(name + "/mount", mount(drive.srNode.c_str(), target.c_str(), "iso9660", MS_RDONLY, options.c_str()) == 0,
                    Format("mount %s -o %s: %s", drive.srNode.c_str(), options.c_str(), std::strerror(errno))))
    return;
  Tree got;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(target, ec); !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const std::string path = it->path().lexically_relative(target).string();
    got[path] = it->is_directory() ? "d" : FileEntry(it->path());
  }
  report.Check(name + "/walk", !ec, ec.message());
  CompareTrees(report, name, got, ReadExpectation(listing.expect));
  umount(target.c_str());
}

namespace {

// HOOK(import-walk): until the library's previous-session import lands,
// the tree is read here from the primary directory records, every sector
// through the library's Drive::Read10. Replace this walker with the import
// walk's listing once it exists.
class DirectoryWalker {
 public:
  explicit DirectoryWalker(Drive& drive) : drive_(drive) {}

  bool Walk(Tree& tree) {
    std::vector<uint8_t> pvd(kUserSectorLength);
    if (drive_.Read10(pvd.data(), kUserSectorLength, 1, 16) != 0 || pvd[0] != 1) return false;
    return Directory(pvd.data() + 156, "", tree, 0);
  }

 private:
  static uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

  bool ReadExtent(uint32_t lba, uint32_t size, std::vector<uint8_t>& out) {
    const uint32_t blocks = (size + kUserSectorLength - 1) / kUserSectorLength;
    out.assign(uint64_t{blocks} * kUserSectorLength, 0);
    for (uint32_t i = 0; i < blocks; ++i)
      if (drive_.Read10(out.data() + uint64_t{i} * kUserSectorLength, kUserSectorLength, 1, lba + i) != 0) return false;
    out.resize(size);
    return true;
  }

  bool Directory(const uint8_t* record, const std::string& prefix, Tree& tree, int depth) {
    if (depth > 16) return false;
    std::vector<uint8_t> dir;
    if (!ReadExtent(Le32(record + 2), Le32(record + 10), dir)) return false;
    for (size_t pos = 0; pos < dir.size();) {
      const uint8_t length = dir[pos];
      if (length == 0) {  // records do not cross sectors
        pos = (pos / kUserSectorLength + 1) * kUserSectorLength;
        continue;
      }
      if (pos + length > dir.size() || length < 34) return false;
      const uint8_t* r = dir.data() + pos;
      const uint8_t nameLength = r[32];
      const std::string name(reinterpret_cast<const char*>(r + 33), nameLength);
      pos += length;
      if (nameLength == 1 && (name[0] == 0 || name[0] == 1)) continue;  // "." and ".."
      const std::string path = prefix.empty() ? name : prefix + "/" + name;
      if (r[25] & 0x02) {
        tree[path] = "d";
        if (!Directory(r, path, tree, depth + 1)) return false;
      } else {
        std::vector<uint8_t> data;
        if (!ReadExtent(Le32(r + 2), Le32(r + 10), data)) return false;
        Sha256 digest;
        digest.Update(data.data(), data.size());
        tree[path] = "f " + std::to_string(data.size()) + " " + digest.HexDigest();
      }
    }
    return true;
  }

  Drive& drive_;
};

}  // namespace

void CheckLibraryTree(Report& report, const PlannedListing& listing, const PlannedDrive& drive,
                      RoutingTransport& transport, DeviceId id) {
  const std::string name = "tree/" + listing.name;
  transport.Attach(id, std::make_unique<SgIoDevice>(drive.srNode));
  {
    Drive reader(id, &transport);
    DirectoryWalker walker(reader);
    Tree got;
    if (report.Check(name + "/walk", walker.Walk(got), "a directory could not be read"))
      CompareTrees(report, name, got, ReadExpectation(listing.expect));
  }
  transport.Attach(id, nullptr);
}

}  // namespace dorvik::kernel
