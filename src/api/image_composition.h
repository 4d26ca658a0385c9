#pragma once
// A collection composed into an image track for a host that writes it
// itself (Vuz_ComposeImage): the composer, its layout file, and how far the
// host has read. One per process, held by the Library.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "iso/image_composer.h"

namespace dorvik {

class FileCollection;

class ImageComposition {
 public:
  // The composer tells the host through notify; it runs under this object's
  // lock, so it must not take the library's (Stop holds that one while it
  // destroys this object).
  explicit ImageComposition(iso::UnreadableFileNotifier notify) : notify_(std::move(notify)) {}
  ~ImageComposition();
  ImageComposition(const ImageComposition&) = delete;
  ImageComposition& operator=(const ImageComposition&) = delete;

  // Ends what was open, then composes; the track's sectors, or 0 on failure.
  uint32_t Compose(FileCollection& collection, const std::string& label, bool playlist, uint32_t start);
  // False when nothing is open.
  bool Read(uint8_t* buffer, uint32_t count);
  void End();

 private:
  void EndLocked();

  iso::UnreadableFileNotifier notify_;
  std::mutex mutex_;
  std::unique_ptr<iso::ImageComposer> composer_;
  std::string layoutPath_;
  std::string playlistPath_;  // written for this composition; deleted at its end
  uint32_t sectors_ = 0;
  uint32_t handedOut_ = 0;
};

}  // namespace dorvik
