// Linux extension: the file tree of the disc's newest session, read through
// the walk a previous-session import uses, for hosts that list discs.
#include <ctime>
#include <string>

#include "api/guard.h"
#include "api/library.h"
#include "burn/session_listing.h"
#include "dorvik.h"

#if !defined(_WIN32)  // not one of DORVIK.DLL's exports

using dorvik::Guarded;
using dorvik::Library;

namespace {

// A directory record's recording date (years since 1900, month, day, hour,
// minute, second, offset from UTC in quarter hours) as seconds since 1970
// UTC; 0 for a date that is no date.
int64_t RecordingTime(const std::array<uint8_t, 7>& d) {
  if (d[1] < 1 || d[1] > 12 || d[2] < 1 || d[2] > 31 || d[3] > 23 || d[4] > 59 || d[5] > 59) return 0;
  std::tm tm{};
  tm.tm_year = d[0];
  tm.tm_mon = d[1] - 1;
  tm.tm_mday = d[2];
  tm.tm_hour = d[3];
  tm.tm_min = d[4];
  tm.tm_sec = d[5];
  const int64_t local = static_cast<int64_t>(::timegm(&tm));
  return local - static_cast<int64_t>(static_cast<int8_t>(d[6])) * 15 * 60;
}

}  // namespace

extern "C" {

DORVIK_API int32_t Vuz_ListDiscFiles(DorvikDiscEntryCallback callback, void* context, int32_t* track) {
  return Guarded(DORVIK_E_REFUSED, [&] {
    if (track) *track = 0;
    const dorvik::DeviceUse use(Library::Get());
    if (!use) return use.Refusal();
    dorvik::Recorder* drive = use.Drive();
    if (drive->IsReady() != 0) return DORVIK_E_NOT_READY;
    bool stopped = false;
    const dorvik::SessionListing listing = dorvik::ListNewestSession(
        *drive, [&](const dorvik::SessionDescriptor& entry, const std::string& folder) {
          if (stopped || !callback || entry.name.empty()) return;
          const bool isFolder = entry.kind == dorvik::SessionEntryKind::Folder;
          const std::string path = folder + entry.name + (isFolder ? "\\" : "");
          DorvikDiscEntry out{};
          out.path = path.c_str();
          out.isFolder = isFolder ? 1 : 0;
          if (!isFolder) {
            out.size = static_cast<uint32_t>(entry.size);  // the record's 32-bit length
            out.modified = RecordingTime(dorvik::FullDate(entry));
            out.extent = static_cast<uint32_t>(entry.extent);
          }
          stopped = callback(context, &out) == 0;
        });
    if (listing.outcome != dorvik::SessionListingOutcome::Listed) return DORVIK_E_REFUSED;
    if (track) *track = static_cast<int32_t>(listing.track);
    return DORVIK_OK;
  });
}

}  // extern "C"

#endif
