#include "emulator/disc_state_file.h"

#include <cstdio>
#include <istream>
#include <sstream>

#include "platform/large_file.h"

namespace dorvik::emulator {

std::string StateFilePath(const std::string& discPath) { return discPath + ".state"; }
std::string AudioFilePath(const std::string& discPath) { return discPath + ".audio"; }

std::string FormatDiscState(const Disc& disc) {
  std::ostringstream s;
  s << "dorvik-virtual-disc 1\n"
    << "medium " << disc.Traits().name << "\n"
    << "capacity " << disc.Capacity() << "\n"
    << "formatted " << (disc.Formatted() ? 1 : 0) << "\n"
    << "closed-sessions " << disc.ClosedSessions() << "\n"
    << "finalized " << (disc.Finalized() ? 1 : 0) << "\n";
  for (const auto& t : disc.Recorded())
    s << "track " << t.session << ' ' << t.start << ' ' << t.reserved << ' ' << t.written << ' '
      << (t.closed ? 1 : 0) << ' ' << static_cast<unsigned>(t.mode) << ' ' << (t.damaged ? 1 : 0) << "\n";
  s << "end\n";
  return s.str();
}

std::optional<Disc> ParseDiscState(const std::string& text, std::string* error) {
  auto fail = [&](const std::string& why) -> std::optional<Disc> {
    if (error) *error = "disc state: " + why;
    return std::nullopt;
  };
  std::istringstream in(text);
  std::string line;
  if (!std::getline(in, line) || line != "dorvik-virtual-disc 1") return fail("unknown format");
  std::optional<MediumKind> kind;
  unsigned long long capacity = 0, closedSessions = 0;
  int formatted = -1, finalized = -1;
  bool ended = false;
  std::vector<TrackRecord> tracks;
  while (std::getline(in, line)) {
    std::istringstream f(line);
    std::string key;
    f >> key;
    if (key == "medium") {
      std::string name;
      f >> name;
      kind = MediumByName(name);
      if (!kind) return fail("unknown medium " + name);
    } else if (key == "capacity") {
      f >> capacity;
    } else if (key == "formatted") {
      f >> formatted;
    } else if (key == "closed-sessions") {
      f >> closedSessions;
    } else if (key == "finalized") {
      f >> finalized;
    } else if (key == "track") {
      unsigned long long session, start, reserved, written;
      int closed;
      unsigned mode;
      f >> session >> start >> reserved >> written >> closed >> mode;
      // The damage field came later: a line without it is an undamaged track.
      int damaged = 0;
      if (f && !f.eof() && !(f >> std::ws).eof()) f >> damaged;
      if (!f || session > 0xFFFF || start > 0xFFFFFFFFull || reserved > 0xFFFFFFFFull ||
          written > 0xFFFFFFFFull || mode > 15 || (closed != 0 && closed != 1) || (damaged != 0 && damaged != 1))
        return fail("bad track line");
      tracks.push_back(TrackRecord{static_cast<uint16_t>(session), static_cast<uint32_t>(start),
                                   static_cast<uint32_t>(reserved), static_cast<uint32_t>(written), closed == 1,
                                   static_cast<uint8_t>(mode), damaged == 1});
    } else if (key == "end") {
      ended = true;
      break;
    } else {
      return fail("unknown line");
    }
    if (f.fail()) return fail("bad line \"" + line + "\"");
  }
  if (!ended || !kind || capacity == 0 || capacity > 0xFFFFFFF0ull || formatted < 0 || formatted > 1 ||
      finalized < 0 || finalized > 1 || closedSessions > 0xFFFF)
    return fail("incomplete");
  auto disc = Disc::Restore(*kind, static_cast<uint32_t>(capacity), formatted == 1,
                            static_cast<uint16_t>(closedSessions), finalized == 1, std::move(tracks));
  if (!disc) return fail("inconsistent tracks");
  return disc;
}

void SaveDiscState(const std::string& path, const Disc& disc) {
  const std::string text = FormatDiscState(disc);
  const std::string temp = path + ".new";
  {
    // Rewritten in place, never through a link planted under the name.
    platform::LargeFile f(temp, platform::LargeFile::Mode::Rewrite);
    f.Write(text.data(), text.size());
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) throw platform::FileError(errno, path, "cannot replace");
}

std::optional<Disc> LoadDiscState(const std::string& path, std::string* error) {
  try {
    platform::LargeFile f(path, platform::LargeFile::Mode::Read);
    const uint64_t length = f.Length();
    if (length > (1u << 20)) {
      if (error) *error = "disc state: file too large";
      return std::nullopt;
    }
    std::string text(static_cast<size_t>(length), '\0');
    text.resize(f.Read(text.data(), text.size()));
    return ParseDiscState(text, error);
  } catch (const platform::FileError& e) {
    if (error) *error = e.what();
    return std::nullopt;
  }
}

}  // namespace dorvik::emulator
