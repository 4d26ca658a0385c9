#include "emulator/write_parameters.h"

namespace dorvik::emulator {

WriteParameters WriteParameters::From(const uint8_t* p) {
  WriteParameters w;
  w.writeType = p[2] & 0x0F;
  w.testWrite = (p[2] & 0x10) != 0;
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
  const WriteParameters w = WriteParameters::From(page);
  if (options.model == DriveModel::DvdReader) return bad;
  if (w.writeType > 3 || w.multiSession == 2) return bad;
  if (w.sessionFormat != 0x00 && w.sessionFormat != 0x10 && w.sessionFormat != 0x20) return bad;

  const bool cd = !disc || disc->Traits().cd;
  if (cd) {
    // CD: the write type must be one of the drive's CD write features, the
    // block type must exist and agree with the track mode (data or audio).
    if (w.writeType == 1 && !options.trackAtOnce) return bad;
    if ((w.writeType == 2 || w.writeType == 3) && !options.mastering) return bad;
    const bool audioBlock = w.dataBlockType <= 3;
    if (!audioBlock && !(w.dataBlockType >= 8 && w.dataBlockType <= 13)) return bad;
    if (w.writeType != 3 && audioBlock != ((w.trackMode & 0x04) == 0)) return bad;
    return Sense::None();
  }
  // DVD: user data is always 2048-byte blocks; raw and track-at-once
  // recording exist only on CD.
  if (w.dataBlockType != 8) return bad;
  switch (disc->Traits().recording) {
    case Recording::Sequential:
      if (disc->Kind() == MediumKind::DvdPlusR) {
        if (w.writeType == 1 || w.writeType == 3) return bad;
      } else if (w.writeType != 0 && w.writeType != 2) {
        return bad;
      }
      break;
    case Recording::Random:
    case Recording::Pressed:
      if (w.writeType == 1 || w.writeType == 3) return bad;
      break;
  }
  if (w.testWrite && !disc->Traits().canTestWrite) return bad;
  return Sense::None();
}

}  // namespace dorvik::emulator
