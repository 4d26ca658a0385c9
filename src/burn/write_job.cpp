#include "burn/write_job.h"

#include "burn/burn_manager.h"
#include "burn/track_source.h"
#include "collection/file_collection.h"
#include "collection/temp_names.h"
#include "diag/trace.h"
#include "drive/drive.h"
#include "platform/files.h"

namespace dorvik {

namespace {

constexpr int32_t kJobDone = 1;
constexpr int32_t kJobNotPrepared = 0;
constexpr int32_t kFreeSpaceUnknown = -5;
constexpr int32_t kDoesNotFit = -124;

// Calls f(session, track) for every track of every session, in order.
template <typename F>
int32_t ForEachTrack(TrackSource& planning, F&& f) {
  const uint32_t first = planning.FirstSession();
  const uint32_t last = planning.LastSession();
  for (uint32_t s = first; first > 0 && s <= last; ++s) {
    planning.SelectSession(s);
    const int32_t firstTrack = planning.FirstTrack();
    const int32_t lastTrack = planning.LastTrack();
    for (int32_t t = firstTrack; firstTrack > 0 && t <= lastTrack; ++t) {
      if (int32_t r = f(s, static_cast<uint32_t>(t))) return r;
    }
    planning.ResetSession();
  }
  return 0;
}

int32_t WriteTracks(BurnManager& manager, TrackSource& planning, Recorder& drive, Drive& sourceDrive,
                    const std::string& layoutPath, const std::string& workspace, const WriteJob& job) {
  return ForEachTrack(planning, [&](uint32_t session, uint32_t track) -> int32_t {
    const bool prepared = job.imageMode
                              ? manager.PrepareImageTrack(session, track, sourceDrive, drive)
                              : manager.PrepareDataTrack(layoutPath, session, track, drive, workspace);
    if (!prepared) return kJobNotPrepared;
    manager.SetTestWrite(job.testWrite);
    if (int32_t r = manager.BurnBegin()) return r;
    manager.StartThreads();
    manager.WaitForTrack();
    manager.BurnEnd();
    return 0;
  });
}

}  // namespace

int32_t RunWriteJob(BurnManager& manager, FileCollection& collection, Recorder& drive, const WriteJob& job) {
  TrackSource planning;
  Drive sourceDrive;
  std::string layoutPath;
  std::string workspace;
  manager.SetSessionOptions(job.leaveSessionOpen, job.ejectAfterWrite);

  if (job.imageMode) {
    // An image job has no layout file, so none is named (and left behind).
    if (!sourceDrive.OpenImage(job.imagePath)) return kJobNotPrepared;
    planning.AttachDrive(sourceDrive);
  } else {
    layoutPath = ReserveTempFileName("bcd");
    if (layoutPath.empty()) return kJobNotPrepared;
    collection.PrepareForWrite(layoutPath, job.addPlaylist, job.volumeLabel);
    workspace = collection.GetWorkspacePath();
    planning.OpenLayout(layoutPath, workspace);
  }

  // Size pass: each track laid out where it will be written.
  uint64_t total = 0;
  ForEachTrack(planning, [&](uint32_t, uint32_t track) -> int32_t {
    planning.PrepareTrack(track, BurnManager::TrackStartAddress(drive));
    total += planning.TrackBlocks();
    planning.ResetTrack();
    return 0;
  });

  uint32_t free = 0;
  if (!drive.FreeBlocks(&free)) return kFreeSpaceUnknown;
  // Counted without wrapping: a disc with less room than the reserve has
  // room for nothing.
  if (total + kReserveBlocks > free) return kDoesNotFit;

  int32_t result;
  try {
    result = WriteTracks(manager, planning, drive, sourceDrive, layoutPath, workspace, job);
  } catch (...) {
    // No thread of a track may outlive the job.
    manager.Stop();
    manager.JoinThreads();
    throw;
  }
  if (result != 0) return result;
  if (!layoutPath.empty()) platform::RemoveFile(layoutPath);
  diag::Trace(diag::kTraceWriteCdEnd);
  return kJobDone;
}

}  // namespace dorvik
