#include "burn_fixture.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "api/library.h"
#include "dorvik.h"
#include "emulator/fault_script.h"
#include "emulator/virtual_recorder.h"
#include "registry/transport_selector.h"

namespace dorvik::test {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, const std::string& content) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

Bytes ReadBytes(const std::string& path, uint64_t offset, uint64_t length) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(0, std::ios::end);
  const uint64_t size = static_cast<uint64_t>(std::max<std::streamoff>(in.tellg(), 0));
  if (offset >= size) return {};
  length = std::min(length, size - offset);
  Bytes out(length);
  in.seekg(static_cast<std::streamoff>(offset));
  in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(length));
  return out;
}

Tree Snapshot(const std::string& root) {
  Tree tree;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    const std::string rel = fs::relative(e.path(), root).string();
    if (e.is_directory()) {
      tree[rel + "/"] = "";
    } else {
      std::ostringstream content;
      content << std::ifstream(e.path(), std::ios::binary).rdbuf();
      tree[rel] = content.str();
    }
  }
  return tree;
}

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Compared as "no more than before the job": a job must leave no thread of
// its own running, while one the recorder had going before it (a command
// that outlived its timeout) may end during the job.
size_t ThreadCount() {
  // A sanitizer's runtime may start a helper thread with the first thread the
  // process makes; let that happen before anything is counted.
  static const bool warmed = [] {
    std::thread([] {}).join();
    return true;
  }();
  (void)warmed;
  size_t n = 0;
  for (const auto& e : fs::directory_iterator("/proc/self/task")) n += e.is_directory() ? 1 : 0;
  return n;
}

ScopedEnv::~ScopedEnv() {
  for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
    if (it->second) ::setenv(it->first.c_str(), it->second->c_str(), 1);
    else ::unsetenv(it->first.c_str());
  }
}

void ScopedEnv::Set(const std::string& name, const std::optional<std::string>& value) {
  const char* old = std::getenv(name.c_str());
  saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
  if (value) ::setenv(name.c_str(), value->c_str(), 1);
  else ::unsetenv(name.c_str());
}

Burner::Burner(const DiscSetup& setup)
    : disc_(folder_ / "disc.img"), medium_(setup.medium), second_(setup.second) {
  TreePath();  // made under the real temporary folder, before TMPDIR points into this test's
  fs::create_directories(Tmp());
  env_.Set("TMPDIR", Tmp());
  env_.Set("SOURCE_DATE_EPOCH", "1700000000");
  // DORVIK_TEST_RECORDER_OPTIONS (entries separated by ',') runs every burn
  // test again against another kind of drive; a second ctest entry sets it.
  std::string options = setup.options;
  if (const char* more = std::getenv("DORVIK_TEST_RECORDER_OPTIONS"); more && *more) {
    std::string extra = more;
    std::replace(extra.begin(), extra.end(), ',', ';');
    options += (options.empty() ? "" : ";") + extra;
  }
  env_.Set("DORVIK_VIRTUAL_OPTIONS", options);
  env_.Set("DORVIK_VIRTUAL_FAULTS", setup.faults);
  for (const char* name : {"DORVIK_WRITE_TYPE", "DORVIK_TEMP_FILE", "DORVIK_WRITE_LOG", "DORVIK_LOG_DIR"})
    env_.Set(name, std::nullopt);
  for (const auto& [name, value] : setup.env) env_.Set(name, value);

  Restart();
}

std::string Burner::TreePath() {
  static const std::unique_ptr<TempFolder> folder = [] {
    auto f = std::make_unique<TempFolder>();
    const std::string tree = *f / "tree";
    WriteFile(tree + "/readme.txt", "A disc burnt by the tests.\n");
    WriteFile(tree + "/empty.dat", "");
    std::string big(2 * 1024 * 1024 + 1234, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 2654435761u) >> 13);
    WriteFile(tree + "/big.bin", big);
    WriteFile(tree + "/sub/deeper/note.txt", "nested\n");
    WriteFile(tree + "/sub/Ünïcode näme.txt", "utf-8 name\n");
    const auto fixed = fs::file_time_type::clock::now() - std::chrono::hours(24 * 400);
    for (const auto& e : fs::recursive_directory_iterator(tree)) fs::last_write_time(e.path(), fixed);
    return f;
  }();
  return *folder / "tree";
}

Burner::~Burner() { library_.reset(); }

void Burner::Restart() {
  library_.reset();
  library_ = std::make_unique<LibraryRestart>(disc_ + ":" + medium_ +
                                              (second_.empty() ? "" : ";" + SecondDiscPath() + ":" + second_));
  EXPECT_EQ(Vuz_SetDevice(1), 1);
}

void Burner::AddFaults(const std::string& script, DeviceId id) {
  auto* recorder = dynamic_cast<emulator::VirtualRecorder*>(TransportSelector::Instance().Routing()->DeviceFor(id));
  ASSERT_NE(recorder, nullptr);
  std::string error;
  const auto faults = emulator::ParseFaultScript(script, &error);
  ASSERT_TRUE(faults) << error;
  for (const auto& f : *faults) recorder->AddFault(f);
}

Recorder& Burner::Drive() { return *Library::Get().CurrentRecorder(); }

void Burner::AddTree() { Vuz_AddFiles(TreePath().c_str(), "\\", 0); }

// The program composes in the interchange layout unless told otherwise; the
// library writes what its setting says, classic when unset.
static std::string LibraryLayout() {
  const char* setting = std::getenv("DORVIK_ISO_LAYOUT");
  return setting && *setting ? setting : "classic";
}

Bytes Burner::Composed(const std::string& label, uint32_t start, bool playlist) {
  static std::map<std::string, Bytes> made;
  const std::string key = label + "|" + std::to_string(start) + "|" + (playlist ? "p" : "");
  if (auto it = made.find(key); it != made.end()) return it->second;
  TempFolder work;
  const std::string out = work / "composed.iso";
  std::string log;
  // Another process with no recorder of its own (it must not open our disc)
  // and no file output (its library would empty the file).
  const std::string command = "env -u DORVIK_VIRTUAL_FAULTS -u DORVIK_WRITE_TYPE -u DORVIK_TEMP_FILE DORVIK_VIRTUAL_DRIVES= " + std::string(DORVIK_CLI) +
                              " image " + Quote(out) + " " + Quote(TreePath()) + " --layout " + LibraryLayout() + " --label " + Quote(label) +
                              " --start " + std::to_string(start) + (playlist ? " --playlist" : "");
  EXPECT_EQ(0, RunCommand(command, &log)) << log;
  return made[key] = ReadBytes(out);
}

Bytes Burner::Disc(uint32_t lba, uint64_t blocks) {
  Bytes bytes = ReadBytes(disc_, uint64_t{lba} * 2048, blocks * 2048);
  bytes.resize(blocks * 2048, 0);  // never-written blocks read as zeros
  return bytes;
}

std::string Burner::ExpectXorrisoExtractsTheTree(uint32_t sbsector) {
  const std::string out = folder_ / ("extracted-" + std::to_string(sbsector));
  if (!HaveTool("xorriso")) {
    if (std::getenv("DORVIK_REQUIRE_TOOLS")) ADD_FAILURE() << "xorriso missing";
    return out;
  }
  std::string log;
  const std::string load = sbsector ? "-rom_toc_scan force -load sbsector " + std::to_string(sbsector) + " " : "";
  EXPECT_EQ(0, RunCommand("LC_ALL=C.UTF-8 xorriso " + load + "-indev " + Quote(disc_) + " -osirrox on -extract / " +
                              Quote(out), &log))
      << log;
  if (!fs::is_directory(out + "/tree")) {
    ADD_FAILURE() << "no tree extracted: " << log;
    return out;
  }
  const Tree got = Snapshot(out + "/tree");
  EXPECT_EQ(got.size(), Snapshot(TreePath()).size());
  EXPECT_TRUE(got == Snapshot(TreePath())) << "the extracted tree differs from the source";
  return out;
}

Burner::Info Burner::DiscInfo() {
  Info i;
  i.result = Vuz_GetDiscInfoEx(&i.blank, &i.writable, &i.profile, &i.freeBytes);
  return i;
}


int Burner::DiscStatus() {
  uint8_t info[kDiscInformationLength];
  return Drive().ReadDiscInformation(info) == 0 ? info[2] & 3 : -1;
}

int32_t Burner::NextWritableAddress() {
  int32_t nwa = -1;
  Drive().NextWritableAddress(&nwa);
  return nwa;
}

HostMessages::HostMessages(std::function<void(const Message&)> onMessage) : onMessage_(std::move(onMessage)) {
  Vuz_SetMessageCallback(&HostMessages::Callback, this);
}

HostMessages::~HostMessages() { Vuz_SetMessageCallback(nullptr, nullptr); }

std::vector<HostMessages::Message> HostMessages::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

void HostMessages::Callback(void* context, uint32_t window, uint32_t messageId, uint32_t wParam, const char* lParam) {
  auto* self = static_cast<HostMessages*>(context);
  const Message m{window, messageId, wParam, lParam ? lParam : ""};
  {
    std::lock_guard lock(self->mutex_);
    self->received_.push_back(m);
  }
  if (self->onMessage_) self->onMessage_(m);
}

}  // namespace dorvik::test
