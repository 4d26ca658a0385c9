#pragma once
// A write job: the collection (data mode) or a disc image file (image mode)
// turned into sessions and tracks, checked against the disc's free room and
// written track by track through the BurnManager. Runs on the caller's
// thread and returns when the last track is finished or a step failed.
#include <cstdint>
#include <string>

namespace dorvik {

class BurnManager;
class FileCollection;
class Recorder;

struct WriteJob {
  std::string volumeLabel;  // data mode
  bool testWrite = false;
  bool addPlaylist = false;  // data mode
  bool imageMode = false;
  std::string imagePath;  // image mode
  // The host's session choices: leave the (CD) session open for another,
  // open the tray when the session is done.
  bool leaveSessionOpen = false;
  bool ejectAfterWrite = true;
};

// Room kept free on every disc, in blocks.
inline constexpr uint32_t kReserveBlocks = 10240;

// 1 when every track was written and finished (a track that failed or was
// stopped in the middle is still finished); 0 when the image cannot be
// opened or a track cannot be prepared; -5 when the disc's free room cannot
// be read; -124 when the tracks and the reserve do not fit; -700, -701,
// -702 from the medium's preparation. A data job's layout file is deleted
// on success only.
int32_t RunWriteJob(BurnManager& manager, FileCollection& collection, Recorder& drive, const WriteJob& job);

}  // namespace dorvik
