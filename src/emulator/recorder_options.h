#pragma once
// How the software recorder presents itself and how long its slow
// operations take. Durations are nominal (what a real drive needs) and are
// scaled by DORVIK_TIME_SCALE when the recorder measures them.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "emulator/medium.h"

namespace dorvik::emulator {

enum class DriveModel : uint8_t {
  DvdRecorder,  // writes CD-R/RW, DVD±R, DVD±RW, DVD-RAM
  CdRecorder,   // writes CD-R/RW only
  DvdReader,    // reads CD and DVD, writes nothing
};

struct RecorderOptions {
  std::string vendor = "DORVIK";         // INQUIRY bytes 8..15, space padded
  std::string product = "Virtual Recorder";  // bytes 16..31
  std::string revision = "1.00";         // bytes 32..35
  DriveModel model = DriveModel::DvdRecorder;
  bool trackAtOnce = true;  // CD Track at Once feature (write type 1)
  bool mastering = true;    // CD Mastering feature (write types 2 and 3)
  // Writes take the time the selected write speed needs, with a drive
  // buffer in front: a write that does not fit the buffer is answered
  // "long write in progress".
  bool emulateSpeed = false;
  uint32_t bufferBlocks = 1024;  // 2 MB drive buffer
  // Capacity of a new blank medium; empty: the medium's usual size.
  std::optional<uint32_t> capacity;
  // Nominal durations of the slow operations, in ms: how long the drive is
  // busy after one started with the Immed bit, how long one without it
  // takes (and whether it outlasts the host's timeout).
  uint32_t blankMinimalMs = 30000;
  uint32_t blankFullMs = 300000;
  uint32_t closeTrackMs = 0;
  uint32_t closeSessionMs = 20000;
  uint32_t formatMs = 60000;
  uint32_t syncCacheMs = 2000;  // a flush with written blocks in the cache

  // Kinder behaviours some real drive models show; all off by default.
  // SYNCHRONIZE CACHE ends a CD track-at-once track (padding it to 4 s),
  // as the drives cdrecord and libburn rely on do; a later CLOSE TRACK of
  // it is then refused like any close of a complete track.
  bool flushClosesTrack = false;
  // While an Immed CLOSE TRACK/SESSION or SYNCHRONIZE CACHE runs, TEST UNIT
  // READY answers GOOD and only READ DISC/TRACK INFORMATION answer 02/04/07.
  bool readyWhileClosing = false;
  // The fastest write-once media drives take: CD-R written at up to 52x,
  // DVD-R and DVD+R at up to 24x (the usual tables stop at 48x and 16x).
  bool topWriteSpeeds = false;
};

// The profiles a drive of this model lists, highest first.
std::vector<uint16_t> ProfilesOf(DriveModel model);
bool ModelSupports(DriveModel model, MediumKind kind);
bool ModelWrites(DriveModel model, MediumKind kind);

// "key=value" entries separated by ';' (DORVIK_VIRTUAL_OPTIONS): vendor,
// product, revision, model (dvd-recorder, cd-recorder, dvd-reader), tao,
// mastering, emulate-speed (0 or 1), buffer (blocks), capacity (blocks),
// the durations blank-minimal-ms, blank-full-ms, close-track-ms,
// close-session-ms, format-ms, sync-cache-ms, the kinder behaviours
// flush-closes-track and ready-while-closing, and top-write-speeds (0 or
// 1). False with a reason on a bad entry.
bool ParseRecorderOptions(const std::string& text, RecorderOptions& options, std::string* error);

}  // namespace dorvik::emulator
