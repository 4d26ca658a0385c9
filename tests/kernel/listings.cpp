#include "listings.h"

#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "burn/drive_sector_reader.h"
#include "collection/previous_session_descriptor.h"
#include "drive/drive.h"
#include "iso/session_walk.h"
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

// The disc path "\A\B\" as the expectation writes it: "A/B/".
std::string HostFolder(const std::string& discFolder) {
  std::string folder;
  for (size_t i = 1; i < discFolder.size(); ++i) folder += discFolder[i] == '\\' ? '/' : discFolder[i];
  return folder;
}

// A file's bytes as the old session's record places them, read back with
// READ(10) so the listing judges where the walk says the data is.
std::string ExtentEntry(Drive& drive, const SessionDescriptor& file) {
  Sha256 digest;
  std::vector<uint8_t> chunk(32 * kUserSectorLength);
  uint64_t left = static_cast<uint32_t>(file.size);
  uint32_t lba = static_cast<uint32_t>(file.extent);
  while (left > 0) {
    const uint32_t blocks = static_cast<uint32_t>(std::min<uint64_t>(32, (left + kUserSectorLength - 1) / kUserSectorLength));
    if (drive.Read10(chunk.data(), blocks * kUserSectorLength, blocks, lba) != 0) return "unreadable";
    const size_t n = static_cast<size_t>(std::min<uint64_t>(left, uint64_t{blocks} * kUserSectorLength));
    digest.Update(chunk.data(), n);
    left -= n;
    lba += blocks;
  }
  return "f " + std::to_string(file.size) + " " + digest.HexDigest();
}

// Counts what the walk read, and how, so the listing can tell READ CD's
// whole sectors from the READ(10) fallback.
class CountingReader final : public iso::SectorReader {
 public:
  explicit CountingReader(iso::SectorReader& inner) : inner_(inner) {}
  bool ReadRaw(uint32_t lba, uint8_t* sector) override {
    const bool ok = inner_.ReadRaw(lba, sector);
    (ok ? raw : rawRefused)++;
    return ok;
  }
  bool ReadUser(uint32_t lba, uint8_t* sector) override {
    const bool ok = inner_.ReadUser(lba, sector);
    if (ok) ++user;
    return ok;
  }
  uint32_t raw = 0, rawRefused = 0, user = 0;

 private:
  iso::SectorReader& inner_;
};

}  // namespace

void CheckLibraryTree(Report& report, const PlannedListing& listing, const PlannedDrive& drive,
                      RoutingTransport& transport, DeviceId id) {
  const std::string name = "tree/" + listing.name;
  transport.Attach(id, std::make_unique<SgIoDevice>(drive.srNode));
  {
    // The walk the library runs before appending a session, over the same
    // reads it uses there: READ CD where the drive gives whole sectors,
    // READ(10) where it refuses them (scsi-cd).
    Drive reader(id, &transport);
    DriveSectorReader driveSectors(reader);
    CountingReader sectors(driveSectors);
    std::vector<std::pair<std::string, std::string>> entries;
    const iso::SessionLocation where{listing.start, listing.end, 1};
    const iso::SessionWalkReport walk = iso::WalkSession(
        sectors, where, [&](const std::string& descriptor, const std::string& folder) { entries.emplace_back(descriptor, folder); });
    const bool walked = walk.result == iso::SessionWalkResult::Imported;
    report.Check(name + "/walk", walked && walk.joliet && walk.skipped == 0 && walk.shortened == 0,
                 Format("result %d, Joliet %d, %u left out, %u shortened", static_cast<int>(walk.result), walk.joliet ? 1 : 0,
                        walk.skipped, walk.shortened));
    // ATAPI answers READ CD, so its directories come as whole sectors.
    const std::string reads = Format("%u whole sectors, %u refused, %u user-data", sectors.raw, sectors.rawRefused, sectors.user);
    if (drive.bus == "ata")
      report.Check(name + "/whole-sectors", sectors.raw > 0 && sectors.rawRefused == 0, reads);
    else
      report.Info(name + "/reads", reads);
    Tree got;
    for (const auto& [descriptor, folder] : entries) {
      const SessionDescriptor entry = ParseSessionDescriptor(descriptor);
      const std::string path = HostFolder(folder) + entry.name;
      got[path] = entry.kind == SessionEntryKind::Folder ? "d" : ExtentEntry(reader, entry);
    }
    if (walked) CompareTrees(report, name, got, ReadExpectation(listing.expect));
  }
  transport.Attach(id, nullptr);
}

}  // namespace dorvik::kernel
