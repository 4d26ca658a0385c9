// A track-information record made from the table of contents, for drives
// that do not answer READ TRACK INFORMATION.
#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "drive/drive.h"

namespace dorvik {

namespace {

constexpr uint32_t kFullTocDescriptor = 11;
constexpr uint32_t kTocTrackDescriptor = 8;

struct TocTrack {
  uint8_t number = 0;
  uint8_t control = 0;
  int32_t start = 0;
};

struct TocSession {
  std::vector<TocTrack> tracks;
  std::optional<int32_t> leadOut;       // point 0xA2
  std::optional<int32_t> nextProgram;   // point 0xB0
};

// One full-TOC descriptor: session, ADR/CONTROL, TNO, POINT, MIN, SEC,
// FRAME, ZERO, PMIN, PSEC, PFRAME. ZERO stands in for an hour byte.
int32_t PointAddress(const uint8_t* d) { return MsfToLba(d[7], d[8], d[9], d[10]); }

// A track that ends before it starts (a TOC out of order) has no room.
uint32_t SizeField(int64_t size) { return size > 0 ? static_cast<uint32_t>(std::min<int64_t>(size, 0xFFFFFFFF)) : 0; }

std::vector<TocSession> SessionsOfFullToc(const uint8_t* toc, uint32_t length) {
  const uint32_t dataLength = Be16(toc);
  uint32_t count = dataLength >= 2 ? (dataLength - 2) / kFullTocDescriptor : 0;
  count = std::min(count, (length - 4) / kFullTocDescriptor);  // a data length beyond the answer is cut

  // Sessions in the order the TOC first names them.
  std::vector<uint8_t> numbers;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t s = toc[4 + i * kFullTocDescriptor];
    if (std::find(numbers.begin(), numbers.end(), s) == numbers.end()) numbers.push_back(s);
  }
  std::vector<TocSession> sessions;
  for (uint8_t s : numbers) {
    const uint8_t* first = nullptr;
    const uint8_t* last = nullptr;
    TocSession session;
    auto find = [&](uint8_t point) -> const uint8_t* {
      for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* d = toc + 4 + i * kFullTocDescriptor;
        // ADR 5 entries reuse low point numbers for other purposes.
        if (d[0] == s && d[3] == point && (d[1] >> 4) != 5) return d;
      }
      return nullptr;
    };
    first = find(0xA0);
    last = find(0xA1);
    if (const uint8_t* a2 = find(0xA2)) session.leadOut = PointAddress(a2);
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t* d = toc + 4 + i * kFullTocDescriptor;
      if (d[0] == s && d[3] == 0xB0) session.nextProgram = PointAddress(d);
    }
    if (first && last) {
      for (uint32_t t = first[8]; t <= last[8] && t <= 99; ++t) {
        if (const uint8_t* d = find(static_cast<uint8_t>(t)))
          session.tracks.push_back({static_cast<uint8_t>(t), static_cast<uint8_t>(d[1] & 0x0F), PointAddress(d)});
      }
    }
    sessions.push_back(std::move(session));
  }
  return sessions;
}

}  // namespace

// Track and data mode of a track from its control nibble; a data track's
// mode comes from the header of a sector inside it.
static void FillModes(Drive& drive, uint8_t* record, uint8_t control, int32_t start) {
  if (control >= 4) {
    record[5] = (record[5] & 0xF0) | 4;
    std::vector<uint8_t> sector(kRawSectorLength, 0);
    const bool read = drive.ReadRawSectors(sector.data(), kRawSectorLength, 1, static_cast<uint32_t>(start + 16)) == 0;
    const bool mode2 = read && sector[15] == 2 && sector[1] == 0xFF && sector[2] == 0xFF && sector[3] == 0xFF &&
                       sector[4] == 0xFF;
    record[6] = (record[6] & 0xF0) | (mode2 ? 2 : 1);
  } else {
    record[5] = record[5] & 0xF0;
    record[6] = (record[6] & 0xF0) | 1;
  }
}

static int FromFullToc(Drive& drive, const uint8_t* toc, uint8_t* record, uint8_t addressType, uint32_t number) {
  const auto sessions = SessionsOfFullToc(toc, kTocAnswerLength);
  // Every track in search order, to find the next track across sessions.
  struct Place {
    size_t session;
    size_t track;
  };
  std::vector<Place> order;
  for (size_t s = 0; s < sessions.size(); ++s)
    for (size_t t = 0; t < sessions[s].tracks.size(); ++t) order.push_back({s, t});

  for (size_t i = 0; i < order.size(); ++i) {
    const TocSession& session = sessions[order[i].session];
    const TocTrack& track = session.tracks[order[i].track];
    bool match;
    if (addressType == 1) {
      match = track.number == number;
    } else {
      const int64_t address = static_cast<int32_t>(number);
      match = track.start <= address && (i + 1 == order.size() || address < sessions[order[i + 1].session]
                                                                                   .tracks[order[i + 1].track]
                                                                                   .start);
    }
    if (!match) continue;

    int64_t size;
    if (order[i].track + 1 < session.tracks.size()) {
      size = static_cast<int64_t>(session.tracks[order[i].track + 1].start) - track.start;
    } else if (session.leadOut) {
      size = static_cast<int64_t>(*session.leadOut) - track.start;
    } else if (session.nextProgram) {
      size = static_cast<int64_t>(*session.nextProgram) - track.start;
    } else if (order[i].session + 1 < sessions.size()) {
      const auto& later = sessions[order[i].session + 1].tracks;
      auto next = std::find_if(later.begin(), later.end(), [&](const TocTrack& t) { return t.number == track.number + 1; });
      if (next == later.end()) return 1;
      size = static_cast<int64_t>(next->start) - track.start;
    } else {
      return 1;
    }
    std::memset(record, 0, kTrackInformationLength);
    record[2] = track.number;
    record[3] = static_cast<uint8_t>(order[i].session + 1);
    FillModes(drive, record, track.control, track.start);
    PutBe32(record + 8, static_cast<uint32_t>(track.start));
    PutBe32(record + 24, SizeField(size));
    return 0;
  }
  return 0;  // no such track: the record stays as it was
}

static int FromFormattedToc(Drive& drive, const uint8_t* toc, uint8_t* record, uint8_t addressType,
                            uint32_t number) {
  const uint8_t firstTrack = toc[2];
  const uint8_t lastTrack = toc[3];
  if (firstTrack > lastTrack) return 1;
  // The data length counts the bytes after its own two.
  const uint32_t end = std::min<uint32_t>(kTocAnswerLength, Be16(toc) + 2u);
  uint32_t counted = firstTrack;
  for (uint32_t pos = 4;; pos += kTocTrackDescriptor, ++counted) {
    if (counted > lastTrack) return 1;
    // The matching descriptor and the one after it (the next track or the
    // lead-out) must both lie within the answer.
    if (pos + 2 * kTocTrackDescriptor > end) return 0;
    const uint8_t* d = toc + pos;
    const uint8_t* next = d + kTocTrackDescriptor;
    const int64_t start = static_cast<int32_t>(Be32(d + 4));
    const int64_t nextStart = static_cast<int32_t>(Be32(next + 4));
    const int64_t address = static_cast<int32_t>(number);
    const bool match = addressType == 1 ? d[2] == number : (start <= address && address < nextStart);
    if (!match) continue;
    std::memset(record, 0, kTrackInformationLength);
    record[2] = static_cast<uint8_t>(counted);
    record[3] = 1;
    FillModes(drive, record, d[1] & 0x0F, static_cast<int32_t>(start));
    PutBe32(record + 8, static_cast<uint32_t>(start));
    PutBe32(record + 24, SizeField(nextStart - start));
    return 0;
  }
}

int Drive::TrackInfoFromToc(uint8_t* record, uint8_t addressType, uint32_t number) {
  if (addressType > 1) return 1;
  std::vector<uint8_t> toc(kTocAnswerLength, 0);
  if (ReadToc(toc.data(), kTocAnswerLength, 2, 0) == 0) {
    if (ReadToc(toc.data(), kTocAnswerLength, 2, 0) != 0) return 1;
    return FromFullToc(*this, toc.data(), record, addressType, number);
  }
  if (ReadToc(toc.data(), kTocAnswerLength, 0, 0) != 0) return 1;
  return FromFormattedToc(*this, toc.data(), record, addressType, number);
}

}  // namespace dorvik
