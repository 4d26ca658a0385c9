// dorvik burn: files and folders written to a disc as an ISO 9660 + Joliet
// session, through Vuz_WriteDataCDEx, watched while it runs.
#include <cstdio>
#include <string>
#include <vector>

#include "burn_steps.h"
#include "commands.h"
#include "dorvik.h"
#include "host_messages.h"
#include "layout_choice.h"
#include "options.h"
#include "progress.h"
#include "recorder.h"
#include "sources.h"
#include "write_watch.h"

namespace dorvik::cli {

const char kBurnUsage[] =
    "usage: dorvik burn ID SOURCE... [--label L] [--playlist] [--mp3-only] [--test] [--open]\n"
    "                   [--no-eject] [--speed N] [--verify] [--layout classic|interchange]\n"
    "                   [--merge] [--strict]\n"
    "\n"
    "Writes each SOURCE (file or folder) to the root of a new session on the disc\n"
    "in recorder ID. On a CD whose last session was left open, the files of that\n"
    "session are carried over into the new one. A SOURCE of \".\" (or \"DIR/.\")\n"
    "stands for the folder's contents. Sources are checked first, as for\n"
    "`dorvik image`. Shows the progress, the file being written, the rate and the\n"
    "time left; Ctrl-C stops the write (the track is closed so the disc stays\n"
    "readable) and exits with status 130.\n"
    "\n"
    "  --label L    volume label (at most 13 bytes are used)\n"
    "  --playlist   add Playlist.M3U listing every file\n"
    "  --mp3-only   take only .mp3 files from the sources\n"
    "  --test       ask the drive to simulate the write (CD-R, CD-RW, DVD-R and\n"
    "               sequential DVD-RW; refused on other media, whose drives\n"
    "               would write for real)\n"
    "  --open       leave the CD's session open, so a later burn can add to it\n"
    "  --no-eject   leave the tray closed at the end\n"
    "  --speed N    write at N times the medium's 1x speed (the drive takes the\n"
    "               fastest it has at or below it)\n"
    "  --verify     read the written track back and compare it with what was\n"
    "               sent, naming the first file that differs\n"
    "  --layout L   interchange (the default) or classic, as for `dorvik image`\n"
    "  --merge      merge folders of one name from several sources\n"
    "  --strict     stop at any warning about the sources, before anything is\n"
    "               written\n";

int RunBurn(const std::vector<std::string>& args) {
  Arguments a;
  if (!a.Parse(args, {{"--label", true}, {"--playlist", false}, {"--mp3-only", false}, {"--test", false},
                      {"--open", false}, {"--no-eject", false}, {"--speed", true}, {"--verify", false},
                      {"--layout", true}, {"--merge", false}, {"--strict", false}}))
    return UsageError("burn", a.Error(), kBurnUsage);
  if (a.Positional().size() < 2) return UsageError("burn", "a recorder id and at least one source are needed", kBurnUsage);
  const auto layout = ChooseLayout(a);
  if (!layout) return UsageError("burn", "--layout needs classic or interchange", kBurnUsage);
  BurnSettings settings;
  if (!ReadBurnSettings("burn", a, kBurnUsage, settings)) return kExitUsage;
  const auto id = ParseDeviceId("burn", a.Positional()[0]);
  if (!id) return kExitUsage;

  // The recorder first: a wrong id is told before a long walk of the sources.
  TargetDisc target;
  if (!OpenTarget("burn", *id, target) || !TestWriteHonoured("burn", target, settings)) return kExitFailed;

  SourceRules rules;
  rules.interchange = *layout == DORVIK_LAYOUT_INTERCHANGE;
  rules.merge = a.Has("--merge");
  rules.mp3Only = a.Has("--mp3-only");
  const std::vector<std::string> sources(a.Positional().begin() + 1, a.Positional().end());
  const SourceCheck check = CheckSources(sources, rules);
  if (!ReportSourceCheck("burn", check, a.Has("--strict"))) return kExitFailed;
  ApplySpeed("burn", target, settings);

  ListenToLibrary("burn", check.reported);
  Vuz_SetImageLayout(*layout);
  for (const Addition& add : check.additions)
    Vuz_AddFiles(add.source.c_str(), add.discFolder.c_str(), rules.mp3Only ? 1 : 0);
  const std::string label = a.Value("--label").value_or("");
  const bool playlist = a.Has("--playlist");

  std::printf("burning %llu file%s (%s) to the %s in %s%s\n", static_cast<unsigned long long>(check.files),
              check.files == 1 ? "" : "s", Megabytes(check.bytes).c_str(), MediumPhrase(target.disc).c_str(),
              RecorderPhrase(target.recorder).c_str(), settings.testWrite ? " (simulated)" : "");
  std::fflush(stdout);
  // The track is the files plus a little for the file system; the amounts
  // shown follow the library's percentage of it.
  const uint64_t trackBytes = check.bytes + 1024 * 1024;
  // The tray opens after the check, not before it.
  const bool verifying = settings.verify && !settings.testWrite;
  if (settings.verify && settings.testWrite)
    std::printf("no verify: a simulated write records nothing to read back\n");
  const WriteOutcome outcome = WatchWrite(
      "burn",
      [&] {
        return Vuz_WriteDataCDEx(label.c_str(), playlist ? 1 : 0, settings.testWrite ? 1 : 0, settings.leaveOpen ? 1 : 0,
                                 settings.eject && !verifying ? 1 : 0);
      },
      trackBytes, SpeedUnit(target.disc.profile));
  if (outcome.result != DORVIK_OK) {
    if (outcome.result == DORVIK_E_TOO_BIG)
      std::fprintf(stderr, "dorvik burn: %s\n", OverflowText(label, playlist, target).c_str());
    else
      std::fprintf(stderr, "dorvik burn: %s\n", WriteFailureText(outcome.result, target).c_str());
    return outcome.interrupted ? kExitInterrupted : kExitFailed;
  }
  if (outcome.interrupted) {
    std::fprintf(stderr, "dorvik burn: %s\n", StoppedReport(outcome, trackBytes).c_str());
    return kExitInterrupted;
  }
  std::printf("burned in %s: %s%s\n", Duration(outcome.seconds).c_str(),
              settings.testWrite ? "simulated, nothing was recorded" : "done",
              settings.leaveOpen && IsCd(target.disc.profile) && !settings.testWrite
                  ? "; the session is left open for another"
                  : "");
  int status = kExitOk;
  if (const size_t left = FilesLeftOut(); left > 0) {
    std::fprintf(stderr, "dorvik burn: %zu file%s could not be read while writing; the disc does not hold %s whole\n",
                 left, left == 1 ? "" : "s", left == 1 ? "it" : "them");
    status = kExitFailed;
  }
  if (verifying && !VerifyWritten("burn", target, settings.eject)) status = kExitFailed;
  return status;
}

}  // namespace dorvik::cli
