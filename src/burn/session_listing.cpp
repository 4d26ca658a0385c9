#include "burn/session_listing.h"

#include "burn/drive_sector_reader.h"
#include "drive/drive.h"

namespace dorvik {
namespace {

// How many tracks are looked at, going back from the newest session: enough
// to pass an interrupted track or two, bounded on a disc of many tracks.
constexpr uint32_t kTracksTried = 8;

}  // namespace

SessionListing ListNewestSession(Drive& drive, const ListedEntrySink& sink) {
  SessionListing listing;
  uint8_t info[kDiscInformationLength];
  if (drive.ReadDiscInformation(info) != 0) return listing;
  if ((info[2] & 0x03) == kDiscStatusEmpty) {
    listing.outcome = SessionListingOutcome::BlankDisc;
    return listing;
  }
  listing.outcome = SessionListingOutcome::NoTree;
  uint32_t track = static_cast<uint32_t>(info[10]) << 8 | info[5];  // first track in the last session
  if (((info[2] >> 2) & 0x03) == kSessionStateEmpty && track > 1) --track;
  for (uint32_t tried = 0; track >= 1 && tried < kTracksTried; --track, ++tried) {
    uint8_t record[kTrackInformationLength];
    if (drive.ReadTrackInformation(record, 1, track) != 0) continue;
    if ((record[5] & 0x0F) < kFirstDataTrackMode || (record[6] & 0x40) != 0) continue;  // audio, or blank
    const uint32_t start = Be32(record + 8);
    const uint32_t size = Be32(record + 24);
    const uint64_t end = uint64_t{start} + size;
    const iso::SessionLocation where{start, size == 0 || end > UINT32_MAX ? 0 : static_cast<uint32_t>(end),
                                     record[6] & 0x0Fu};
    DriveSectorReader reader(drive);
    listing.walk = iso::WalkSession(reader, where, [&](const std::string& descriptor, const std::string& folder) {
      sink(ParseSessionDescriptor(descriptor), folder);
    });
    if (listing.walk.result == iso::SessionWalkResult::Imported) {
      listing.outcome = SessionListingOutcome::Listed;
      listing.track = track;
      listing.start = start;
      return listing;
    }
  }
  return listing;
}

}  // namespace dorvik
