// Writes seed inputs for the fuzz targets from what the software recorder
// answers (and, for the image-file target, from real image files):
//
//   make_seeds OUT_DIR [IMAGE.iso...]
//
// Each drive-answer target gets one seed per medium: the target's questions
// asked of a recorder with that medium, its answers kept as a script. Each
// IMAGE becomes a pressed disc for those targets too, and seeds the
// image-file target in the 2048-, 2352- and 2448-byte layouts. An IMAGE
// with the recorder's state file beside it (IMAGE.state, a disc the library
// wrote) is that written disc instead, sessions and all.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "answer_script.h"
#include "emulator/virtual_recorder_factory.h"
#include "exercises.h"

namespace fs = std::filesystem;
using namespace dorvik;

namespace {

// What each target is asked by default in a seed.
const uint8_t* ParametersFor(const std::string& target) {
  static const uint8_t configuration[4] = {0x04, 0x00, 0x00, 0x2D};
  static const uint8_t toc[4] = {0x01, 0x00, 0x00, 0x01};
  static const uint8_t modePages[4] = {26, 0x04, 0x08, 0x01};
  static const uint8_t none[4] = {};
  if (target == "configuration") return configuration;
  if (target == "toc") return toc;
  if (target == "mode_pages") return modePages;
  return none;
}

void Write(const fs::path& path, const std::vector<uint8_t>& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// state: the disc's recorded state, put back before each target (each
// starts from the disc as it was); empty for a fresh medium.
bool SeedFromRecorder(const fs::path& out, const fs::path& disc, const std::string& medium, const std::string& label,
                      const fs::path& state = {}) {
  for (const auto& target : fuzz::kDriveTargets) {
    fs::remove(disc.string() + ".state");
    if (!state.empty()) fs::copy_file(state, disc.string() + ".state");
    std::string error;
    auto recorder = CreateVirtualRecorder(disc.string(), medium, &error);
    if (!recorder) {
      std::fprintf(stderr, "make_seeds: %s: %s\n", label.c_str(), error.c_str());
      return false;
    }
    RoutingTransport transport;
    auto recording = std::make_unique<fuzz::RecordingDevice>(*recorder);
    fuzz::RecordingDevice* log = recording.get();
    transport.Attach(fuzz::ScriptedDrive::kId, std::move(recording));
    const uint8_t* parameters = ParametersFor(target.name);
    {
      Recorder drive(fuzz::ScriptedDrive::kId, &transport);
      drive.SetReadyWaitLimit(0);
      target.exercise(drive, &transport, parameters);
    }
    std::vector<uint8_t> seed(parameters, parameters + fuzz::kParameterBytes);
    const auto script = fuzz::SerializeScript(log->Answers());
    seed.insert(seed.end(), script.begin(), script.end());
    Write(out / target.name / ("recorder-" + label), seed);
    transport.Attach(fuzz::ScriptedDrive::kId, nullptr);
  }
  return true;
}

// The image-file target's header, then sector 16 and the sectors 256 and
// 512 of the image, each as the layout puts it.
void SeedImage(const fs::path& out, const std::vector<uint8_t>& image, const std::string& label) {
  struct Layout {
    uint8_t selector;
    uint32_t size, offset;
    const char* name;
  } layouts[] = {{0, 2048, 0, "2048"}, {1, 2352, 16, "2352-mode1"}, {2, 2448, 24, "2448-mode2"}};
  for (const Layout& l : layouts) {
    const uint32_t blocks = static_cast<uint32_t>(image.size() / 2048);
    const uint64_t fileLength = uint64_t{blocks} * l.size / 16;
    std::vector<uint8_t> seed = {l.selector,
                                 static_cast<uint8_t>(fileLength),
                                 static_cast<uint8_t>(fileLength >> 8),
                                 static_cast<uint8_t>(fileLength >> 16),
                                 16, 0, 0, 2, 0x00, 0x10, 48, 0x07};
    for (uint32_t sector : {16u, 256u, 512u}) {
      std::vector<uint8_t> raw(l.size, 0);
      if (l.size != 2048) {
        std::memset(raw.data() + 1, 0xFF, 10);
        raw[15] = l.offset == 24 ? 2 : 1;
      }
      if (uint64_t{sector + 1} * 2048 <= image.size())
        std::memcpy(raw.data() + l.offset, image.data() + uint64_t{sector} * 2048, 2048);
      seed.insert(seed.end(), raw.begin(), raw.end());
    }
    Write(out / "image_file" / (label + "-" + l.name), seed);
  }
}

// Replies the kernel was seen to give on QEMU's drives.
void SeedSense(const fs::path& out) {
  auto reply = [](uint8_t status, uint8_t host, uint8_t driver, uint8_t senseLength, std::vector<uint8_t> sense,
                  std::vector<uint8_t> data) {
    std::vector<uint8_t> seed = {status, host, driver, senseLength, 0x00, 0x08};
    sense.resize(32, 0);
    seed.insert(seed.end(), sense.begin(), sense.end());
    seed.insert(seed.end(), data.begin(), data.end());
    return seed;
  };
  const std::vector<uint8_t> stale = {0x01, 'C', 'D', '0', '0', '1', 0x01, 0x00, 0x20, 0x20};
  Write(out / "sense" / "good", reply(0, 0, 0, 0, {}, stale));
  Write(out / "sense" / "atapi-no-medium",
        reply(2, 0, 8, 18, {0xF0, 0, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x3A, 0x00}, stale));
  Write(out / "sense" / "scsi-cd-invalid-opcode",
        reply(2, 0, 8, 18, {0x70, 0, 0x05, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x20, 0x00}, stale));
  Write(out / "sense" / "virtio-host-error", reply(0, 7, 0, 0, {}, stale));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_seeds OUT_DIR [IMAGE.iso...]\n");
    return 2;
  }
  setenv("DORVIK_TIME_SCALE", "0", 1);
  const fs::path out = argv[1];
  const fs::path work = fs::temp_directory_path() / ("dorvik-seeds-" + std::to_string(getpid()));
  fs::create_directories(work);
  bool ok = true;
  for (const char* medium : {"cd-r", "cd-rw", "dvd-r", "dvd+rw", "dvd-ram", "dvd-rw"})
    ok = SeedFromRecorder(out, work / (std::string(medium) + ".disc"), medium, medium) && ok;
  for (int i = 2; i < argc; ++i) {
    const fs::path image = argv[i];
    const fs::path pressed = work / image.filename();
    fs::copy_file(image, pressed, fs::copy_options::overwrite_existing);
    const fs::path state = image.string() + ".state";
    if (fs::exists(state)) {
      ok = SeedFromRecorder(out, pressed, "cd-r", "written-" + image.stem().string(), state) && ok;
      continue;
    }
    ok = SeedFromRecorder(out, pressed, "cd-rom", "pressed-" + image.stem().string()) && ok;
    SeedImage(out, Read(image), image.stem().string());
  }
  SeedSense(out);
  fs::remove_all(work);
  return ok ? 0 : 1;
}
