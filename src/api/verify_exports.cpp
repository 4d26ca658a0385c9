// Linux extension: the last data track read back through the drive and
// compared with the sums the burn engine took as it sent each sector.
#include <algorithm>
#include <vector>

#include "api/guard.h"
#include "api/library.h"
#include "burn/track_digest.h"
#include "dorvik.h"

#if !defined(_WIN32)  // not one of DORVIK.DLL's exports

using dorvik::Guarded;
using dorvik::Library;

namespace {

constexpr uint32_t kSectorsPerRead = 32;
constexpr uint32_t kSectorSize = 2048;

}  // namespace

extern "C" {

DORVIK_API int32_t Vuz_VerifyWrittenTrack(DorvikVerifyReport* report) {
  return Guarded(DORVIK_E_REFUSED, [&] {
    if (!report) return DORVIK_E_REFUSED;
    *report = DorvikVerifyReport{};
    Library& lib = Library::Get();
    const dorvik::DeviceUse use(lib);
    if (!use) return use.Refusal();
    const dorvik::TrackDigest& digest = lib.burnManager->Digest();
    const auto record = digest.Last();
    if (!record || record->drive != use.Drive() || record->sectors == 0) return 0;
    dorvik::Recorder& drive = *use.Drive();
    if (drive.IsReady() != 0) return DORVIK_E_NOT_READY;
    const uint32_t total = record->sectors;
    report->start = record->start;
    report->sectors = total;
    std::vector<uint8_t> buffer(size_t{kSectorsPerRead} * kSectorSize);
    uint64_t sums[kSectorsPerRead];
    auto differs = [&](uint32_t index) {
      if (report->differing++ == 0) report->firstDiffering = record->start + index;
    };
    for (uint32_t done = 0; done < total;) {
      const uint32_t n = std::min(kSectorsPerRead, total - done);
      const uint32_t lba = record->start + done;
      // The sums of a track this long live in a scratch file; one that can
      // no longer be read leaves nothing to compare with.
      if (!digest.Sums(done, n, sums)) {
        *report = DorvikVerifyReport{};
        return 0;
      }
      if (drive.Read10(buffer.data(), n * kSectorSize, n, lba) != 0) {
        // A block that does not read is looked at sector by sector, so the
        // report names the first sector that is really lost.
        for (uint32_t i = 0; i < n; ++i) {
          if (drive.Read10(buffer.data(), kSectorSize, 1, lba + i) != 0 ||
              dorvik::TrackDigest::SectorSum(buffer.data()) != sums[i])
            differs(done + i);
        }
      } else {
        for (uint32_t i = 0; i < n; ++i)
          if (dorvik::TrackDigest::SectorSum(buffer.data() + size_t{i} * kSectorSize) != sums[i]) differs(done + i);
      }
      done += n;
    }
    return DORVIK_OK;
  });
}

}  // extern "C"

#endif
