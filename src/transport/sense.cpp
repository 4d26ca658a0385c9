#include "transport/scsi_transport.h"

namespace dorvik {

void FillSenseFromFixedFormat(uint8_t scsiStatus, const uint8_t* sense, uint32_t senseLength, SenseResult* out) {
  if (!out) return;
  *out = SenseResult{};
  auto at = [&](uint32_t i) -> uint8_t { return (sense && i < senseLength) ? sense[i] : 0; };
  out->information = static_cast<uint32_t>(at(8)) | (static_cast<uint32_t>(at(9)) << 8) |
                     (static_cast<uint32_t>(at(10)) << 16) | (static_cast<uint32_t>(at(11)) << 24);
  out->senseKey = at(2) & 0x0F;
  out->asc = at(12);
  out->ascq = at(13);
  out->status = scsiStatus;
}

}  // namespace dorvik
