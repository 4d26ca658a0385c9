#include "drive/disc_layout.h"

#include "drive/drive.h"

namespace dorvik {
namespace {

// Track numbers run to 99 on a CD and to a few thousand on DVD and BD;
// an answer claiming more is not believed past this.
constexpr uint32_t kTrackLimit = 0x3FFF;

}  // namespace

int ReadDiscLayout(Drive& drive, DiscLayout& layout) {
  layout = {};
  uint8_t info[kDiscInformationLength];
  if (drive.ReadDiscInformation(info) != 0) return 1;
  layout.status = info[2] & 0x03;
  layout.lastSessionState = (info[2] >> 2) & 0x03;
  layout.sessions = static_cast<uint32_t>(info[9] << 8 | info[4]);
  const uint32_t first = info[3];
  const uint32_t last = std::min<uint32_t>(static_cast<uint32_t>(info[11] << 8 | info[6]), kTrackLimit);
  for (uint32_t n = first == 0 ? 1 : first; n <= last; ++n) {
    uint8_t record[kTrackInformationLength] = {};
    // Drives that only read (and QEMU's) refuse READ TRACK INFORMATION; the
    // TOC then describes the closed tracks.
    if (drive.ReadTrackInformation(record, 1, n) != 0) {
      std::fill(record, record + kTrackInformationLength, 0);
      if (drive.TrackInfoFromToc(record, 1, n) != 0 || record[2] == 0) continue;
    }
    TrackSummary t;
    t.number = static_cast<uint32_t>(record[32] << 8 | record[2]);
    t.session = static_cast<uint32_t>(record[33] << 8 | record[3]);
    t.start = Be32(record + 8);
    t.size = Be32(record + 24);
    t.data = (record[5] & 0x0F) >= kFirstDataTrackMode;
    if (record[6] & 0x40) t.state = TrackState::Blank;
    else if (record[7] & 0x01) t.state = TrackState::Open;
    layout.tracks.push_back(t);
  }
  return 0;
}

}  // namespace dorvik
