#include "emulator/recorder_options.h"

#include <algorithm>

#include "emulator/entry_list.h"

namespace dorvik::emulator {

std::vector<uint16_t> ProfilesOf(DriveModel model) {
  switch (model) {
    case DriveModel::DvdRecorder: return {0x1B, 0x1A, 0x14, 0x13, 0x12, 0x11, 0x10, 0x0A, 0x09, 0x08};
    case DriveModel::CdRecorder: return {0x0A, 0x09, 0x08};
    case DriveModel::DvdReader: return {0x10, 0x08};
  }
  return {};
}

bool ModelSupports(DriveModel model, MediumKind kind) {
  if (model == DriveModel::DvdReader) return true;  // it reads every disc as a ROM
  const auto profiles = ProfilesOf(model);
  return std::find(profiles.begin(), profiles.end(), TraitsOf(kind).profile) != profiles.end();
}

bool ModelWrites(DriveModel model, MediumKind kind) {
  return model != DriveModel::DvdReader && ModelSupports(model, kind) &&
         TraitsOf(kind).recording != Recording::Pressed;
}

namespace {
bool ParseNumber(const std::string& text, uint32_t& out) { return ParseUnsigned(text, 0, 0xFFFFFFFFu, out); }
bool ParseFlag(const std::string& text, bool& out) {
  if (text == "1" || text == "yes" || text == "on") return out = true, true;
  if (text == "0" || text == "no" || text == "off") return out = false, true;
  return false;
}
}  // namespace

bool ParseRecorderOptions(const std::string& text, RecorderOptions& options, std::string* error) {
  for (const std::string& item : SplitEntries(text)) {
    const size_t eq = item.find('=');
    const std::string key = item.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
    bool ok = eq != std::string::npos;
    uint32_t n = 0;
    if (!ok) {
    } else if (key == "vendor") {
      options.vendor = value;
    } else if (key == "product") {
      options.product = value;
    } else if (key == "revision") {
      options.revision = value;
    } else if (key == "model") {
      if (value == "dvd-recorder") options.model = DriveModel::DvdRecorder;
      else if (value == "cd-recorder") options.model = DriveModel::CdRecorder;
      else if (value == "dvd-reader") options.model = DriveModel::DvdReader;
      else ok = false;
    } else if (key == "tao") {
      ok = ParseFlag(value, options.trackAtOnce);
    } else if (key == "mastering") {
      ok = ParseFlag(value, options.mastering);
    } else if (key == "emulate-speed") {
      ok = ParseFlag(value, options.emulateSpeed);
    } else if (key == "buffer") {
      ok = ParseNumber(value, n) && n > 0;
      if (ok) options.bufferBlocks = n;
    } else if (key == "capacity") {
      ok = ParseNumber(value, n) && n > 0;
      if (ok) options.capacity = n;
    } else if (key == "blank-minimal-ms") {
      ok = ParseNumber(value, options.blankMinimalMs);
    } else if (key == "blank-full-ms") {
      ok = ParseNumber(value, options.blankFullMs);
    } else if (key == "close-track-ms") {
      ok = ParseNumber(value, options.closeTrackMs);
    } else if (key == "flush-closes-track") {
      ok = ParseFlag(value, options.flushClosesTrack);
    } else if (key == "ready-while-closing") {
      ok = ParseFlag(value, options.readyWhileClosing);
    } else if (key == "top-write-speeds") {
      ok = ParseFlag(value, options.topWriteSpeeds);
    } else if (key == "close-session-ms") {
      ok = ParseNumber(value, options.closeSessionMs);
    } else if (key == "format-ms") {
      ok = ParseNumber(value, options.formatMs);
    } else if (key == "sync-cache-ms") {
      ok = ParseNumber(value, options.syncCacheMs);
    } else {
      ok = false;
    }
    if (!ok) {
      if (error) *error = "bad recorder option \"" + item + "\"";
      return false;
    }
  }
  return true;
}

}  // namespace dorvik::emulator
