#pragma once
// A disc file in a software recorder, written session by session with plain
// recorder commands (write parameters, WRITE(10), close track and session),
// and read back by xorriso the way a reader of the finished disc would.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "collection/file_collection.h"
#include "drive/drive.h"
#include "emulator/virtual_recorder.h"
#include "iso/image_composer.h"
#include "support/library_fixture.h"
#include "transport/routing_transport.h"

namespace dorvik::test {

namespace fs = std::filesystem;

inline void WriteFiles(const std::string& root, const std::map<std::string, std::string>& files) {
  for (const auto& [path, content] : files) {
    const fs::path p = fs::path(root) / path;
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << content;
  }
}

// Every file under root (relative path -> content) and every folder ("path/" -> "").
inline std::map<std::string, std::string> ReadTree(const std::string& root) {
  std::map<std::string, std::string> tree;
  if (!fs::exists(root)) return tree;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string relative = fs::relative(e.path(), root).string();
    if (e.is_directory()) {
      tree[relative + "/"] = "";
    } else {
      std::ifstream in(e.path(), std::ios::binary);
      tree[relative] = std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  return tree;
}

class RecordedDisc {
 public:
  // A recorder of its own over the disc file (a new one of that medium when
  // there is none).
  RecordedDisc(const std::string& path, const std::string& medium) : path_(path), medium_(medium) { Load(); }
  // A recorder someone else holds (the library's), over the disc file at path.
  RecordedDisc(Recorder& drive, const std::string& path, const std::string& medium)
      : path_(path), medium_(medium), external_(&drive) {}

  // A new recorder object over the same files, as another process would open them.
  void Load() {
    if (external_) return;
    recorder_.reset();
    transport_ = std::make_unique<RoutingTransport>();
    std::string error;
    auto device = emulator::VirtualRecorder::Open(path_, medium_, {}, &error);
    EXPECT_TRUE(device) << error;
    transport_->Attach(1, std::move(device));
    recorder_ = std::make_unique<Recorder>(1, transport_.get());
  }

  Recorder& drive() { return external_ ? *external_ : *recorder_; }
  const std::string& path() const { return path_; }

  // Composes the collection at the next writable address (in the given
  // image layout, else the configured one) and writes it as one
  // track-at-once data track, then closes the track and the session
  // (leaving the disc appendable when asked). Returns the track's start.
  uint32_t WriteSession(FileCollection& collection, bool leaveOpen, const std::string& scratch,
                        uint32_t* sectors = nullptr, iso::IsoLayout imageLayout = iso::ConfiguredIsoLayout()) {
    int32_t nwa = 0;
    EXPECT_EQ(0, drive().NextWritableAddress(&nwa));
    const std::string layout = scratch + "/layout.bcd";
    collection.PrepareForWrite(layout, false, "SESSION");
    iso::ImageComposer composer({}, imageLayout);
    EXPECT_TRUE(composer.Compose(layout, 1, 1, collection.GetWorkspacePath(), static_cast<uint32_t>(nwa)));
    std::vector<uint8_t> image(uint64_t{composer.PaddedSize()} * 2048);
    for (uint32_t i = 0; i < composer.PaddedSize(); ++i) composer.ReadNextSector(image.data() + i * 2048ull, 2048);
    WriteTrack(image, static_cast<uint32_t>(nwa), leaveOpen);
    if (sectors) *sectors = composer.PaddedSize();
    return static_cast<uint32_t>(nwa);
  }

  // Writes ready-made sectors (2048 bytes; 2352 for a CD audio track, when
  // asked) as one track at the next writable address (track at once on CD,
  // incremental on DVD) and closes the track and, unless told not to, the
  // session.
  void WriteTrack(const std::vector<uint8_t>& image, uint32_t start, bool leaveOpen, bool closeSession = true,
                  bool audio = false) {
    WriteSettings settings;
    settings.trackMode = audio ? 0 : 4;
    settings.dataBlockType = audio ? 0 : 8;
    settings.multiSession = leaveOpen ? 1 : 0;
    const bool dvd = medium_.rfind("dvd", 0) == 0;
    ASSERT_EQ(0, drive().SetWriteParameters(dvd ? kWritePacket : kWriteTrackAtOnce, settings));
    const uint32_t blockBytes = audio ? 2352 : 2048;
    const uint32_t blocks = static_cast<uint32_t>((image.size() + blockBytes - 1) / blockBytes);
    std::vector<uint8_t> padded(image);
    padded.resize(uint64_t{(blocks + 15) / 16 * 16} * blockBytes, 0);
    for (uint32_t at = 0; at < blocks; at += 16)
      ASSERT_EQ(0, drive().Write10(start + at, padded.data() + uint64_t{at} * blockBytes, 16 * blockBytes, 16))
          << "at " << at;
    ASSERT_EQ(0, drive().SynchronizeCache());
    ASSERT_EQ(0, drive().CloseTrack(0xFF));
    if (closeSession) {
      ASSERT_EQ(0, drive().Close(2));
    }
  }

  // The tree xorriso extracts from the session starting at sbsector.
  std::map<std::string, std::string> Extract(uint32_t sbsector, const std::string& into) {
    fs::remove_all(into);
    std::string output;
    const int status = RunCommand("xorriso -abort_on FAILURE -rom_toc_scan force -load sbsector " +
                                      std::to_string(sbsector) + " -indev '" + path_ + "' -osirrox on -extract / '" +
                                      into + "'",
                                  &output);
    EXPECT_EQ(0, status) << output;
    return ReadTree(into);
  }

 private:
  std::string path_, medium_;
  Recorder* external_ = nullptr;
  std::unique_ptr<RoutingTransport> transport_;
  std::unique_ptr<Recorder> recorder_;
};

}  // namespace dorvik::test
