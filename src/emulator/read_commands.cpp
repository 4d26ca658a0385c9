// The recorder's commands that read the medium: its capacity, the disc and
// track information, the table of contents, and the blocks themselves.
#include <algorithm>
#include <cstring>

#include "emulator/answers.h"
#include "emulator/bytes.h"
#include "emulator/cd_sector.h"
#include "emulator/virtual_recorder.h"

namespace dorvik::emulator {

VirtualRecorder::Reply VirtualRecorder::ReadCapacity(uint8_t* data, uint32_t length) {
  if (auto s = NotReady()) return {*s};
  std::vector<uint8_t> answer(8, 0);
  const uint32_t end = disc_.ReadableEnd();
  Put32(answer.data(), end ? end - 1 : 0);
  Put32(answer.data() + 4, 2048);
  return {Sense::None(), CopyAnswer(answer, 8, data, length)};
}

VirtualRecorder::Reply VirtualRecorder::ReadDiscInformation(const uint8_t* cdb, uint8_t* data, uint32_t length) {
  if (cdb[1] & 0x07) return {sense::InvalidFieldInCdb()};  // only standard disc information
  if (auto s = NotReadyForQuery()) return {*s};
  return {Sense::None(), CopyAnswer(DiscInformationAnswer(Shown()), Get16(cdb + 7), data, length)};
}

VirtualRecorder::Reply VirtualRecorder::ReadTrackInformation(const uint8_t* cdb, uint8_t* data, uint32_t length) {
  if (auto s = NotReadyForQuery()) return {*s};
  // Track FFh names the incomplete track on CD and DVD+R only; elsewhere a
  // host asks for the last track's number.
  const bool ffValid = disc_.Traits().cd || disc_.Kind() == MediumKind::DvdPlusR;
  if ((cdb[1] & 0x03) == 1 && Get32(cdb + 2) == 0xFF && !ffValid) return {sense::InvalidFieldInCdb()};
  Sense why;
  auto answer = TrackInformationAnswer(Shown(), cdb[1] & 0x03, Get32(cdb + 2), &why);
  if (!answer) return {why};
  return {Sense::None(), CopyAnswer(*answer, Get16(cdb + 7), data, length)};
}

VirtualRecorder::Reply VirtualRecorder::ReadToc(const uint8_t* cdb, uint8_t* data, uint32_t length) {
  if (auto s = NotReady()) return {*s};
  uint8_t format = cdb[2] & 0x0F;
  if (format == 0 && (cdb[9] >> 6)) format = cdb[9] >> 6;  // the older place of the format field
  std::vector<uint8_t> answer;
  Sense s = TocAnswer(disc_, format, (cdb[1] & 0x02) != 0, cdb[6], answer);
  if (!s.Good()) return {s};
  return {Sense::None(), CopyAnswer(answer, Get16(cdb + 7), data, length)};
}

VirtualRecorder::Reply VirtualRecorder::Read10(const uint8_t* cdb, uint8_t* data, uint32_t length) {
  if (auto s = NotReady()) return {*s};
  const uint32_t lba = Get32(cdb + 2);
  const uint32_t count = Get16(cdb + 7);
  if (count == 0) return {};
  uint32_t bad = 0;
  if (!disc_.Readable(lba, count, &bad)) return {sense::LbaOutOfRange().WithInformation(bad)};
  for (const auto& t : disc_.Recorded())  // audio blocks are read with READ CD only
    if (t.Audio() && disc_.Traits().cd && lba < t.start + t.written && static_cast<uint64_t>(lba) + count > t.start)
      return {sense::IllegalModeForThisTrack().WithInformation(std::max(lba, t.start))};
  const uint32_t whole = std::min<uint32_t>(count, data ? length / 2048 : 0);
  if (whole) ReadSectors(lba, whole, data);
  uint32_t transferred = whole * 2048;
  if (data && whole < count && length > transferred) {
    // A buffer that ends inside a block gets that block's head.
    std::vector<uint8_t> block(2048);
    ReadSectors(lba + whole, 1, block.data());
    std::memcpy(data + transferred, block.data(), length - transferred);
    transferred = length;
  }
  return {Sense::None(), transferred};
}

VirtualRecorder::Reply VirtualRecorder::ReadCd(const uint8_t* cdb, uint8_t* data, uint32_t length) {
  if (auto s = NotReady()) return {*s};
  if (cdb[1] & 0x01) return {sense::InvalidFieldInCdb()};  // relative addressing is obsolete
  const uint8_t sectorType = (cdb[1] >> 2) & 0x07;
  const uint8_t flags = cdb[9];
  const bool sync = flags & 0x80;
  const uint8_t headers = (flags >> 5) & 0x03;
  const bool user = flags & 0x10;
  const bool edc = flags & 0x08;
  const uint8_t c2 = (flags >> 1) & 0x03;
  if (sectorType > 5 || c2 == 3 || (cdb[10] & 0x07) != 0) return {sense::InvalidFieldInCdb()};
  // Combinations a drive refuses: sync without the header, EDC/ECC without
  // the user data it protects.
  if ((sync && !(headers & 1)) || (edc && !user)) return {sense::InvalidFieldInCdb()};
  if (!disc_.Traits().cd) return {sense::IllegalModeForThisTrack()};
  if (sectorType > 2) return {sense::IllegalModeForThisTrack()};  // data is recorded as Mode 1 only
  const uint32_t lba = Get32(cdb + 2);
  const uint32_t count = Get24(cdb + 6);
  if (count == 0) return {};
  uint32_t bad = 0;
  if (!disc_.Readable(lba, count, &bad)) return {sense::LbaOutOfRange().WithInformation(bad)};
  const uint32_t c2Bytes = c2 == 1 ? 294 : c2 == 2 ? 296 : 0;
  // A CD-DA sector is 2352 bytes of user data, with no sync, header or EDC.
  const uint32_t audioSector = (user ? kRawSectorSize : 0) + c2Bytes;
  const uint32_t dataSector = (sync ? 12 : 0) + ((headers & 1) ? 4 : 0) + (user ? 2048 : 0) + (edc ? 288 : 0) + c2Bytes;
  if (!data || (audioSector == 0 && dataSector == 0)) return {};
  std::vector<uint8_t> userData(2048), raw(kRawSectorSize), sector;
  uint32_t transferred = 0;
  for (uint32_t i = 0; i < count && transferred < length; ++i) {
    const bool audio = AudioAt(lba + i);
    if (audio ? sectorType == 2 : sectorType == 1) return {sense::IllegalModeForThisTrack().WithInformation(lba + i)};
    sector.clear();
    if (audio) {
      if (user) {
        sector.resize(kRawSectorSize);
        ReadAudio(lba + i, 1, sector.data());
      }
      sector.resize(audioSector, 0);
    } else {
      ReadSectors(lba + i, 1, userData.data());
      EncodeMode1Sector(lba + i, userData.data(), raw.data());
      if (sync) sector.insert(sector.end(), raw.begin(), raw.begin() + 12);
      if (headers & 1) sector.insert(sector.end(), raw.begin() + 12, raw.begin() + 16);
      if (user) sector.insert(sector.end(), raw.begin() + 16, raw.begin() + 2064);
      if (edc) sector.insert(sector.end(), raw.begin() + 2064, raw.end());
      sector.resize(dataSector, 0);  // C2 pointers: no errors
    }
    const uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(sector.size()), length - transferred);
    if (n) std::memcpy(data + transferred, sector.data(), n);
    transferred += n;
  }
  return {Sense::None(), transferred};
}

}  // namespace dorvik::emulator
