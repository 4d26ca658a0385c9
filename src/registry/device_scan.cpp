#include "registry/device_scan.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

#include "emulator/virtual_recorder_factory.h"
#include "platform/files.h"

namespace dorvik {
namespace {

bool LooksLikeMediumName(const std::string& text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '+';
  });
}

std::string Folded(const std::string& name) {
  std::string out;
  for (char c : name)
    if (c != '-' && c != '_' && c != ' ') out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string UnknownMediumText(const std::string& medium) {
  std::string known, guess;
  for (const std::string& name : VirtualMediumNames()) {
    known += (known.empty() ? "" : " ") + name;
    if (guess.empty() && Folded(name) == Folded(medium)) guess = name;
  }
  std::string text = "unknown medium \"" + medium + "\"";
  if (!guess.empty()) text += " (did you mean " + guess + "?)";
  return text + "; known media: " + known + ". No recorder was made for it";
}

SetupProblem SettingProblem(std::string subject, std::string text, DeviceId madeAs = 0) {
  SetupProblem p;
  p.kind = SetupProblem::Kind::Setting;
  p.subject = std::move(subject);
  p.text = std::move(text);
  p.madeAs = madeAs;
  return p;
}

}  // namespace

std::vector<VirtualDriveSpec> ParseVirtualDrives(const std::string& text) {
  std::vector<VirtualDriveSpec> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string::npos) end = text.size();
    std::string item = text.substr(start, end - start);
    start = end + 1;
    if (item.empty()) {
      if (end == text.size()) break;
      continue;
    }
    VirtualDriveSpec entry;
    entry.entry = item;
    entry.path = item;
    if (auto colon = item.rfind(':'); colon != std::string::npos) {
      std::string medium = item.substr(colon + 1);
      if (IsVirtualMediumName(medium)) {
        entry.path = item.substr(0, colon);
        entry.medium = medium;
      } else if (LooksLikeMediumName(medium)) {
        entry.unknownMedium = medium;
      }
    }
    if (!entry.path.empty()) out.push_back(std::move(entry));
    if (end == text.size()) break;
  }
  return out;
}

void AppendVirtualDrives(std::vector<DeviceCandidate>& out, unsigned firstId,
                         const std::function<void(SetupProblem)>& report) {
  const char* list = std::getenv("DORVIK_VIRTUAL_DRIVES");
  if (!list || !*list) return;
  if (std::string error; !CheckVirtualSettings(&error)) {
    const std::string setting = error.substr(0, error.find(':'));
    report(SettingProblem(setting, error.substr(error.find(':') + 2) + "; no software recorder was made"));
    return;
  }
  unsigned next = firstId;
  for (const auto& entry : ParseVirtualDrives(list)) {
    if (next > kLastUsableId) {
      report(SettingProblem(entry.entry, "no device id is left for it (the last is 254)"));
      continue;
    }
    if (!entry.unknownMedium.empty() && !platform::PathExists(entry.path)) {
      report(SettingProblem(entry.entry, UnknownMediumText(entry.unknownMedium)));
      continue;
    }
    if (const std::string folder = platform::FolderOf(entry.path);
        !folder.empty() && !platform::PathExists(entry.path) && !platform::IsDirectory(folder)) {
      report(SettingProblem(entry.entry, "the folder " + folder + " does not exist; no recorder was made for it"));
      continue;
    }
    std::string error, note;
    auto device = CreateVirtualRecorder(entry.path, entry.medium, &error, &note);
    if (!device) {  // an unusable disc file is no recorder
      report(SettingProblem(entry.entry, error + "; no recorder was made for it"));
      continue;
    }
    const auto id = static_cast<DeviceId>(next++);
    if (!note.empty()) report(SettingProblem(entry.entry, note, id));
    out.push_back({id, std::move(device)});
  }
}

}  // namespace dorvik
