// The BurnManager's track preparation, what the host watches, and the
// life of the track's threads.
#include "burn/burn_manager.h"

#include <cctype>

#include "platform/files.h"
#include "platform/settings.h"

namespace dorvik {

namespace {

// The leading decimal digits of a text; none count as 0.
uint32_t LeadingNumber(const std::string& text) {
  uint64_t v = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) break;
    v = std::min<uint64_t>(v * 10 + static_cast<uint64_t>(c - '0'), UINT32_MAX);
  }
  return static_cast<uint32_t>(v);
}

constexpr uint32_t kCdSectorsPerWrite = 16;
constexpr uint32_t kDvdSectorsPerWrite = 32;

bool IsCd(uint32_t profile) { return profile == kProfileCdR || profile == kProfileCdRw; }

}  // namespace

OutputSettings OutputSettings::Read() {
  OutputSettings s;
  const auto type = platform::ReadTextSetting(platform::Setting::WriteType);
  s.fileOutput = type && LeadingNumber(*type) == 1;
  if (s.fileOutput) s.outputFilePath = platform::ReadTextSetting(platform::Setting::TempFile).value_or("");
  return s;
}

BurnManager::BurnManager(iso::UnreadableFileNotifier notifyUnreadable)
    : BurnManager(std::move(notifyUnreadable), OutputSettings::Read()) {}

BurnManager::BurnManager(iso::UnreadableFileNotifier notifyUnreadable, OutputSettings output)
    : output_(std::move(output)), source_(std::move(notifyUnreadable)) {
  // Each process starts the output file empty.
  if (output_.fileOutput && !output_.outputFilePath.empty()) platform::RemoveFile(output_.outputFilePath);
}

BurnManager::~BurnManager() {
  Stop();
  JoinThreads();
}

void BurnManager::SetSessionOptions(bool leaveSessionOpen, bool ejectAfterWrite) {
  leaveSessionOpen_ = leaveSessionOpen;
  ejectAfterWrite_ = ejectAfterWrite;
}

uint32_t BurnManager::TrackStartAddress(Recorder& drive) {
  const uint32_t profile = drive.CurrentProfile();
  if (profile != kProfileCdR && profile != kProfileCdRw && profile != kProfileNone) return 0;
  int32_t nwa = 0;
  if (drive.NextWritableAddress(&nwa) != 0) return 0;
  return static_cast<uint32_t>(nwa);
}

bool BurnManager::PrepareDataTrack(const std::string& layoutPath, uint32_t session, uint32_t track, Recorder& drive,
                                   const std::string& workspacePath) {
  layoutPath_ = layoutPath;
  source_.OpenLayout(layoutPath, workspacePath);
  return PrepareTrack(session, track, drive, TrackStartAddress(drive));
}

bool BurnManager::PrepareImageTrack(uint32_t session, uint32_t track, Drive& source, Recorder& drive) {
  layoutPath_.clear();
  source_.AttachDrive(source);
  return PrepareTrack(session, track, drive, TrackStartAddress(drive));
}

bool BurnManager::PrepareTrack(uint32_t session, uint32_t track, Recorder& drive, uint32_t startAddress) {
  // A previous track's threads are gone before anything they read changes.
  JoinThreads();
  // A stop from here on is meant for this track, even while its image is
  // still being laid out.
  stopRequested_ = false;
  blocksWritten_ = 0;
  trackBlocks_ = 0;
  track_ = track;
  session_ = session;
  drive_ = &drive;
  startAddress_ = startAddress;
  if (!source_.SelectSession(session)) return false;
  if (!source_.PrepareTrack(track, startAddress)) return false;
  sectorSize_ = source_.TrackType() == kTrackAudio ? kAudioSectorSize : kDataSectorSize;
  trackBlocks_ = source_.TrackBlocks();
  sectorsPerWrite_ = IsCd(drive.CurrentProfile()) ? kCdSectorsPerWrite : kDvdSectorsPerWrite;
  ring_.Reset(uint64_t{sectorSize_} * kRingSectors, uint64_t{trackBlocks_} * sectorSize_);
  ringSums_.assign(kRingSectors, 0);
  if (stopRequested_.load()) ring_.SetStop(true);
  return true;
}

bool BurnManager::IsTrackDone() const {
  return stopRequested_.load() || blocksWritten_.load() >= trackBlocks_.load();
}

void BurnManager::WaitForTrack() {
  trackChanged_.WaitUntil(kJobPollMs, [this] { return IsTrackDone(); });
}

void BurnManager::Stop() {
  stopRequested_ = true;
  ring_.SetStop(true);
  trackChanged_.Notify();
}

void BurnManager::StartThreads() {
  JoinThreads();
  try {
    starter_ = std::thread([this] { StarterThread(); });
  } catch (...) {
    Stop();  // no thread, no track: the job sees it done and finishes it
  }
}

void BurnManager::JoinThreads() {
  if (starter_.joinable()) starter_.join();
  if (writer_.joinable()) writer_.join();
  if (reader_.joinable()) reader_.join();
}

int64_t BurnManager::Progress() const {
  const uint32_t blocks = trackBlocks_.load();
  if (blocks == 0) return 0;
  return static_cast<int64_t>(blocksWritten_.load() * 100.0 / blocks);
}

std::string BurnManager::CurrentFileName() const {
  std::lock_guard lock(nameMutex_);
  return currentFileName_;
}

void BurnManager::SetCurrentFileName(const std::string& name) {
  std::lock_guard lock(nameMutex_);
  currentFileName_ = name;
}

}  // namespace dorvik
