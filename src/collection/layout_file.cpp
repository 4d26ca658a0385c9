#include "collection/layout_file.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "collection/workspace_walk.h"
#include "platform/buffered_writer.h"
#include "platform/byte_order.h"
#include "platform/folder.h"

namespace dorvik {

namespace {

void PutLe16(std::vector<uint8_t>& out, size_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

}  // namespace

std::vector<uint8_t> EncodeLayoutHeader(const std::string& label) {
  std::vector<uint8_t> h(kLayoutHeaderSize, 0);
  platform::PutLe32(&h[0], 256);
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

bool WriteLayoutFile(const platform::Folder& workspace, const std::string& layoutPath, const std::string& label) {
  if (!workspace.IsOpen() || layoutPath.empty()) return false;
  try {
    uint64_t written = 0;
    platform::BufferedWriter layout;
    layout.Create(layoutPath);
    const auto header = EncodeLayoutHeader(label);
    layout.Write(header.data(), header.size());
    // The list's length stands in front of it but is known only after the
    // walk: a place-holder now, filled in at the end.
    layout.WriteZeros(4);
    WalkWorkspace(workspace, [&](const WorkspaceEntry& e) {
      LayoutEntry entry{e.kind == WorkspaceEntry::Kind::Folder ? kLayoutEntryFolder : kLayoutEntryFile, e.source,
                        e.discPath};
      const auto bytes = EncodeLayoutEntry(entry);
      if (bytes.empty() || written + bytes.size() > std::numeric_limits<uint32_t>::max()) return;
      written += bytes.size();
      layout.Write(bytes.data(), bytes.size());
    });
    uint8_t length[4];
    platform::PutLe32(length, static_cast<uint32_t>(written));
    layout.Overwrite(kLayoutHeaderSize, length, sizeof length);
    layout.Close();
    return true;
  } catch (const platform::FileError&) {
    return false;
  }
}

}  // namespace dorvik
