#include "iso/session_walk.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "collection/previous_session_descriptor.h"
#include "iso/session_names.h"
#include "platform/byte_order.h"

namespace dorvik::iso {
namespace {

using platform::GetLe32;

constexpr uint32_t kFirstDescriptor = 16;
constexpr uint32_t kDescriptorSectors = 10;
constexpr uint8_t kPrimaryType = 1;
constexpr uint8_t kSupplementaryType = 2;
constexpr uint8_t kTerminatorType = 255;
constexpr size_t kRootRecord = 156;

constexpr uint8_t kDirectoryBit = 0x02;
constexpr uint8_t kAssociatedBit = 0x04;
constexpr uint8_t kMultiExtentBit = 0x80;
constexpr size_t kRecordHead = 33;
constexpr size_t kSmallestRecord = kRecordHead + 1;

constexpr uint32_t kForm2Payload = 2324;
constexpr uint8_t kForm2Bit = 0x20;

bool IsDescriptor(const uint8_t* sector, uint8_t type) {
  return sector[0] == type && std::memcmp(sector + 1, "CD001", 5) == 0;
}

struct Root {
  uint64_t extent = 0;
  uint32_t length = 0;
};

Root RootOf(const uint8_t* descriptor) {
  const uint8_t* record = descriptor + kRootRecord;
  return {uint64_t{GetLe32(record + 2)} + record[1], GetLe32(record + 10)};
}

// The roots of the trees the session's volume descriptors name.
struct Descriptors {
  std::optional<Root> joliet;
  std::optional<Root> primary;
};

Descriptors FindDescriptors(SectorReader& reader, uint32_t start) {
  Descriptors found;
  std::vector<uint8_t> sector(kUserDataSize);
  for (uint32_t i = 0; i < kDescriptorSectors; ++i) {
    if (!reader.ReadUser(start + kFirstDescriptor + i, sector.data())) continue;
    const uint8_t* s = sector.data();
    if (IsDescriptor(s, kTerminatorType)) break;
    // A supplementary descriptor is Joliet when it names escape sequences;
    // one without them (an enhanced descriptor) carries no UCS-2 names.
    if (!found.joliet && IsDescriptor(s, kSupplementaryType) && (s[88] || s[89] || s[90])) found.joliet = RootOf(s);
    if (!found.primary && IsDescriptor(s, kPrimaryType)) found.primary = RootOf(s);
  }
  return found;
}

uint64_t SectorsSpanned(uint64_t length) { return (length + kUserDataSize - 1) / kUserDataSize; }

class Walker {
 public:
  Walker(SectorReader& reader, const SessionLocation& where, bool joliet, const SessionEntrySink& add,
         const SessionLeftOutSink& leftOut, SessionWalkReport& report)
      : reader_(reader), where_(where), joliet_(joliet), add_(add), leftOut_(leftOut), report_(report) {}

  // Opens the root; false when it is not a readable directory inside the track.
  bool OpenRoot(const Root& root) {
    if (root.extent == 0 || root.extent > INT32_MAX || root.length == 0 || !Inside(root.extent, root.length))
      return false;
    auto frame = std::make_unique<Frame>();
    frame->path.assign(1, '\\');  // the root
    if (!Open(*frame, static_cast<uint32_t>(root.extent), root.length, true)) return false;
    const uint8_t* self = frame->buffer.data() + frame->position;
    if (frame->position + kSmallestRecord > frame->end || self[0] < kSmallestRecord || self[32] != 1 || self[33] != 0 ||
        !(self[25] & kDirectoryBit))
      return false;
    Claim(root.extent, root.length);
    stack_.push_back(std::move(frame));
    return true;
  }

  void Run() {
    while (!stack_.empty()) {
      Frame& f = *stack_.back();
      if (f.position >= f.end || f.buffer[f.position] == 0) {
        if (!NextSector(f)) stack_.pop_back();
        continue;
      }
      const uint8_t* record = f.buffer.data() + f.position;
      const size_t length = record[0];
      if (f.position + length > f.end || length < kSmallestRecord || kRecordHead + record[32] > length) {
        // Records never cross a sector, and after a damaged length nothing
        // else in this sector can be found again.
        LeaveOut(f.path);
        f.position = f.end;
        continue;
      }
      f.position += length;
      Entry(f, record);  // may push a frame: f is not used afterwards
    }
  }

 private:
  struct Frame;

  // Counts an entry left out and tells whoever listens where it was.
  void LeaveOut(const std::string& discPath) {
    ++report_.skipped;
    if (leftOut_) leftOut_(discPath);
  }
  // The disc path of the record's entry, or the folder's when its name
  // cannot be read.
  std::string PathOf(const Frame& f, const uint8_t* record) const {
    const auto name = ImportedName(record + kRecordHead, record[32], joliet_, (record[25] & kDirectoryBit) != 0);
    if (!name) return f.path;
    return f.path + *name + ((record[25] & kDirectoryBit) ? "\\" : "");
  }

  struct Frame {
    std::string path;  // the disc folder: "\" or "\A\B\"
    uint32_t extent = 0;
    uint32_t sectors = 0;
    uint32_t index = 0;  // which of its sectors the buffer holds
    bool raw = true;
    std::vector<uint8_t> buffer = std::vector<uint8_t>(kRawSectorSize);
    size_t position = 0, end = 0;  // the records of the sector in the buffer
    bool inMultiExtentFile = false;
  };

  bool Inside(uint64_t extent, uint64_t length) const {
    return where_.end == 0 || extent + SectorsSpanned(length) <= where_.end;
  }

  bool Walked(uint64_t extent, uint32_t length) const {
    const uint64_t last = extent + SectorsSpanned(length);
    auto next = walked_.upper_bound(extent);
    if (next != walked_.end() && next->first < last) return true;
    if (next == walked_.begin()) return false;
    return std::prev(next)->second > extent;
  }
  void Claim(uint64_t extent, uint32_t length) { walked_[extent] = extent + SectorsSpanned(length); }

  // Where the user data of the sector in the buffer lies and how long it is.
  void Locate(Frame& f) {
    size_t start = 0, payload = kUserDataSize;
    if (f.raw) {
      const uint8_t* s = f.buffer.data();
      if (where_.dataMode != 1 && (s[18] & kForm2Bit)) payload = kForm2Payload;
      if (std::all_of(s + 1, s + 11, [](uint8_t b) { return b == 0xFF; })) start = where_.dataMode == 1 ? 16 : 24;
    }
    f.position = start;
    f.end = start + payload;
  }

  bool Read(Frame& f, uint32_t lba) {
    std::fill(f.buffer.begin(), f.buffer.end(), 0);
    const bool ok = f.raw ? reader_.ReadRaw(lba, f.buffer.data()) : reader_.ReadUser(lba, f.buffer.data());
    if (ok) Locate(f);
    return ok;
  }

  // Reads a directory's first sector: whole, and when the reader cannot
  // give whole sectors, this directory and all below it as user data.
  bool Open(Frame& f, uint32_t extent, uint32_t length, bool raw) {
    f.extent = extent;
    f.raw = raw;
    if (!Read(f, extent)) {
      if (!f.raw) return false;
      f.raw = false;
      if (!Read(f, extent)) return false;
    }
    const uint64_t payload = f.end - f.position;
    f.sectors = static_cast<uint32_t>((uint64_t{length} + payload - 1) / payload);
    f.index = 0;
    return true;
  }

  bool NextSector(Frame& f) {
    if (f.index + 1 >= f.sectors) return false;
    ++f.index;
    if (Read(f, f.extent + f.index)) return true;
    LeaveOut(f.path);  // the rest of this directory cannot be read
    return false;
  }

  void Entry(Frame& f, const uint8_t* record) {
    const uint8_t flags = record[25];
    const uint8_t identifierLength = record[32];
    const uint8_t* identifier = record + kRecordHead;
    if (identifierLength == 1 && identifier[0] <= 1) return;  // "." and ".."

    // A file kept in several extents cannot be one descriptor: all its
    // records are left out.
    if (f.inMultiExtentFile || (flags & kMultiExtentBit)) {
      if (!f.inMultiExtentFile) LeaveOut(PathOf(f, record));
      f.inMultiExtentFile = (flags & kMultiExtentBit) != 0;
      return;
    }
    const bool directory = (flags & kDirectoryBit) != 0;
    // Associated files belong to another entry of the same name; interleaved
    // data cannot be described by one extent.
    if (flags & kAssociatedBit) {
      ++report_.skipped;  // not a file of its own: nothing for the host to miss
      return;
    }
    if (record[26] || record[27]) {
      LeaveOut(PathOf(f, record));
      return;
    }
    const uint64_t extent = uint64_t{GetLe32(record + 2)} + record[1];
    const uint32_t length = GetLe32(record + 10);
    auto name = ImportedName(identifier, identifierLength, joliet_, directory);
    if (!name || extent > INT32_MAX || length > INT32_MAX || !Inside(extent, length)) {
      LeaveOut(PathOf(f, record));
      return;
    }
    if (directory) Folder(f, std::move(*name), static_cast<uint32_t>(extent), length);
    else File(f, std::move(*name), record + 18, static_cast<int32_t>(extent), static_cast<int32_t>(length));
  }

  void File(Frame& f, std::string name, const uint8_t* date, int32_t extent, int32_t length) {
    std::string descriptor = MakeFileDescriptor(name, date, length, extent);
    if (descriptor.size() > kDescriptorLimit) {
      ++report_.shortened;
      name = FitName(name, name.size() - (descriptor.size() - kDescriptorLimit));
      descriptor = MakeFileDescriptor(name, date, length, extent);
    }
    add_(descriptor, f.path);
    ++report_.files;
  }

  void Folder(Frame& f, std::string name, uint32_t extent, uint32_t length) {
    if (stack_.size() > kImportDepthLimit || (length > 0 && Walked(extent, length))) {
      LeaveOut(f.path + name + "\\");
      return;
    }
    std::string descriptor = MakeFolderDescriptor(name);
    if (descriptor.size() > kDescriptorLimit) {
      ++report_.shortened;
      name = FitName(name, name.size() - (descriptor.size() - kDescriptorLimit));
      descriptor = MakeFolderDescriptor(name);
    }
    std::string path = f.path + name + "\\";
    if (path.size() > kImportPathLimit) {
      LeaveOut(path);
      return;
    }
    add_(descriptor, f.path);
    ++report_.folders;
    if (length == 0) return;

    Claim(extent, length);
    auto child = std::make_unique<Frame>();
    child->path = std::move(path);
    if (!Open(*child, extent, length, f.raw)) {
      LeaveOut(child->path);  // the folder stays, empty
      return;
    }
    stack_.push_back(std::move(child));
  }

  SectorReader& reader_;
  const SessionLocation where_;
  const bool joliet_;
  const SessionEntrySink& add_;
  const SessionLeftOutSink& leftOut_;
  SessionWalkReport& report_;
  std::vector<std::unique_ptr<Frame>> stack_;
  std::map<uint64_t, uint64_t> walked_;  // first sector -> first sector past it
};

}  // namespace

SessionWalkReport WalkSession(SectorReader& reader, const SessionLocation& where, const SessionEntrySink& add,
                              const SessionLeftOutSink& leftOut) {
  SessionWalkReport report;
  const Descriptors found = FindDescriptors(reader, where.start);
  if (!found.joliet && !found.primary) return report;
  report.result = SessionWalkResult::NoRoot;
  // A Joliet tree that cannot be walked leaves the primary tree.
  for (const bool joliet : {true, false}) {
    const auto& root = joliet ? found.joliet : found.primary;
    if (!root) continue;
    Walker walker(reader, where, joliet, add, leftOut, report);
    if (!walker.OpenRoot(*root)) continue;
    report.result = SessionWalkResult::Imported;
    report.joliet = joliet;
    walker.Run();
    break;
  }
  return report;
}

}  // namespace dorvik::iso
