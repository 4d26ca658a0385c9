// Where the recorder keeps what was written: 2048-byte blocks in the disc
// file (block n at byte n * 2048), 2352-byte CD audio blocks in the audio
// file beside it (block n at n * 2352). Both are sparse; never-written
// blocks read as zeros.
#include <algorithm>
#include <cstring>

#include "emulator/disc_state_file.h"
#include "emulator/virtual_recorder.h"
#include "platform/files.h"

namespace dorvik::emulator {

void VirtualRecorder::ReadSectors(uint32_t lba, uint32_t count, uint8_t* out) {
  const size_t bytes = static_cast<size_t>(count) * 2048;
  const size_t got = file_.ReadAt(uint64_t{lba} * 2048, out, bytes);
  if (got < bytes) std::memset(out + got, 0, bytes - got);  // never written: sparse zeros
}

void VirtualRecorder::WriteSectors(uint32_t lba, uint32_t count, const uint8_t* in) {
  const uint64_t offset = static_cast<uint64_t>(lba) * 2048;
  const size_t bytes = static_cast<size_t>(count) * 2048;
  // Zeros past the end of the file stay a hole: erasing a DVD+RW by
  // overwriting it must not fill the disk with a third of a disc of zeros.
  // (Data is looked at first: its first byte usually settles it, which
  // spares the file's length being asked for at every write.)
  if (std::all_of(in, in + bytes, [](uint8_t b) { return b == 0; }) && offset >= file_.Length()) {
    file_.SetLength(offset + bytes);
    return;
  }
  // Straight to the file, not gathered in memory: a host that dies mid-track
  // must leave what the drive took on the disc, as a real drive's buffer
  // is written out whatever becomes of the host.
  file_.WriteAt(offset, in, bytes);
}

void VirtualRecorder::ReadAudio(uint32_t lba, uint32_t count, uint8_t* out) {
  const size_t bytes = static_cast<size_t>(count) * kAudioBlockSize;
  size_t got = 0;
  if (!audio_.IsOpen() && platform::PathExists(audioPath_))
    audio_.Open(audioPath_, readOnly_ ? platform::LargeFile::Mode::Read : platform::LargeFile::Mode::ReadWrite);
  if (audio_.IsOpen()) {
    audio_.Seek(static_cast<int64_t>(lba) * kAudioBlockSize);
    got = audio_.Read(out, bytes);
  }
  if (got < bytes) std::memset(out + got, 0, bytes - got);  // padding: digital silence
}

void VirtualRecorder::WriteAudio(uint32_t lba, uint32_t count, const uint8_t* in) {
  if (!audio_.IsOpen())
    audio_.Open(audioPath_, platform::PathExists(audioPath_) ? platform::LargeFile::Mode::ReadWrite
                                                             : platform::LargeFile::Mode::Create);
  audio_.Seek(static_cast<int64_t>(lba) * kAudioBlockSize);
  audio_.Write(in, static_cast<size_t>(count) * kAudioBlockSize);
}

bool VirtualRecorder::AudioAt(uint32_t lba) const {
  if (!disc_.Traits().cd) return false;
  for (const auto& t : disc_.Recorded())
    if (lba >= t.start && lba < t.start + t.written) return t.Audio();
  return false;
}

void VirtualRecorder::EraseSectors() {
  if (readOnly_) return;
  file_.SetLength(0);
  if (audio_.IsOpen() || platform::PathExists(audioPath_)) {
    audio_.Close();
    platform::LargeFile(audioPath_, platform::LargeFile::Mode::Create);
  }
}

}  // namespace dorvik::emulator
