#include "exercises.h"

#include <cstdlib>
#include <cstring>
#include <vector>

#include "answer_script.h"
#include "burn/track_source.h"
#include "registry/device_registry.h"

namespace dorvik::fuzz {

namespace {

uint16_t Be16At(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// Every fixed wait of the drive layer becomes instant: an input must not
// be able to make the target sleep.
void NoWaiting() {
  static const bool done = [] { return setenv("DORVIK_TIME_SCALE", "0", 1) == 0; }();
  (void)done;
}

// A buffer of exactly n bytes, so reading or writing past an allocation
// length is caught by the address sanitizer.
std::vector<uint8_t> Exact(size_t n) { return std::vector<uint8_t>(n, 0); }

}  // namespace

void ExerciseConfiguration(Recorder& drive, ScsiTransport*, const uint8_t* parameters) {
  drive.CurrentProfile();
  drive.DriveClass();
  drive.IsWritable();
  for (uint16_t length : {uint16_t{2048}, std::max<uint16_t>(8, Be16At(parameters))}) {
    std::vector<uint8_t> config = Exact(length);
    if (drive.GetConfiguration(config.data(), length) != 0) continue;
    for (uint16_t feature : {uint16_t{0x0000}, uint16_t{0x0001}, uint16_t{0x002D}, uint16_t{0x002E}, Be16At(parameters + 2)})
      HasFeature(config.data(), length, feature);
  }
}

void ExerciseDiscInformation(Recorder& drive, ScsiTransport*, const uint8_t* parameters) {
  drive.IsBlank();
  drive.IsWritable();
  int32_t nwa = 0;
  drive.NextWritableAddress(&nwa);
  uint32_t free = 0;
  drive.FreeBlocks(&free);
  drive.FileSystemKind(parameters[0]);
}

void ExerciseToc(Recorder& drive, ScsiTransport*, const uint8_t* parameters) {
  const uint8_t addressType = parameters[0] & 3;
  const uint32_t number = static_cast<uint32_t>(parameters[1] << 16 | parameters[2] << 8 | parameters[3]);
  uint8_t record[kTrackInformationLength] = {};
  drive.TrackInfoFromToc(record, addressType, number);
  drive.TrackInfoFromToc(record, 1, parameters[3]);
  drive.TrackInfoFromToc(record, 0, number - 150);
  uint32_t free = 0;
  drive.FreeBlocks(&free);
  std::vector<uint8_t> toc = Exact(std::max<uint16_t>(4, Be16At(parameters + 1)));
  drive.ReadToc(toc.data(), static_cast<uint32_t>(toc.size()), parameters[0] >> 4, parameters[3]);
}

void ExerciseModePages(Recorder& drive, ScsiTransport* transport, const uint8_t* parameters) {
  const uint32_t length = parameters[0];
  std::vector<uint8_t> page = Exact(std::max<uint32_t>(1, length));
  SenseResult sense{};
  drive.ReadModePage(page.data(), length, drive.GetId(), &sense, 0x2A);
  SpeedReport speeds;
  drive.ReportSpeeds(&speeds);
  WriteSettings settings;
  settings.trackMode = parameters[1] & 0x0F;
  settings.dataBlockType = parameters[2] & 0x0F;
  settings.multiSession = parameters[1] >> 7;
  drive.SetWriteParameters(parameters[3] & 0x0F, settings);
  DeviceRegistry registry;
  registry.Build(transport, {drive.GetId()});
}

void ExerciseTrackSource(Recorder& drive, ScsiTransport*, const uint8_t* parameters) {
  TrackSource source;
  source.AttachDrive(drive);
  // Sessions and tracks are bytes of the answer; a few of each are enough
  // to reach every path, and keep one input fast.
  const uint32_t first = source.FirstSession(), last = source.LastSession();
  for (uint32_t session = first; session <= last && session < first + 4; ++session) {
    if (!source.SelectSession(session)) continue;
    source.ClosingTrack();
    const int32_t firstTrack = source.FirstTrack(), lastTrack = source.LastTrack();
    std::vector<uint32_t> tracks = {parameters[3]};
    for (int32_t t = std::max(firstTrack, 0); t <= lastTrack && t < std::max(firstTrack, 0) + 3; ++t)
      tracks.push_back(static_cast<uint32_t>(t));
    for (uint32_t track : tracks) {
      if (!source.PrepareTrack(track, 0)) continue;
      source.TrackType();
      // The writer's buffer: whole user sectors, as many as a write takes.
      std::vector<uint8_t> sectors = Exact(2048u * (1u + parameters[1] % 32u));
      for (uint32_t i = 0; i < std::min<uint32_t>(source.TrackBlocks(), 2); ++i)
        source.ReadSector(sectors.data(), static_cast<uint32_t>(sectors.size()));
      source.ResetTrack();
    }
    source.ResetSession();
  }
}

int RunDriveTarget(const uint8_t* data, size_t size, Exercise exercise) {
  NoWaiting();
  uint8_t parameters[kParameterBytes] = {};
  std::memcpy(parameters, data, std::min(size, kParameterBytes));
  const size_t skip = std::min(size, kParameterBytes);
  ScriptedDrive scripted(ParseScript(data + skip, size - skip));
  {
    Recorder drive(ScriptedDrive::kId, scripted.Transport());
    drive.SetReadyWaitLimit(0);
    exercise(drive, scripted.Transport(), parameters);
  }
  // The write parameters list is built in a 1024-byte buffer; more would
  // mean it was sent from past its end.
  if (scripted.LongestDataOut() > kModePageAnswerLength) __builtin_trap();
  return 0;
}

}  // namespace dorvik::fuzz
