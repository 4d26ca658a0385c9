#include "drive/drive.h"

namespace dorvik {

// Until the image-file device exists no image is recognised.
bool Drive::OpenImage(const std::string&) { return false; }

}  // namespace dorvik
