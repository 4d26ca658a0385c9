#include "api/image_composition.h"

#include <algorithm>
#include <cstring>

#include "api/library.h"
#include "collection/file_collection.h"
#include "collection/temp_names.h"
#include "iso/iso_fields.h"
#include "platform/files.h"

namespace dorvik {
namespace {
// A write job's track is whole writes of up to 32 sectors; the image is
// that track, so it can be written to a disc as it stands.
constexpr uint32_t kTrackMultiple = 32;
}  // namespace

ImageComposition::~ImageComposition() { End(); }

uint32_t ImageComposition::Compose(FileCollection& collection, const std::string& label, bool playlist,
                                   uint32_t start) {
  std::lock_guard lock(mutex_);
  EndLocked();
  layoutPath_ = ReserveTempFileName("bcd");
  if (layoutPath_.empty()) return 0;
  collection.PrepareForWrite(layoutPath_, playlist, label);
  if (playlist) playlistPath_ = collection.GetPlaylistPath();
  composer_ = std::make_unique<iso::ImageComposer>(notify_);
  if (!composer_->Compose(layoutPath_, 1, 1, collection.GetWorkspacePath(), start)) {
    EndLocked();
    return 0;
  }
  const uint64_t padded = composer_->PaddedSize();
  sectors_ = static_cast<uint32_t>((padded + kTrackMultiple - 1) / kTrackMultiple * kTrackMultiple);
  handedOut_ = 0;
  return sectors_;
}

bool ImageComposition::Read(uint8_t* buffer, uint32_t count) {
  std::lock_guard lock(mutex_);
  if (!composer_) return false;
  std::memset(buffer, 0, size_t{count} * iso::kSectorSize);
  const uint32_t inTrack = std::min(count, sectors_ - handedOut_);
  if (inTrack > 0) composer_->ReadNextSectors(buffer, inTrack);
  handedOut_ += inTrack;
  return true;
}

void ImageComposition::End() {
  std::lock_guard lock(mutex_);
  EndLocked();
}

void ImageComposition::EndLocked() {
  composer_.reset();  // deletes its temporary files
  if (!layoutPath_.empty()) platform::RemoveFile(layoutPath_);
  if (!playlistPath_.empty()) platform::RemoveFile(playlistPath_);
  layoutPath_.clear();
  playlistPath_.clear();
  sectors_ = handedOut_ = 0;
}

}  // namespace dorvik
