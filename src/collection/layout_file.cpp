#include "collection/layout_file.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "collection/file_tree.h"
#include "collection/workspace_walk.h"
#include "platform/files.h"
#include "platform/large_file.h"

namespace dorvik {

using platform::LargeFile;

namespace {

void PutLe16(std::vector<uint8_t>& out, size_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutLe32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

std::vector<uint8_t> EncodeLayoutHeader(const std::string& label) {
  std::vector<uint8_t> h(kLayoutHeaderSize, 0);
  PutLe32(&h[0], 256);
  h[4] = 2;
  std::memcpy(&h[5], label.data(), std::min(label.size(), kLayoutLabelLimit));
  h[256] = 1;
  h[257] = 1;  // first session
  h[258] = 1;  // last session
  h[320] = 1;  // session number
  h[321] = 1;  // closing track
  h[322] = 1;  // first track
  h[323] = 1;  // last track
  h[384] = 1;  // track number
  h[385] = kLayoutTrackData;
  h[386] = 1;
  return h;
}

std::vector<uint8_t> EncodeLayoutEntry(const LayoutEntry& entry) {
  constexpr size_t kMax = std::numeric_limits<uint16_t>::max();
  if (entry.source.size() > kMax || entry.discPath.size() > kMax) return {};
  std::vector<uint8_t> out;
  out.reserve(5 + entry.source.size() + entry.discPath.size());
  out.push_back(entry.kind);
  PutLe16(out, entry.source.size());
  out.insert(out.end(), entry.source.begin(), entry.source.end());
  PutLe16(out, entry.discPath.size());
  out.insert(out.end(), entry.discPath.begin(), entry.discPath.end());
  return out;
}

bool WriteLayoutFile(const std::string& workspace, const std::string& layoutPath, const std::string& label) {
  if (workspace.empty() || layoutPath.empty() || !FolderExists(workspace)) return false;
  try {
    platform::RemoveFile(layoutPath);
    LargeFile layout(layoutPath, LargeFile::Mode::Create);
    auto header = EncodeLayoutHeader(label);
    layout.Write(header.data(), header.size());
    // The list's length stands in front of it but is known only after the
    // walk: write a place-holder and fill it in at the end.
    uint8_t length[4] = {0, 0, 0, 0};
    layout.Write(length, sizeof length);
    uint64_t written = 0;
    std::vector<uint8_t> pending;
    auto flush = [&] {
      layout.Write(pending.data(), pending.size());
      pending.clear();
    };
    WalkWorkspace(workspace, [&](const WorkspaceEntry& e) {
      LayoutEntry entry{e.kind == WorkspaceEntry::Kind::Folder ? kLayoutEntryFolder : kLayoutEntryFile, e.source,
                        e.discPath};
      auto bytes = EncodeLayoutEntry(entry);
      if (bytes.empty() || written + bytes.size() > std::numeric_limits<uint32_t>::max()) return;
      written += bytes.size();
      pending.insert(pending.end(), bytes.begin(), bytes.end());
      if (pending.size() >= 64 * 1024) flush();
    });
    flush();
    PutLe32(length, static_cast<uint32_t>(written));
    layout.Seek(kLayoutHeaderSize);
    layout.Write(length, sizeof length);
    return true;
  } catch (const platform::FileError&) {
    return false;
  }
}

}  // namespace dorvik
