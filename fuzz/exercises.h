#pragma once
// What each drive-answer target asks a drive. The fuzz targets run these
// against scripted answers; the seed maker and the kernel stage run the same
// functions against the software recorder and QEMU's drives and keep what
// those answered as seeds.
#include <cstddef>
#include <cstdint>

#include "drive/drive.h"

namespace dorvik::fuzz {

using Exercise = void (*)(Recorder& drive, ScsiTransport* transport, const uint8_t* parameters);

// GET CONFIGURATION: current profile, drive class, the feature walk.
void ExerciseConfiguration(Recorder& drive, ScsiTransport* transport, const uint8_t* parameters);
// Disc information and what is derived from it: blank, writable, next
// writable address, free blocks, the file-system test.
void ExerciseDiscInformation(Recorder& drive, ScsiTransport* transport, const uint8_t* parameters);
// The track record made from the TOC (full and formatted), by number and
// by address, and free space measured from it.
void ExerciseToc(Recorder& drive, ScsiTransport* transport, const uint8_t* parameters);
// Mode pages: the capabilities page (registry acceptance, speeds) and the
// write parameters page sensed and sent back.
void ExerciseModePages(Recorder& drive, ScsiTransport* transport, const uint8_t* parameters);
// The burn engine's track source copying a disc: sessions and tracks from
// the full TOC, each track found from the TOC and its first sectors read.
void ExerciseTrackSource(Recorder& drive, ScsiTransport* transport, const uint8_t* parameters);

struct DriveTarget {
  const char* name;
  Exercise exercise;
};
inline constexpr DriveTarget kDriveTargets[] = {
    {"configuration", ExerciseConfiguration},
    {"disc_info", ExerciseDiscInformation},
    {"toc", ExerciseToc},
    {"mode_pages", ExerciseModePages},
    {"track_source", ExerciseTrackSource},
};

// Splits an input into parameters and script and runs exercise on a
// recorder (id 1) whose answers come from the script.
int RunDriveTarget(const uint8_t* data, size_t size, Exercise exercise);

}  // namespace dorvik::fuzz
