#include "burn/previous_session_import.h"

#include "burn/drive_sector_reader.h"
#include "burn/host_entry_shadow.h"
#include "collection/file_collection.h"
#include "drive/drive.h"

namespace dorvik {
namespace {

SessionImportReport Stop(SessionImportOutcome outcome) {
  SessionImportReport report;
  report.outcome = outcome;
  return report;
}

}  // namespace

SessionImporter::SessionImporter(FileCollection& collection, bool passOn)
    : collection_(collection), passOn_(passOn ? 1 : 0) {}

SessionImportReport SessionImporter::ImportFromTrack(Drive& drive, uint32_t start, uint32_t size,
                                                     uint32_t dataMode, const iso::SessionLeftOutSink& leftOut) {
  dataMode_ = dataMode;
  SessionImportReport report;
  report.start = start;
  // A disc that also carries UDF is read by its UDF tree; a new ISO 9660
  // tree would hide what that one holds.
  if (drive.FileSystemKind(start) & kUdf) {
    report.outcome = SessionImportOutcome::UdfPresent;
    return report;
  }
  DriveSectorReader reader(drive);
  const uint64_t end = uint64_t{start} + size;
  const iso::SessionLocation where{start, size == 0 || end > UINT32_MAX ? 0 : static_cast<uint32_t>(end), dataMode_};
  HostEntryShadow shadow(collection_.GetWorkspacePath());
  report.walk = iso::WalkSession(reader, where, [&](const std::string& descriptor, const std::string& folder) {
    if (!shadow.Hides(descriptor, folder)) collection_.AddFiles(descriptor, folder, passOn_ != 0);
  }, leftOut);
  report.hidden = shadow.Hidden();
  joliet_ = report.walk.joliet ? 1 : 0;
  report.outcome = report.walk.result == iso::SessionWalkResult::Imported ? SessionImportOutcome::Imported
                                                                           : SessionImportOutcome::NoTree;
  return report;
}

SessionImportReport ImportPreviousSession(Drive& drive, FileCollection& collection, bool passOn,
                                          const iso::SessionLeftOutSink& leftOut) {
  uint8_t info[kDiscInformationLength];
  if (drive.ReadDiscInformation(info) != 0) return Stop(SessionImportOutcome::NoDiscInformation);
  const uint8_t status = info[2] & 0x03;
  if (status == kDiscStatusEmpty) return Stop(SessionImportOutcome::BlankDisc);
  const uint32_t profile = drive.CurrentProfile();
  if (profile != kProfileCdR && profile != kProfileCdRw) return Stop(SessionImportOutcome::NotCd);
  if (status == kDiscStatusComplete) return Stop(SessionImportOutcome::DiscClosed);

  // The first track of the last session; when that session is still empty
  // (the previous one was closed for appending), the track before it ends
  // the last session that holds anything.
  uint32_t track = info[5];
  if (((info[2] >> 2) & 0x03) == kSessionStateEmpty) --track;
  if (track == 0) return Stop(SessionImportOutcome::NoTrackInformation);

  uint8_t record[kTrackInformationLength];
  if (drive.ReadTrackInformation(record, 1, track) != 0) return Stop(SessionImportOutcome::NoTrackInformation);
  if ((record[5] & 0x0F) < kFirstDataTrackMode) return Stop(SessionImportOutcome::NotDataTrack);
  const uint32_t start = Be32(record + 8);
  const uint32_t size = Be32(record + 24);
  const uint32_t dataMode = record[6] & 0x0F;

  SessionImporter importer(collection, passOn);
  return importer.ImportFromTrack(drive, start, size, dataMode, leftOut);
}

}  // namespace dorvik
