#pragma once
// A library over one software recorder holding a new medium (device 1),
// with a private temporary folder, a fixed clock and a source tree to burn;
// and the independent views of the result: the disc file itself, what
// `dorvik image` composes for the same tree, and what xorriso extracts.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "drive/drive.h"
#include "support/library_fixture.h"

namespace dorvik::test {

using Bytes = std::vector<uint8_t>;
using Tree = std::map<std::string, std::string>;  // relative path -> content; folders "path/" -> ""

void WriteFile(const std::string& path, const std::string& content);
Bytes ReadBytes(const std::string& path, uint64_t offset = 0, uint64_t length = UINT64_MAX);
Tree Snapshot(const std::string& root);
std::string Quote(const std::string& s);
// Threads of this process, to see that a job leaves none behind.
size_t ThreadCount();

// Sets environment variables for the object's life.
class ScopedEnv {
 public:
  ScopedEnv() = default;
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;
  void Set(const std::string& name, const std::optional<std::string>& value);

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

struct DiscSetup {
  std::string medium = "cd-r";
  std::string options;  // DORVIK_VIRTUAL_OPTIONS
  std::string faults;   // DORVIK_VIRTUAL_FAULTS
  std::map<std::string, std::string> env;
  std::string second;  // a second recorder's medium (device 2), if any
};

class Burner {
 public:
  explicit Burner(const DiscSetup& setup);
  explicit Burner(const std::string& medium) : Burner(DiscSetup{medium, "", "", {}, ""}) {}
  ~Burner();

  Recorder& Drive();
  const std::string& DiscPath() const { return disc_; }
  std::string SecondDiscPath() const { return folder_ / "disc2.img"; }
  std::string Tmp() const { return folder_ / "tmp"; }
  // The source tree, made once for the test program: small files, an
  // empty one, one larger than the ring, a nested folder and a name beyond
  // ASCII, all with the same fixed modification time.
  static std::string TreePath();
  // Adds the tree to the root of the collection, as `dorvik image` does.
  void AddTree();
  // Scripted faults (DORVIK_VIRTUAL_FAULTS syntax) for one recorder only,
  // counted from now.
  void AddFaults(const std::string& script, DeviceId id = 1);
  // Restarts the library over the same disc (a new process would).
  void Restart();

  // The track `dorvik image` composes for the tree at start (made once per
  // label, start and playlist choice).
  static Bytes Composed(const std::string& label, uint32_t start, bool playlist = false);
  // count blocks of the disc from lba.
  Bytes Disc(uint32_t lba, uint64_t blocks);
  // xorriso's extraction of the session at sbsector, compared with the
  // tree; returns the folder it extracted to.
  std::string ExpectXorrisoExtractsTheTree(uint32_t sbsector = 0);

  struct Info {
    int32_t result = 0, blank = -1, writable = -1, profile = -1;
    uint64_t freeBytes = 0;
  };
  Info DiscInfo();
  // READ DISC INFORMATION's disc status: 0 empty, 1 appendable, 2 complete
  // (-1 when it cannot be read).
  int DiscStatus();
  // Where the next session would start.
  int32_t NextWritableAddress();

 private:
  TempFolder folder_;
  ScopedEnv env_;
  std::string disc_;
  std::unique_ptr<LibraryRestart> library_;
  std::string medium_;
  std::string second_;
};

// Hears the host messages (Vuz_SetMessageCallback) for the object's life;
// onMessage runs on the library's thread that sends the message.
class HostMessages {
 public:
  struct Message {
    uint32_t window, messageId, wParam;
    std::string path;
  };
  explicit HostMessages(std::function<void(const Message&)> onMessage = {});
  ~HostMessages();
  std::vector<Message> Received() const;

 private:
  static void Callback(void* context, uint32_t window, uint32_t messageId, uint32_t wParam, const char* lParam);
  std::function<void(const Message&)> onMessage_;
  mutable std::mutex mutex_;
  std::vector<Message> received_;
};

}  // namespace dorvik::test
