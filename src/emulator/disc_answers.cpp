// READ DISC INFORMATION, READ TRACK INFORMATION and READ TOC/PMA/ATIP: what
// the drive reads from the medium's recorded state.
#include <algorithm>

#include "emulator/answers.h"
#include "emulator/bytes.h"
#include "emulator/cd_sector.h"

namespace dorvik::emulator {

namespace {

void PutMsf(uint8_t* at, int64_t lba) {
  const Msf m = LbaToMsf(lba);
  at[0] = 0;
  at[1] = m.minute;
  at[2] = m.second;
  at[3] = m.frame;
}

void PutAddress(uint8_t* at, uint32_t lba, bool msf) {
  if (msf) PutMsf(at, lba);
  else Put32(at, lba);
}

// The lead-in of a blank CD-R as its ATIP announces it: 97:26:66.
constexpr int64_t kBlankCdLeadIn = (97 * 60 + 26) * 75 + 66 - 450000 - 150;

}  // namespace

std::vector<uint8_t> DiscInformationAnswer(const Disc& disc) {
  std::vector<uint8_t> out(34, 0);
  Put16(out.data(), 32);
  const DiscStatus status = disc.Status();
  out[2] = static_cast<uint8_t>((disc.Traits().erasable ? 0x10 : 0) |
                                (static_cast<uint8_t>(disc.LastSessionState()) << 2) | static_cast<uint8_t>(status));
  out[3] = 1;
  const uint16_t sessions = disc.SessionCount();
  const uint16_t first = disc.FirstTrackInLastSession();
  const uint16_t last = disc.LastTrackInLastSession();
  out[4] = static_cast<uint8_t>(sessions);
  out[5] = static_cast<uint8_t>(first);
  out[6] = static_cast<uint8_t>(last);
  out[9] = static_cast<uint8_t>(sessions >> 8);
  out[10] = static_cast<uint8_t>(first >> 8);
  out[11] = static_cast<uint8_t>(last >> 8);
  out[7] = 0x20;  // unrestricted use
  if (disc.Kind() == MediumKind::DvdPlusRw && disc.Formatted()) out[7] |= 0x03;  // background format complete
  out[8] = 0x00;  // CD-DA or CD-ROM disc
  if (status == DiscStatus::Complete || !disc.Traits().cd) {
    if (disc.Traits().cd) std::fill(out.begin() + 16, out.begin() + 24, 0xFF);
  } else {
    // The lead-in of the session being recorded (or about to be), and the
    // last place a lead-out may start.
    int64_t leadIn = kBlankCdLeadIn;
    if (!disc.Recorded().empty())
      if (auto first = disc.FirstTrackOfSession(sessions)) leadIn = static_cast<int64_t>(first->start) - 150 - 4500;
    PutMsf(out.data() + 16, leadIn);
    PutMsf(out.data() + 20, disc.Capacity());
  }
  return out;
}

std::optional<std::vector<uint8_t>> TrackInformationAnswer(const Disc& disc, uint8_t addressType, uint32_t number,
                                                           Sense* why) {
  std::optional<TrackView> track;
  *why = sense::InvalidFieldInCdb();
  switch (addressType) {
    case 0:
      track = disc.TrackContaining(number);
      if (!track) *why = sense::LbaOutOfRange().WithInformation(number);
      break;
    case 1:
      if (number == 0 || number > 0xFF) return std::nullopt;
      track = disc.Track(static_cast<uint16_t>(number));
      break;
    case 2:
      if (number <= 0xFFFF) track = disc.FirstTrackOfSession(static_cast<uint16_t>(number));
      break;
    default: return std::nullopt;
  }
  if (!track) return std::nullopt;
  const TrackView& t = *track;
  std::vector<uint8_t> out(48, 0);
  Put16(out.data(), 46);
  out[2] = static_cast<uint8_t>(t.number);
  out[3] = static_cast<uint8_t>(t.session);
  out[5] = static_cast<uint8_t>((t.damaged ? 0x20 : 0) | (t.mode & 0x0F));
  out[6] = static_cast<uint8_t>((t.reserved ? 0x80 : 0) | (t.blank ? 0x40 : 0) | (t.blank ? 0x0F : 0x01));
  const bool sequential = disc.Traits().recording == Recording::Sequential;
  const bool recorded = sequential && t.written > 0;
  out[7] = static_cast<uint8_t>((recorded ? 0x02 : 0) | (t.nwaValid ? 0x01 : 0));
  Put32(out.data() + 8, t.start);
  Put32(out.data() + 12, t.nwaValid ? t.nwa : 0);
  Put32(out.data() + 16, t.freeBlocks);
  Put32(out.data() + 20, disc.Traits().cd ? 0 : 16);
  Put32(out.data() + 24, t.size);
  Put32(out.data() + 28, recorded ? t.start + t.written - 1 : 0);
  out[32] = static_cast<uint8_t>(t.number >> 8);
  out[33] = static_cast<uint8_t>(t.session >> 8);
  return out;
}

Sense TocAnswer(const Disc& disc, uint8_t format, bool msf, uint8_t number, std::vector<uint8_t>& out) {
  const auto tracks = disc.TocTracks();
  out.clear();
  if (tracks.empty()) return sense::InvalidFieldInCdb();  // nothing closed yet: a blank disc has no TOC
  const uint8_t lastTrack = static_cast<uint8_t>(tracks.size());
  const uint16_t lastSession = tracks.back().session;
  auto control = [](const TrackRecord& t) { return static_cast<uint8_t>(0x10 | (t.mode & 0x0F)); };

  // A fresh vector holding the 4-byte header, not the caller's of unknown
  // size, so that every later resize is plainly in bounds.
  std::vector<uint8_t> toc(4, 0);
  switch (format) {
    case 0: {
      if (number > lastTrack && number != 0xAA) return sense::InvalidFieldInCdb();
      toc[2] = 1;
      toc[3] = lastTrack;
      auto descriptor = [&](uint8_t adrControl, uint8_t trackNumber, uint32_t lba) {
        const size_t at = toc.size();
        toc.resize(at + 8, 0);
        toc[at + 1] = adrControl;
        toc[at + 2] = trackNumber;
        PutAddress(toc.data() + at + 4, lba, msf);
      };
      if (number != 0xAA)
        for (size_t i = std::max<size_t>(number, 1) - 1; i < tracks.size(); ++i)
          descriptor(control(tracks[i]), static_cast<uint8_t>(i + 1), tracks[i].start);
      descriptor(control(tracks.back()), 0xAA, tracks.back().End());
      break;
    }
    case 1: {
      toc.resize(12, 0);
      toc[2] = 1;
      toc[3] = static_cast<uint8_t>(lastSession);
      size_t firstOfLast = 0;
      while (tracks[firstOfLast].session != lastSession) ++firstOfLast;
      toc[5] = control(tracks[firstOfLast]);
      toc[6] = static_cast<uint8_t>(firstOfLast + 1);
      PutAddress(toc.data() + 8, tracks[firstOfLast].start, msf);
      break;
    }
    case 2: {
      if (!disc.Traits().cd) return sense::InvalidFieldInCdb();
      const uint16_t firstSession = std::max<uint16_t>(number, 1);
      if (firstSession > lastSession) return sense::InvalidFieldInCdb();
      toc[2] = static_cast<uint8_t>(firstSession);
      toc[3] = static_cast<uint8_t>(lastSession);
      auto descriptor = [&](uint16_t session, uint8_t adrControl, uint8_t point, int64_t atime, uint8_t zero,
                            int64_t pointTime, bool pointIsTime, uint8_t pmin, uint8_t psec) {
        uint8_t d[11] = {static_cast<uint8_t>(session), adrControl, 0, point, 0, 0, 0, zero, pmin, psec, 0};
        if (atime >= 0) {
          const Msf m = LbaToMsf(atime);
          d[4] = m.minute;
          d[5] = m.second;
          d[6] = m.frame;
        }
        if (pointIsTime) {
          const Msf m = LbaToMsf(pointTime);
          d[8] = m.minute;
          d[9] = m.second;
          d[10] = m.frame;
        }
        toc.insert(toc.end(), d, d + 11);
      };
      for (uint16_t s = firstSession; s <= lastSession; ++s) {
        size_t first = tracks.size(), last = 0;
        for (size_t i = 0; i < tracks.size(); ++i)
          if (tracks[i].session == s) {
            first = std::min(first, i);
            last = i;
          }
        if (first == tracks.size()) continue;
        const uint8_t ctrl = control(tracks[first]);
        descriptor(s, ctrl, 0xA0, -1, 0, 0, false, static_cast<uint8_t>(first + 1), 0x00);
        descriptor(s, control(tracks[last]), 0xA1, -1, 0, 0, false, static_cast<uint8_t>(last + 1), 0);
        descriptor(s, control(tracks[last]), 0xA2, -1, 0, tracks[last].End(), true, 0, 0);
        for (size_t i = first; i <= last; ++i)
          descriptor(s, control(tracks[i]), static_cast<uint8_t>(i + 1), -1, 0, tracks[i].start, true, 0, 0);
        const bool another = s < lastSession || !disc.Finalized();
        if (another) {
          // Where the next session's program area may begin, and the last
          // place its lead-out may start.
          const auto next = disc.FirstTrackOfSession(static_cast<uint16_t>(s + 1));
          const uint32_t nextStart = next ? next->start : disc.Capacity();
          descriptor(s, 0x50 | (ctrl & 0x0F), 0xB0, static_cast<int64_t>(nextStart) - 150, 0x01,
                     disc.Capacity(), true, 0, 0);
        }
      }
      break;
    }
    default: return sense::InvalidFieldInCdb();
  }
  Put16(toc.data(), static_cast<uint32_t>(toc.size() - 2));
  out = std::move(toc);
  return Sense::None();
}

}  // namespace dorvik::emulator
