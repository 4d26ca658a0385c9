#include "emulator/write_parameters.h"

namespace dorvik::emulator {

WriteParameters WriteParameters::From(const WriteParametersPage& p) {
  WriteParameters w;
  w.writeType = p[2] & 0x0F;
  w.testWrite = (p[2] & 0x10) != 0;
  w.bufferUnderrunFree = (p[2] & 0x40) != 0;
  w.multiSession = static_cast<uint8_t>(p[3] >> 6);
  w.trackMode = p[3] & 0x0F;
  w.dataBlockType = p[4] & 0x0F;
  w.sessionFormat = p[8];
  return w;
}

WriteParametersPage DefaultWriteParameters() {
  WriteParametersPage p{};
  p[0] = 0x05;
  p[1] = 0x32;
  p[2] = 0x41;  // BUFE, track at once
  p[3] = 0x04;  // data track
  p[4] = 0x08;  // Mode 1
  p[15] = 150;  // audio pause length
  return p;
}

WriteParametersPage ChangeableWriteParameters() {
  WriteParametersPage p{};
  p[0] = 0x05;
  p[1] = 0x32;
  p[2] = 0x7F;
  p[3] = 0xFF;
  p[4] = 0x0F;
  p[5] = 0xFF;
  p[7] = 0x3F;
  p[8] = 0xFF;
  for (int i = 10; i < 16; ++i) p[i] = 0xFF;
  return p;
}

Sense ValidateWriteParameters(const uint8_t* page, uint32_t length, const RecorderOptions& options, const Disc* disc) {
  const Sense bad = sense::InvalidFieldInParameterList();
  if (length < 2 || (page[0] & 0x80)) return bad;  // PS is reserved in MODE SELECT
  if (page[1] < 0x32 || page[1] > 0x36 || length < 2u + page[1]) return sense::ParameterListLengthError();
  const uint8_t writeType = page[2] & 0x0F;
  const bool testWrite = (page[2] & 0x10) != 0;
  const uint8_t multiSession = static_cast<uint8_t>(page[3] >> 6);
  const uint8_t trackMode = page[3] & 0x0F;
  const uint8_t dataBlockType = page[4] & 0x0F;
  const uint8_t sessionFormat = page[8];
  if (options.model == DriveModel::DvdReader) return bad;
  if (writeType > 3 || multiSession == 2) return bad;
  if (sessionFormat != 0x00 && sessionFormat != 0x10 && sessionFormat != 0x20) return bad;

  const bool cd = !disc || disc->Traits().cd;
  if (cd) {
    // CD: the write type must be one of the drive's CD write features, the
    // block type must exist and agree with the track mode (data or audio).
    if (writeType == 1 && !options.trackAtOnce) return bad;
    if ((writeType == 2 || writeType == 3) && !options.mastering) return bad;
    const bool audioBlock = dataBlockType <= 3;
    if (!audioBlock && !(dataBlockType >= 8 && dataBlockType <= 13)) return bad;
    if (writeType != 3 && audioBlock != ((trackMode & 0x04) == 0)) return bad;
    return Sense::None();
  }
  // DVD: user data is always 2048-byte blocks; raw and track-at-once
  // recording exist only on CD.
  if (dataBlockType != 8) return bad;
  switch (disc->Traits().recording) {
    case Recording::Sequential:
      if (disc->Kind() == MediumKind::DvdPlusR) {
        if (writeType == 1 || writeType == 3) return bad;
      } else if (writeType != 0 && writeType != 2) {
        return bad;
      }
      break;
    case Recording::Random:
    case Recording::Pressed:
      if (writeType == 1 || writeType == 3) return bad;
      break;
  }
  if (testWrite && !disc->Traits().canTestWrite) return bad;
  return Sense::None();
}

}  // namespace dorvik::emulator
