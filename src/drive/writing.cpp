// Write parameters, WRITE(10), and the commands that end a track or session.
#include <algorithm>
#include <cstring>
#include <vector>

#include "drive/drive.h"
#include "platform/large_file.h"

namespace dorvik {

namespace {

constexpr uint32_t kWriteParametersPage = 0x05;
constexpr uint32_t kPageImageLength = 60;
constexpr uint32_t kModeHeaderLength = 8;
constexpr uint32_t kClosePollMs = 200;
constexpr uint32_t kImmediateSyncPollMs = 500;

}  // namespace

int Recorder::SetWriteParameters(uint8_t writeType, const WriteSettings& settings) {
  if (imageMode_) return 0;
  // The page is built from nothing: values a previous writer left in the
  // drive must not leak into this track.
  uint8_t page[kPageImageLength] = {};
  page[0] = kWriteParametersPage;
  page[1] = 0x32;
  page[2] = static_cast<uint8_t>((writeType & 0x0F) | (settings.testWrite & 1) << 4 |
                                 (settings.linkSizeValid & 1) << 5 | (settings.bufferUnderrunFree & 1) << 6);
  page[3] = static_cast<uint8_t>((settings.trackMode & 0x0F) | (settings.multiSession ? 0xC0 : 0));
  page[4] = settings.dataBlockType & 0x0F;
  page[5] = settings.linkSize;
  page[8] = settings.sessionFormat;
  page[15] = 150;  // audio pause length, bytes 14..15

  // The drive's header and block descriptors are sent back as it gave them.
  std::vector<uint8_t> answer(kModePageAnswerLength, 0);
  ModeSense(answer.data(), kModePageAnswerLength, kWriteParametersPage, id_, &lastSense_);
  const uint32_t descriptors = Be16(answer.data() + 6);
  if (kModeHeaderLength + descriptors + kPageImageLength > kModePageAnswerLength) {
    // More descriptors than the answer can hold: the answer is not
    // believable, and echoing it would send the drive garbage.
    return 1;
  }
  std::vector<uint8_t> list(kModePageAnswerLength, 0);
  std::memcpy(list.data(), answer.data(), kModeHeaderLength + descriptors);
  list[0] = list[1] = 0;  // mode data length is reserved in MODE SELECT
  list[2] = 0;            // medium type
  std::memcpy(list.data() + kModeHeaderLength + descriptors, page, kPageImageLength);
  const uint32_t length = std::min<uint32_t>(Be16(answer.data()) + 2u, kModePageAnswerLength);
  return ModeSelect(list.data(), static_cast<uint16_t>(length));
}

int Recorder::Write10(uint32_t lba, const uint8_t* buffer, uint32_t length, uint32_t blocks) {
  if (imageMode_) {
    // Writing to an image: blocks go to the end of the file, in order.
    try {
      platform::LargeFile file(imagePath_, platform::LargeFile::Mode::Append);
      file.Write(buffer, length);
      file.Close();
      return 0;
    } catch (const platform::FileError&) {
      return 1;
    }
  }
  uint8_t cdb[10] = {0x2A, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  PutBe32(cdb + 2, lba);
  PutBe16(cdb + 7, static_cast<uint16_t>(blocks));
  return Send(cdb, 10, const_cast<uint8_t*>(buffer), length, DirOut, kUnlimitedTimeout);
}

int Recorder::ReadBufferCapacity(uint32_t* size, uint32_t* free) {
  if (imageMode_) return 1;
  uint8_t answer[12] = {};
  const uint8_t cdb[10] = {0x5C, 0, 0, 0, 0, 0, 0, 0, sizeof answer, 0};
  if (Send(cdb, 10, answer, sizeof answer, DirIn, kQuickTimeoutMs) != 0) return 1;
  *size = Be32(answer + 4);
  *free = Be32(answer + 8);
  return 0;
}

int Recorder::ReserveTrack(uint32_t size) {
  if (imageMode_) return 0;
  uint8_t cdb[10] = {0x53, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  PutBe32(cdb + 5, size);
  return Send(cdb, 10, nullptr, 0, DirNone, kQuickTimeoutMs);
}

int Recorder::SynchronizeCache() {
  if (imageMode_) return 0;
  const uint8_t cdb[10] = {0x35, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  const int r = Send(cdb, 10, nullptr, 0, DirNone, kSynchronizeTimeoutMs);
  WaitUntilReady(kClosePollMs);
  return r;
}

int Recorder::SynchronizeCacheImmed(uint8_t immed) {
  if (imageMode_) return 0;
  const uint8_t cdb[10] = {0x35, static_cast<uint8_t>((immed & 1) << 1), 0, 0, 0, 0, 0, 0, 0, 0};
  const int r = Send(cdb, 10, nullptr, 0, DirNone, kSynchronizeTimeoutMs);
  WaitUntilReady(kImmediateSyncPollMs);
  return r;
}

int Recorder::CloseTrack(uint16_t track) {
  if (imageMode_) return 0;
  uint8_t cdb[10] = {0x5B, 0, 0x01, 0, 0, 0, 0, 0, 0, 0};
  PutBe16(cdb + 4, track);
  const int r = Send(cdb, 10, nullptr, 0, DirNone, kQuickTimeoutMs);
  WaitUntilReady(kClosePollMs);  // the close goes on after the short timeout
  return r;
}

int Recorder::CloseSessionImmed() {
  if (imageMode_) return 0;
  const uint8_t cdb[10] = {0x5B, 0x01, 0x02, 0, 0, 0, 0, 0, 0, 0};
  return Send(cdb, 10, nullptr, 0, DirNone, kCloseTimeoutMs);
}

int Recorder::Close(uint8_t function) {
  if (imageMode_) return 0;
  const uint8_t cdb[10] = {0x5B, 0, static_cast<uint8_t>(function & 7), 0, 0, 0, 0, 0, 0, 0};
  const int r = Send(cdb, 10, nullptr, 0, DirNone, kCloseTimeoutMs);
  WaitUntilReady(kClosePollMs);
  return r;
}

}  // namespace dorvik
