#include "drive/drive.h"
#include "drive/image_file_device.h"

namespace dorvik {

bool Drive::OpenImage(const std::string& path) {
  transport_ = nullptr;
  imageDevice_.reset();
  imagePath_ = path;
  imageMode_ = true;
  imageDevice_ = std::make_unique<ImageFileDevice>(path);
  return imageDevice_->Open();
}

}  // namespace dorvik
