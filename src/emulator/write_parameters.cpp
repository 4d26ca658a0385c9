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
  // What a drive holds at power-on: packet (incremental) writing of data,
  // which suits a DVD-R but describes no track a CD can take.
  WriteParametersPage p{};
  p[0] = 0x05;
  p[1] = 0x32;
  p[2] = 0x00;  // packet/incremental
  p[3] = 0x05;  // data, recorded incrementally
  p[4] = 0x08;  // Mode 1
  p[15] = 150;  // audio pause length
  return p;
}

uint32_t WriteParameters::BlockSize(const Disc& disc) const {
  if (!disc.Traits().cd) return 2048;
  switch (dataBlockType) {
    case 0: return 2352;  // audio
    case 1: return 2368;  // raw with P and Q sub-channel
    case 2:
    case 3: return 2448;  // raw with P-W sub-channel
    default: return 2048;
  }
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
    // Blocks this drive records: 2352-byte audio, 2048-byte Mode 1 data, and
    // for raw writing audio with its sub-channel.
    const bool audioBlock = w.dataBlockType <= 3;
    if (w.dataBlockType != 0 && w.dataBlockType != 8 && !(w.writeType == 3 && audioBlock)) return bad;
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
  // Test write is taken and ignored where the medium has no simulation:
  // such a drive records for real.
  return Sense::None();
}

}  // namespace dorvik::emulator
