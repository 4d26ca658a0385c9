// What a host sees of a write job: image files of every sector layout, the
// session and tray choices, test writes, progress and names, the host
// message about an unreadable file, stopping, and file output.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "burn_fixture.h"
#include "dorvik.h"

namespace dorvik::test {
namespace {

namespace fs = std::filesystem;

void Save(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// An image whose length is no whole number of sectors: the last sector's
// bytes are written, and the rest of its block is zeros.
TEST(ImageFile, APartSectorAtTheEndIsWrittenWithZerosAfterIt) {
  Burner b("dvd-ram");
  Bytes iso = Burner::Composed("PART", 0);
  iso.resize(iso.size() + 1000);
  for (size_t i = iso.size() - 1000; i < iso.size(); ++i) iso[i] = static_cast<uint8_t>(i | 1);
  const std::string image = b.Tmp() + "/part.iso";
  Save(image, iso);
  ASSERT_EQ(Vuz_WriteImageToCD(image.c_str(), 0), 1);
  Bytes want = iso;
  want.resize((iso.size() + 2047) / 2048 * 2048, 0);
  EXPECT_TRUE(b.Disc(0, want.size() / 2048) == want);
}

TEST(ImageFile, FilesThatAreNoImageAnswerZeroAndWriteNothing) {
  Burner b("cd-r");
  Save(b.Tmp() + "/odd.bin", Bytes(1000, 0x55));
  fs::create_directories(b.Tmp() + "/folder.iso");
  const std::string overlong(5000, 'x');
  for (const std::string& path : {std::string(), std::string("/no/such/image.iso"), b.Tmp() + "/odd.bin",
                                  b.Tmp() + "/folder.iso", overlong})
    EXPECT_EQ(Vuz_WriteImageToCD(path.c_str(), 0), 0) << path;
  EXPECT_EQ(Vuz_WriteImageToCD(nullptr, 0), 0);
  EXPECT_EQ(b.DiscStatus(), 0) << "nothing written";
  for (const auto& e : fs::directory_iterator(b.Tmp()))
    EXPECT_NE(e.path().extension(), ".bcd") << "no layout file for an image job";
}

TEST(SessionChoices, ClosedAndEjectedOrLeftOpenAndReloaded) {
  for (bool open : {false, true}) {
    SCOPED_TRACE(open ? "left open" : "closed");
    Burner b("cd-rw");
    b.AddTree();
    ASSERT_EQ(Vuz_WriteDataCDEx("CHOICES", 0, 0, open, !open), 1);
    EXPECT_EQ(Vuz_IsDeviceReady(), open ? 1 : DORVIK_E_NOT_READY);
    ASSERT_EQ(Vuz_Load(), 1);
    EXPECT_EQ(b.DiscStatus(), open ? 1 : 2);
    EXPECT_EQ(b.DiscInfo().freeBytes > 0, open);
  }
}

// Vuz_WriteDataCD keeps the last choices (session open, no eject): the
// second session's track is the disc's track 2, closed by that number (a
// strict drive refuses to close track 1 again), and holds exactly what is
// composed for its start address.
TEST(SessionChoices, ASecondSessionClosesItsOwnTrack) {
  Burner b("cd-r");
  b.AddTree();
  ASSERT_EQ(Vuz_WriteDataCDEx("FIRST", 0, 0, 1, 0), 1);
  const int32_t second = b.NextWritableAddress();
  ASSERT_GT(second, 1088);
  ASSERT_EQ(Vuz_WriteDataCD("SECOND", 0, 0), 1);
  EXPECT_EQ(b.DiscStatus(), 1);
  EXPECT_GT(b.NextWritableAddress(), second) << "the track was closed";
  const Bytes want = Burner::Composed("SECOND", static_cast<uint32_t>(second));
  EXPECT_TRUE(b.Disc(static_cast<uint32_t>(second), want.size() / 2048) == want);
  b.ExpectXorrisoExtractsTheTree(static_cast<uint32_t>(second));
}

// Through Vuz_WriteDataCDEx the last session's files are taken in first: the
// new session lists them beside the new ones, where they already stand.
TEST(SessionChoices, AnAppendedSessionListsTheOldFilesWithTheNew) {
  Burner b("cd-r");
  b.AddTree();
  ASSERT_EQ(Vuz_WriteDataCDEx("FIRST", 0, 0, 1, 0), 1);
  const int32_t second = b.NextWritableAddress();
  ASSERT_EQ(Vuz_ClearFiles(), 1);
  WriteFile(b.Tmp() + "/new/second.txt", "the second session's own file\n");
  Vuz_AddFiles((b.Tmp() + "/new/second.txt").c_str(), "\\", 0);
  ASSERT_EQ(Vuz_WriteDataCDEx("SECOND", 0, 0, 0, 0), 1);
  EXPECT_EQ(b.DiscStatus(), 2);
  const std::string out = b.ExpectXorrisoExtractsTheTree(static_cast<uint32_t>(second));
  EXPECT_TRUE(ReadBytes(out + "/second.txt") == ReadBytes(b.Tmp() + "/new/second.txt"));
}

// An old entry the new session cannot carry over is told to the host, as a
// file the disc will not show, by its disc path; the rest carry over.
TEST(SessionChoices, AnOldEntryThatCannotBeCarriedOverIsToldToTheHost) {
  Burner b("cd-r");
  WriteFile(b.Tmp() + "/one/keep.txt", "carried over\n");
  WriteFile(b.Tmp() + "/one/lost.txt", "its record will be damaged\n");
  Vuz_AddFiles((b.Tmp() + "/one").c_str(), "\\", 0);
  ASSERT_EQ(Vuz_WriteDataCDEx("FIRST", 0, 0, 1, 0), 1);
  const int32_t second = b.NextWritableAddress();
  // Interleave lost.txt's records (file unit size, byte 26): one extent can
  // no longer describe it.
  {
    std::fstream disc(b.DiscPath(), std::ios::in | std::ios::out | std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(disc)), {});
    int patched = 0;
    for (const std::string& name : {std::string("lost.txt"), std::string("\0l\0o\0s\0t\0.\0t\0x\0t", 16)}) {
      for (size_t at = bytes.find(name); at != std::string::npos; at = bytes.find(name, at + 1)) {
        if (at < 33 || static_cast<uint8_t>(bytes[at - 1]) != name.size()) continue;
        disc.seekp(static_cast<std::streamoff>(at - 33 + 26));
        disc.put(1);
        ++patched;
      }
    }
    ASSERT_EQ(patched, 2) << "a record in each tree";
  }
  b.Restart();
  ASSERT_EQ(Vuz_SetMessageHandle(1, 0x401), 1);
  HostMessages messages;
  WriteFile(b.Tmp() + "/two/new.txt", "the second session's own\n");
  Vuz_AddFiles((b.Tmp() + "/two/new.txt").c_str(), "\\", 0);
  ASSERT_EQ(Vuz_WriteDataCDEx("SECOND", 0, 0, 0, 0), 1);
  const auto received = messages.Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].wParam, 600u);
  EXPECT_EQ(received[0].path, "\\one\\lost.txt");
  DORVIK_REQUIRE_TOOL("xorriso");
  const std::string out = b.Tmp() + "/extracted";
  std::string log;
  ASSERT_EQ(0, RunCommand("LC_ALL=C.UTF-8 xorriso -rom_toc_scan force -load sbsector " + std::to_string(second) +
                              " -indev " + Quote(b.DiscPath()) + " -osirrox on -extract / " + Quote(out),
                          &log))
      << log;
  EXPECT_TRUE(ReadBytes(out + "/one/keep.txt") == ReadBytes(b.Tmp() + "/one/keep.txt"));
  EXPECT_FALSE(fs::exists(out + "/one/lost.txt"));
  EXPECT_TRUE(fs::exists(out + "/new.txt"));
}

// Only a CD keeps a session open; the choice is remembered, so a DVD job
// that clears it leaves the next CD job closing its session.
TEST(SessionChoices, ADvdJobClearsTheOpenSessionChoiceForLaterJobs) {
  Burner b({"dvd-r", "", "", {}, "cd-r"});
  b.AddTree();
  ASSERT_EQ(Vuz_WriteDataCDEx("DVD", 0, 0, 1, 0), 1);
  EXPECT_EQ(b.DiscStatus(), 2);
  ASSERT_EQ(Vuz_SetDevice(2), 1);
  ASSERT_EQ(Vuz_WriteDataCD("CD", 0, 0), 1);
  ASSERT_EQ(Vuz_IsDeviceReady(), 1) << "the eject choice (off) was kept too";
  EXPECT_EQ(b.DiscStatus(), 2);
}

TEST(TestWrite, MediaThatSimulateStayBlankWithNoReservationLeft) {
  for (const char* medium : {"cd-r", "cd-rw", "dvd-r", "dvd-rw-seq"}) {
    SCOPED_TRACE(medium);
    Burner b(medium);
    b.AddTree();
    const uint64_t free = b.DiscInfo().freeBytes;
    ASSERT_EQ(Vuz_WriteDataCDEx("TEST", 0, 1, 0, 0), 1);
    const Burner::Info info = b.DiscInfo();
    EXPECT_EQ(info.blank, 1);
    EXPECT_EQ(info.freeBytes, free);
    EXPECT_EQ(b.DiscStatus(), 0);
    // Nothing of the simulation is in the way of the real burn.
    ASSERT_EQ(Vuz_WriteDataCDEx("TEST", 0, 0, 0, 0), 1);
    const Bytes want = Burner::Composed("TEST", 0);
    EXPECT_TRUE(b.Disc(0, want.size() / 2048) == want);
  }
}

// A collection file that cannot be read while the track streams: the host
// hears of it once, through the message it set, and the track goes on. The
// file stands in a folder after the tree, so the message comes mid-track.
TEST(HostView, ProgressNamesAndTheUnreadableFileMessage) {
  Burner b("cd-r");
  b.AddTree();
  Vuz_AddFiles("/proc/self/mem", "\\zz", 0);  // opens, but every read fails
  ASSERT_EQ(Vuz_SetMessageHandle(7, 0x1234), 1);
  int32_t progressAtMessage = -1;
  std::string nameAtMessage;
  // Heard on the reader thread while it reads the unreadable file: the name
  // shown is still that of a tree file read before it.
  HostMessages messages([&](const HostMessages::Message&) {
    progressAtMessage = Vuz_WriteGetProgress();
    char name[260] = {};
    Vuz_WriteGetCurrBurnFileName(name);
    nameAtMessage = name;
  });

  std::atomic<bool> done{false};
  std::vector<int32_t> progress;
  std::vector<std::string> names;
  std::thread watcher([&] {
    // One more look after the job has returned, so the last name seen is
    // the one the job left.
    for (bool last = false; !last;) {
      last = done;
      progress.push_back(Vuz_WriteGetProgress());
      char name[260] = {};
      Vuz_WriteGetCurrBurnFileName(name);
      if (names.empty() || names.back() != name) names.push_back(name);
    }
  });
  const int32_t result = Vuz_WriteDataCD("NAMES", 0, 0);
  done = true;
  watcher.join();
  ASSERT_EQ(result, 1);

  const auto received = messages.Received();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].window, 7u);
  EXPECT_EQ(received[0].messageId, 0x1234u);
  EXPECT_EQ(received[0].wParam, 600u);
  EXPECT_EQ(received[0].path, "/proc/self/mem");
  EXPECT_GT(progressAtMessage, 0);
  EXPECT_LT(progressAtMessage, 100);

  // Rising while the track is written, back to 0 once it is finished.
  for (size_t i = 1; i < progress.size(); ++i) {
    if (progress[i] != 0) {
      EXPECT_GE(progress[i], progress[i - 1]);
    }
  }
  EXPECT_LE(*std::max_element(progress.begin(), progress.end()), 100);
  EXPECT_EQ(nameAtMessage.rfind(Burner::TreePath() + "/", 0), 0u) << nameAtMessage;
  // The watcher may miss a name that is shown only briefly, never the one
  // the job leaves: empty.
  EXPECT_EQ(names.back(), "");
  b.ExpectXorrisoExtractsTheTree();
}

// Stopped while the writer waits for the ring to fill (the reader is held in
// the host's message handler): no block is written, the session is still
// finished, and the next job on the same library writes the whole disc.
// At full time scale, so the start delay surely outlasts the reader's way to
// the file (every wait here ends early, so the test stays short).
TEST(Stop, DuringTheStartDelayNothingIsWrittenAndTheNextJobWorks) {
  ScopedEnv scale;
  scale.Set("DORVIK_TIME_SCALE", "1");
  Burner b("dvd-ram");
  Vuz_AddFiles("/proc/self/mem", "\\", 0);
  b.AddTree();
  HostMessages messages([](const HostMessages::Message&) { EXPECT_EQ(Vuz_StopWrite(), 1); });
  ASSERT_EQ(Vuz_SetMessageHandle(1, 0x401), 1);
  const size_t threads = ThreadCount();
  ASSERT_EQ(Vuz_WriteDataCDEx("STOPPED", 0, 0, 0, 0), 1);
  EXPECT_LE(ThreadCount(), threads);
  EXPECT_EQ(messages.Received().size(), 1u);
  EXPECT_TRUE(b.Disc(0, 64) == Bytes(64 * 2048, 0)) << "a block was written";
  EXPECT_EQ(Vuz_WriteGetProgress(), 0);

  ASSERT_EQ(Vuz_ClearFiles(), 1);
  b.AddTree();
  ASSERT_EQ(Vuz_WriteDataCDEx("AGAIN", 0, 0, 0, 0), 1);
  const Bytes want = Burner::Composed("AGAIN", 0);
  EXPECT_TRUE(b.Disc(0, want.size() / 2048) == want);
}

TEST(Stop, MidTrackEndsTheTrackAndTheNextJobWorks) {
  Burner b("dvd-ram");
  b.AddTree();
  Vuz_AddFiles("/proc/self/mem", "\\zz", 0);
  int32_t progressAtStop = -1;
  HostMessages messages([&](const HostMessages::Message&) {
    progressAtStop = Vuz_WriteGetProgress();
    Vuz_StopWrite();
  });
  ASSERT_EQ(Vuz_SetMessageHandle(1, 0x401), 1);
  const size_t threads = ThreadCount();
  ASSERT_EQ(Vuz_WriteDataCDEx("STOPPED", 0, 0, 0, 0), 1);
  EXPECT_LE(ThreadCount(), threads);
  EXPECT_GT(progressAtStop, 0);
  EXPECT_LT(progressAtStop, 100);
  const uint64_t written = fs::file_size(b.DiscPath()) / 2048;
  EXPECT_GT(written, 0u);
  // The writer cannot have passed the unreadable file's sector, the image's
  // last file: the track's last block was not written.
  EXPECT_LT(written, Burner::Composed("STOPPED", 0).size() / 2048) << "the track ran on after the stop";

  ASSERT_EQ(Vuz_ClearFiles(), 1);
  b.AddTree();
  ASSERT_EQ(Vuz_WriteDataCDEx("AGAIN", 0, 0, 0, 0), 1);
  const Bytes want = Burner::Composed("AGAIN", 0);
  EXPECT_TRUE(b.Disc(0, want.size() / 2048) == want);
}

TEST(Stop, WithNothingRunningChangesNothing) {
  Burner b("cd-rw");
  EXPECT_EQ(Vuz_StopWrite(), 1);
  b.AddTree();
  ASSERT_EQ(Vuz_WriteDataCDEx("AFTER", 0, 0, 0, 0), 1);
  const Bytes want = Burner::Composed("AFTER", 0);
  EXPECT_TRUE(b.Disc(0, want.size() / 2048) == want);
}

// At full time scale a short track is not waited for past its end: the
// writer's 2000 ms start delay ends once the whole track is in the ring, and
// the job's 5000 ms poll once the last block is written. Either wait run to
// its end would make the job last 2 s or more; this one needs a fraction of
// that. (The recorder's own flush time is set to 0, so only the engine's
// waits count.)
TEST(Waits, AShortTrackIsNotWaitedForPastItsEnd) {
  ScopedEnv scale;
  scale.Set("DORVIK_TIME_SCALE", "1");
  Burner b({"dvd-ram", "sync-cache-ms=0", "", {}, ""});
  WriteFile(b.Tmp() + "/short/one.txt", "a short track\n");
  Vuz_AddFiles((b.Tmp() + "/short/one.txt").c_str(), "\\", 0);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(Vuz_WriteDataCDEx("SHORT", 0, 0, 0, 0), 1);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  EXPECT_LT(ms.count(), 1900) << "a wait ran to its nominal end after the track was done";
  EXPECT_EQ(ReadBytes(b.DiscPath(), 0, 16 * 2048).size(), 16u * 2048) << "the track was written";
}

// File output: every block goes to the file named by DORVIK_TEMP_FILE, which
// the library empties when it starts; the drive gets no data.
TEST(FileOutput, TheBlocksGoToTheFileWhichThenHoldsTheComposedImage) {
  TempFolder out;
  const std::string file = out / "blocks.bin";
  Save(file, Bytes(4096, 0xEE));  // left over from an earlier run
  Burner b({"cd-r", "", "", {{"DORVIK_WRITE_TYPE", "1 (file)"}, {"DORVIK_TEMP_FILE", file}}, ""});
  EXPECT_FALSE(fs::exists(file)) << "emptied when the library started";
  b.AddTree();
  ASSERT_EQ(Vuz_WriteDataCD("FILEOUT", 0, 0), 1);
  const Bytes got = ReadBytes(file), want = Burner::Composed("FILEOUT", 0);
  EXPECT_EQ(got.size(), want.size());
  EXPECT_TRUE(got == want);
  ASSERT_EQ(Vuz_Load(), 1);
  EXPECT_TRUE(b.Disc(0, 64) == Bytes(64 * 2048, 0));
}

TEST(FileOutput, WithoutAFileNamedEveryBlockIsDropped) {
  Burner b({"dvd-ram", "", "", {{"DORVIK_WRITE_TYPE", "1"}}, ""});
  b.AddTree();
  EXPECT_EQ(Vuz_WriteDataCD("NOWHERE", 0, 0), 1);
  EXPECT_TRUE(b.Disc(0, 64) == Bytes(64 * 2048, 0));
}

}  // namespace
}  // namespace dorvik::test
