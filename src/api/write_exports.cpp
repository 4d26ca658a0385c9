// The exports that write a disc, and those that watch or stop the write.
// A write runs the job on the caller's thread; progress, name and stop come
// from other threads and only read or set the BurnManager's shared fields.
#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <string>

#include "api/guard.h"
#include "api/library.h"
#include "burn/previous_session_import.h"
#include "burn/write_job.h"
#include "diag/trace.h"
#include "dorvik.h"

using dorvik::Guarded;
using dorvik::Library;
namespace diag = dorvik::diag;

namespace {

constexpr size_t kNameLimit = 259;  // the host's buffer holds 260 bytes

// What Vuz_WriteDataCDEx chooses for this and later jobs.
struct SessionChoices {
  bool leaveSessionOpen = false;
  bool ejectAfterWrite = true;
};

// Holds the write slot for one job and runs it on the current drive.
int32_t RunJob(dorvik::WriteJob job, const std::optional<SessionChoices>& choices = std::nullopt) {
  Library& lib = Library::Get();
  dorvik::Recorder* drive = lib.CurrentRecorder();
  if (!lib.claims.ClaimForWrite(drive)) return DORVIK_E_BUSY;
  struct Release {
    Library& lib;
    ~Release() { lib.claims.ReleaseWrite(); }
  } release{lib};
  if (choices) {
    lib.state.leaveSessionOpen = choices->leaveSessionOpen;
    lib.state.ejectAfterWrite = choices->ejectAfterWrite;
  }
  if (!drive) return DORVIK_E_NO_DEVICE;
  if (choices) {
    const uint32_t profile = drive->CurrentProfile();
    if (profile == dorvik::kProfileCdR || profile == dorvik::kProfileCdRw) {
      // The files of the disc's last session join the collection before the
      // job lays it out, so the new session lists them where they stand. An
      // old entry that cannot be carried over is told to the host as a file
      // the new session will not show, by its disc path.
      if (lib.state.currentDeviceId.load() != 0)
        dorvik::ImportPreviousSession(*drive, *lib.collection, job.addPlaylist, [&lib](const std::string& discPath) {
          dorvik::NotifyUnreadableFileThrough(lib.state, discPath.c_str());
        });
    } else {
      lib.state.leaveSessionOpen = false;  // only a CD keeps a session open for another
    }
  }
  job.leaveSessionOpen = lib.state.leaveSessionOpen;
  job.ejectAfterWrite = lib.state.ejectAfterWrite;
  return dorvik::RunWriteJob(*lib.burnManager, *lib.collection, *drive, job);
}

dorvik::WriteJob DataJob(const char* volumeLabel, int32_t addPlaylist, int32_t testWrite) {
  dorvik::WriteJob job;
  job.volumeLabel = volumeLabel ? volumeLabel : "";
  job.addPlaylist = addPlaylist != 0;
  job.testWrite = testWrite != 0;
  return job;
}

}  // namespace

extern "C" {

DORVIK_API int32_t Vuz_WriteDataCD(const char* volumeLabel, int32_t addPlaylist, int32_t testWrite) {
  return Guarded(DORVIK_E_REFUSED, [&] { return RunJob(DataJob(volumeLabel, addPlaylist, testWrite)); });
}

DORVIK_API int32_t Vuz_WriteDataCDEx(const char* volumeLabel, int32_t addPlaylist, int32_t testWrite,
                                     int32_t leaveSessionOpen, int32_t ejectAfterWrite) {
  return Guarded(DORVIK_E_REFUSED, [&] {
    return RunJob(DataJob(volumeLabel, addPlaylist, testWrite), SessionChoices{leaveSessionOpen != 0, ejectAfterWrite != 0});
  });
}

DORVIK_API int32_t Vuz_WriteImageToCD(const char* imagePath, int32_t testWrite) {
  return Guarded(DORVIK_E_REFUSED, [&] {
    dorvik::WriteJob job;
    job.imageMode = true;
    job.imagePath = imagePath ? imagePath : "";
    job.testWrite = testWrite != 0;
    const int32_t result = RunJob(job);
    if (result != DORVIK_E_NO_DEVICE && result != DORVIK_E_BUSY) diag::Trace(diag::kTraceWriteImageToCdEnd);
    return result;
  });
}

DORVIK_API int32_t Vuz_WriteGetProgress(void) {
  return Guarded(0, [] {
    const int64_t p = Library::Get().burnManager->Progress();
    return static_cast<int32_t>(std::clamp<int64_t>(p, 0, std::numeric_limits<int32_t>::max()));
  });
}

DORVIK_API int32_t Vuz_WriteGetCurrBurnFileName(char* name) {
  return Guarded(DORVIK_OK, [&] {
    if (!name) return DORVIK_OK;
    const std::string current = Library::Get().burnManager->CurrentFileName();
    std::memcpy(name, current.data(), std::min(current.size(), kNameLimit));
    return DORVIK_OK;
  });
}

DORVIK_API int32_t Vuz_StopWrite(void) {
  return Guarded(DORVIK_OK, [] {
    diag::Trace(diag::kTraceAbortWrite);
    Library::Get().burnManager->Stop();
    diag::Trace(diag::kTraceAbortWriteEnd);
    return DORVIK_OK;
  });
}

}  // extern "C"
