// Disc and track information: address arithmetic, track records made from
// the TOC, next writable address, free space, blank and file-system tests.
#include <gtest/gtest.h>

#include "drive_answers.h"

namespace dorvik {
namespace {

using namespace test;

// LBA to the absolute MSF the TOC carries.
Bytes Msf(int32_t lba) {
  const int32_t a = lba + 150;
  return {static_cast<uint8_t>(a / 4500), static_cast<uint8_t>(a / 75 % 60), static_cast<uint8_t>(a % 75)};
}

// One full-TOC descriptor pointing at lba (or, for A0/A1, at a track number).
Bytes Point(uint8_t session, uint8_t adrControl, uint8_t point, int32_t lba) {
  const Bytes p = Msf(lba);
  return {session, adrControl, 0, point, 0, 0, 0, 0, p[0], p[1], p[2]};
}
Bytes TrackNumberPoint(uint8_t session, uint8_t point, uint8_t track) {
  return {session, 0x14, 0, point, 0, 0, 0, 0, track, 0, 0};
}

Bytes FullToc(const std::vector<Bytes>& descriptors) {
  Bytes out(4, 0);
  for (const auto& d : descriptors) out.insert(out.end(), d.begin(), d.end());
  PutBe16(out.data(), static_cast<uint16_t>(out.size() - 2));
  out[2] = 1;
  out[3] = descriptors.empty() ? 1 : descriptors.back()[0];
  return out;
}

Bytes FormattedToc(uint8_t first, uint8_t last, const std::vector<std::pair<uint8_t, uint32_t>>& tracks,
                   uint8_t control = 4) {
  Bytes out(4, 0);
  for (auto [number, lba] : tracks) {
    Bytes d = {0, static_cast<uint8_t>(0x10 | control), number, 0, 0, 0, 0, 0};
    PutBe32(d.data() + 4, lba);
    out.insert(out.end(), d.begin(), d.end());
  }
  PutBe16(out.data(), static_cast<uint16_t>(out.size() - 2));
  out[2] = first;
  out[3] = last;
  return out;
}

// Two sessions: a data track 1 at 0 (lead-out 20000), then track 2 at 31500
// (lead-out 40000).
Bytes TwoSessionToc(bool secondLeadOut = true) {
  std::vector<Bytes> d = {TrackNumberPoint(1, 0xA0, 1), TrackNumberPoint(1, 0xA1, 1), Point(1, 0x14, 0xA2, 20000),
                          Point(1, 0x14, 1, 0),         Point(1, 0x54, 0xB0, 31350),  TrackNumberPoint(2, 0xA0, 2),
                          TrackNumberPoint(2, 0xA1, 2)};
  if (secondLeadOut) d.push_back(Point(2, 0x14, 0xA2, 40000));
  d.push_back(Point(2, 0x14, 2, 31500));
  return FullToc(d);
}

uint32_t Start(const uint8_t* r) { return Be32(r + 8); }
uint32_t Size(const uint8_t* r) { return Be32(r + 24); }

TEST(MsfToLba, CornerValues) {
  EXPECT_EQ(MsfToLba(0, 0, 2, 0), 0);
  EXPECT_EQ(MsfToLba(0, 0, 0, 0), 0);  // not -150
  EXPECT_EQ(MsfToLba(0, 0, 0, 1), -149);
  EXPECT_EQ(MsfToLba(0, 79, 59, 74), 359849);
  EXPECT_EQ(MsfToLba(0, 89, 59, 74), 404849);
  EXPECT_EQ(MsfToLba(0, 90, 0, 0), -45150);  // lead-in
  EXPECT_EQ(MsfToLba(0, 99, 59, 74), -151);
  EXPECT_EQ(MsfToLba(0, 0xFF, 0xFF, 0xFF), 0xFFFFFF);
  EXPECT_EQ(MsfToLba(7, 0xFF, 0xFF, 0xFF), 0xFFFFFF);
  EXPECT_EQ(MsfToLba(1, 0, 2, 0), 405000);  // the hour byte counts 90 minutes
}

TEST(TrackInfoFromToc, FullTocFindsTracksOfBothSessionsByNumberAndAddress) {
  RecorderOn<FakeTransport> d;
  d.t.SetDefault(0x43, Data(TwoSessionToc()));
  d.t.SetDefault(0xBE, Refused());
  uint8_t r[36];

  ASSERT_EQ(d.r->TrackInfoFromToc(r, 1, 1), 0);
  EXPECT_EQ(r[2], 1);
  EXPECT_EQ(r[3], 1);
  EXPECT_EQ(r[5] & 0x0F, 4);
  EXPECT_EQ(r[6] & 0x0F, 1);  // the raw read failed: mode 1
  EXPECT_EQ(Start(r), 0u);
  EXPECT_EQ(Size(r), 20000u);  // up to its session's lead-out, not to track 2
  // The full TOC is read twice, in LBA form, 2048 bytes.
  auto tocs = d.t.CommandsWith(0x43);
  ASSERT_EQ(tocs.size(), 2u);
  EXPECT_EQ(tocs[0].cdb, (Bytes{0x43, 0, 0x02, 0, 0, 0, 0, 0x08, 0x00, 0}));
  EXPECT_EQ(tocs[0].timeoutMs, 60000u);

  ASSERT_EQ(d.r->TrackInfoFromToc(r, 1, 2), 0);
  EXPECT_EQ(r[2], 2);
  EXPECT_EQ(r[3], 2);
  EXPECT_EQ(Start(r), 31500u);
  EXPECT_EQ(Size(r), 8500u);

  // By address: the gap between the sessions belongs to track 1.
  ASSERT_EQ(d.r->TrackInfoFromToc(r, 0, 25000), 0);
  EXPECT_EQ(r[2], 1);
  ASSERT_EQ(d.r->TrackInfoFromToc(r, 0, 1000000), 0);
  EXPECT_EQ(r[2], 2);  // the last track takes every later address
}

TEST(TrackInfoFromToc, FullTocSizeFallsBackToNextProgramAreaAndLaterSession) {
  RecorderOn<FakeTransport> d;
  uint8_t r[36];
  // Session 1 without a lead-out point: its B0 ends track 1.
  d.t.SetDefault(0x43, Data(FullToc({TrackNumberPoint(1, 0xA0, 1), TrackNumberPoint(1, 0xA1, 1),
                                     Point(1, 0x14, 1, 0), Point(1, 0x54, 0xB0, 31350)})));
  ASSERT_EQ(d.r->TrackInfoFromToc(r, 1, 1), 0);
  EXPECT_EQ(Size(r), 31350u);

  // Neither: track 2 of the next session ends it.
  RecorderOn<FakeTransport> e;
  e.t.SetDefault(0x43, Data(FullToc({TrackNumberPoint(1, 0xA0, 1), TrackNumberPoint(1, 0xA1, 1),
                                     Point(1, 0x14, 1, 0), TrackNumberPoint(2, 0xA0, 2),
                                     TrackNumberPoint(2, 0xA1, 2), Point(2, 0x14, 2, 30000)})));
  ASSERT_EQ(e.r->TrackInfoFromToc(r, 1, 1), 0);
  EXPECT_EQ(Size(r), 30000u);
  // The last session with no end at all has no size to give.
  EXPECT_EQ(e.r->TrackInfoFromToc(r, 1, 2), 1);
}

TEST(TrackInfoFromToc, DataModeTwoComesFromTheSectorHeader) {
  RecorderOn<FakeTransport> d;
  d.t.SetDefault(0x43, Data(TwoSessionToc()));
  Bytes sector(2352, 0);
  for (int i = 1; i <= 10; ++i) sector[i] = 0xFF;
  sector[15] = 2;
  d.t.Queue(0xBE, Data(sector));
  uint8_t r[36];
  ASSERT_EQ(d.r->TrackInfoFromToc(r, 1, 2), 0);
  EXPECT_EQ(r[6] & 0x0F, 2);
  // One whole raw sector at start + 16: sync, all headers, user data, EDC.
  auto reads = d.t.CommandsWith(0xBE);
  ASSERT_EQ(reads.size(), 1u);
  EXPECT_EQ(reads[0].cdb, (Bytes{0xBE, 0, 0, 0, 0x7B, 0x1C, 0, 0, 1, 0xF8, 0, 0}));
  EXPECT_EQ(reads[0].dataLength, 2352u);
}

TEST(TrackInfoFromToc, FormattedTocWhenTheFullTocIsRefused) {
  RecorderOn<FakeTransport> d;
  d.t.Queue(0x43, Refused());
  d.t.SetDefault(0x43, Data(FormattedToc(1, 2, {{1, 0}, {2, 5000}, {0xAA, 12000}}, 0)));
  uint8_t r[36];
  ASSERT_EQ(d.r->TrackInfoFromToc(r, 1, 2), 0);
  EXPECT_EQ(r[2], 2);
  EXPECT_EQ(r[3], 1);
  EXPECT_EQ(Start(r), 5000u);
  EXPECT_EQ(Size(r), 7000u);  // up to the lead-out
  auto tocs = d.t.CommandsWith(0x43);
  ASSERT_EQ(tocs.size(), 2u);
  EXPECT_EQ(tocs[1].cdb[2], 0x00);

  d.t.Queue(0x43, Refused());
  ASSERT_EQ(d.r->TrackInfoFromToc(r, 0, 4999), 0);
  EXPECT_EQ(r[2], 1);
  EXPECT_EQ(Size(r), 5000u);
}

TEST(TrackInfoFromToc, RefusalsAndImpossibleRequests) {
  RecorderOn<FakeTransport> d;
  uint8_t r[36];
  EXPECT_EQ(d.r->TrackInfoFromToc(r, 2, 1), 1);
  EXPECT_TRUE(d.t.commands.empty());

  d.t.SetDefault(0x43, Refused());
  EXPECT_EQ(d.r->TrackInfoFromToc(r, 1, 1), 1);

  RecorderOn<FakeTransport> e;
  e.t.Queue(0x43, Refused());
  e.t.SetDefault(0x43, Data(FormattedToc(3, 2, {})));
  EXPECT_EQ(e.r->TrackInfoFromToc(r, 1, 1), 1);  // first track above the last

  // A track number beyond the last track.
  RecorderOn<FakeTransport> f;
  f.t.Queue(0x43, Refused());
  f.t.SetDefault(0x43, Data(FormattedToc(1, 1, {{1, 0}, {0xAA, 3000}})));
  EXPECT_EQ(f.r->TrackInfoFromToc(r, 1, 7), 1);
}

// Bad answers: nothing beyond the 2048-byte answer is read (run under ASan),
// and the record is only touched when a track really matched.
TEST(TrackInfoFromToc, ShortAndOverlongTocsStayInsideTheAnswer) {
  uint8_t r[36];
  {
    RecorderOn<FakeTransport> d;
    d.t.SetDefault(0x43, Data({}));  // zero-length TOC
    std::memset(r, 0xEE, sizeof r);
    EXPECT_EQ(d.r->TrackInfoFromToc(r, 1, 1), 0);
    EXPECT_EQ(r[2], 0xEE);
  }
  {
    RecorderOn<FakeTransport> d;
    Bytes toc(3, 0);  // shorter than its own header
    d.t.Queue(0x43, Refused());
    d.t.SetDefault(0x43, Data(toc));
    std::memset(r, 0xEE, sizeof r);
    EXPECT_EQ(d.r->TrackInfoFromToc(r, 1, 1), 0);
    EXPECT_EQ(r[2], 0xEE);
  }
  {
    // A full TOC claiming 64 KiB, all of it A0/A1 points naming tracks 1..99.
    Bytes toc(2048, 0);
    PutBe16(toc.data(), 0xFFFF);
    for (size_t p = 4; p + 11 <= toc.size(); p += 11) {
      toc[p] = 1;
      toc[p + 3] = (p / 11) % 2 ? 0xA1 : 0xA0;
      toc[p + 8] = (p / 11) % 2 ? 99 : 1;
    }
    RecorderOn<FakeTransport> d;
    d.t.SetDefault(0x43, Data(toc));
    d.r->TrackInfoFromToc(r, 0, 12345);
    d.r->TrackInfoFromToc(r, 1, 50);
  }
  {
    // A formatted TOC claiming 64 KiB of descriptors that never match.
    Bytes toc(2048, 0xFF);
    PutBe16(toc.data(), 0xFFFF);
    toc[2] = 1;
    toc[3] = 0xFF;
    RecorderOn<FakeTransport> d;
    d.t.Queue(0x43, Refused());
    d.t.SetDefault(0x43, Data(toc));
    std::memset(r, 0xEE, sizeof r);
    EXPECT_EQ(d.r->TrackInfoFromToc(r, 1, 5), 0);
    EXPECT_EQ(r[2], 0xEE);
  }
}

TEST(NextWritableAddress, AsksForTheIncompleteTrackBeyondTheFirst) {
  RecorderOn<FakeTransport> d;
  d.t.Queue(0x51, Data(DiscInformation(1, 3)));
  d.t.Queue(0x52, Data(TrackInformation(3, 20000, 0, true, 20150)));
  int32_t nwa = 0;
  ASSERT_EQ(d.r->NextWritableAddress(&nwa), 0);
  EXPECT_EQ(nwa, 20150);
  auto ti = d.t.CommandsWith(0x52);
  ASSERT_EQ(ti.size(), 1u);
  EXPECT_EQ(ti[0].cdb, (Bytes{0x52, 0x01, 0, 0, 0, 0xFF, 0, 0x00, 0x24, 0}));
  EXPECT_EQ(ti[0].dataLength, 36u);
  EXPECT_EQ(ti[0].timeoutMs, 1000u);

  d.t.Queue(0x51, Data(DiscInformation(0, 1)));
  d.t.Queue(0x52, Data(TrackInformation(1, 0, 359849, false)));
  ASSERT_EQ(d.r->NextWritableAddress(&nwa), 0);
  EXPECT_EQ(nwa, -150);  // no valid address given
  EXPECT_EQ(d.t.CommandsWith(0x52)[1].cdb[5], 1);

  d.t.Queue(0x51, Refused());
  nwa = 77;
  EXPECT_EQ(d.r->NextWritableAddress(&nwa), 1);
  EXPECT_EQ(nwa, 77);
}

TEST(FreeBlocks, BlankDiscAsksTheTocFirstThenTrackOne) {
  RecorderOn<FakeTransport> d;
  d.t.SetDefault(0x51, Data(DiscInformation(0x00)));
  d.t.SetDefault(0x43, Refused());
  d.t.SetDefault(0x52, Data(TrackInformation(1, 0, 359847)));
  uint32_t n = 0;
  EXPECT_TRUE(d.r->FreeBlocks(&n));
  EXPECT_EQ(n, 359847u);
  std::vector<uint8_t> ops;
  for (auto& c : d.t.commands) ops.push_back(c.opcode());
  EXPECT_EQ(ops, (std::vector<uint8_t>{0x51, 0x43, 0x43, 0x52}));

  d.t.SetDefault(0x52, Refused());
  n = 0;
  EXPECT_TRUE(d.r->FreeBlocks(&n));  // nothing answers: true with no room
  EXPECT_EQ(n, 0u);
}

TEST(FreeBlocks, AppendableCdIsMeasuredFromTheNextWritableAddressToTheLastLeadOut) {
  RecorderOn<FakeTransport> d;
  d.t.SetDefault(0x46, Data(Configuration(0x09, {0x09, 0x0A})));
  d.t.SetDefault(0x51, Data(DiscInformation(0x01, 2, {0, 79, 59, 74})));
  d.t.Queue(0x52, Data(TrackInformation(2, 20000, 0, true, 20000)));
  uint32_t n = 0;
  EXPECT_TRUE(d.r->FreeBlocks(&n));
  EXPECT_EQ(n, 359849u - 20000u);
  EXPECT_EQ(d.t.CommandsWith(0x52)[0].cdb[5], 2);

  // Without a valid next writable address the room starts at -150.
  d.t.Queue(0x52, Data(TrackInformation(2, 20000, 0, false)));
  n = 0;
  EXPECT_TRUE(d.r->FreeBlocks(&n));
  EXPECT_EQ(n, 359849u + 150u);

  // An address past the lead-out: no room.
  d.t.Queue(0x52, Data(TrackInformation(2, 20000, 0, true, 400000)));
  n = 0;
  EXPECT_FALSE(d.r->FreeBlocks(&n));
  EXPECT_EQ(n, 0u);
}

TEST(FreeBlocks, DvdThatRefusesTrackInformationIsMeasuredFromTheToc) {
  RecorderOn<FakeTransport> d;
  d.t.SetDefault(0x46, Data(Configuration(0x1A, {0x1A})));
  d.t.SetDefault(0x51, Data(DiscInformation(0x02)));
  d.t.SetDefault(0x52, Refused());
  d.t.Queue(0x43, Refused());
  d.t.SetDefault(0x43, Data(FormattedToc(1, 1, {{1, 0}, {0xAA, 2295104}})));
  uint32_t n = 0;
  EXPECT_TRUE(d.r->FreeBlocks(&n));
  EXPECT_EQ(n, 2295104u);
  // Track information is asked first on DVD.
  size_t first52 = 0, first43 = 0;
  for (size_t i = 0; i < d.t.commands.size(); ++i) {
    if (d.t.commands[i].opcode() == 0x52 && !first52) first52 = i + 1;
    if (d.t.commands[i].opcode() == 0x43 && !first43) first43 = i + 1;
  }
  EXPECT_LT(first52, first43);
}

TEST(IsBlank, DvdPlusRwIsJudgedByItsBlocksNotItsStatus) {
  RecorderOn<FakeTransport> d;
  d.t.SetDefault(0x46, Data(Configuration(0x1A, {0x1A})));
  d.t.SetDefault(0xBE, Refused());
  d.t.SetDefault(0x28, Data(Bytes(2048, 0)));
  EXPECT_EQ(d.r->IsBlank(), 1);
  auto reads = d.t.CommandsWith(0x28);
  ASSERT_EQ(reads.size(), 3u);
  EXPECT_EQ(reads[0].cdb, (Bytes{0x28, 0, 0, 0, 0, 16, 0, 0, 1, 0}));
  EXPECT_EQ(Be32(reads[1].cdb.data() + 2), 256u);
  EXPECT_EQ(Be32(reads[2].cdb.data() + 2), 512u);
  // User data only: READ CD with just the user-data bit.
  EXPECT_EQ(d.t.CommandsWith(0xBE)[0].cdb[9], 0x10);
  EXPECT_TRUE(d.t.CommandsWith(0x51).empty());

  Bytes data(2048, 0);
  data[100] = 1;
  d.t.commands.clear();
  d.t.Queue(0x28, Data(Bytes(2048, 0)));
  d.t.Queue(0x28, Data(data));
  EXPECT_EQ(d.r->IsBlank(), 0);
  EXPECT_EQ(d.t.CommandsWith(0x28).size(), 2u);
}

TEST(IsBlank, OtherMediaByDiscStatus) {
  RecorderOn<FakeTransport> d;
  d.t.SetDefault(0x46, Data(Configuration(0x09, {0x09})));
  d.t.Queue(0x51, Data(DiscInformation(0x00)));
  EXPECT_EQ(d.r->IsBlank(), 1);
  d.t.Queue(0x51, Data(DiscInformation(0x01)));
  EXPECT_EQ(d.r->IsBlank(), 0);
  d.t.Queue(0x51, Refused());
  EXPECT_EQ(d.r->IsBlank(), 0);
  // The writable test follows the blank test on write-once media.
  d.t.Queue(0x51, Data(DiscInformation(0x02)));
  EXPECT_EQ(d.r->IsWritable(), 0);

  RecorderOn<FakeTransport> rw;
  rw.t.SetDefault(0x46, Data(Configuration(0x0A, {0x0A})));
  EXPECT_EQ(rw.r->IsWritable(), 1);
  RecorderOn<FakeTransport> rom;
  rom.t.SetDefault(0x46, Data(Configuration(0x08, {0x08})));
  EXPECT_EQ(rom.r->IsWritable(), 0);

  Recorder inert(0);
  EXPECT_EQ(inert.IsBlank(), 1);
}

TEST(FileSystems, Iso9660SignatureIsFoundByATextSearch) {
  RecorderOn<FakeTransport> d;
  Bytes boot(2048, 0);  // type 0 ends the text before "CD001"
  std::memcpy(boot.data() + 1, "CD001", 5);
  Bytes primary(2048, 0);
  primary[0] = 1;
  std::memcpy(primary.data() + 1, "CD001\x01", 6);
  d.t.Queue(0x28, Data(boot));
  d.t.Queue(0x28, Data(primary));
  EXPECT_TRUE(d.r->HasIso9660(1000));
  auto reads = d.t.CommandsWith(0x28);
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(Be32(reads[0].cdb.data() + 2), 1016u);

  // A start from a bad TOC near the top of the address range still ends.
  d.t.commands.clear();
  d.t.SetDefault(0x28, Data(boot));
  EXPECT_FALSE(d.r->HasIso9660(0xFFFFFFECu));
  EXPECT_EQ(d.t.CommandsWith(0x28).size(), 4u);
}

TEST(FileSystems, UdfAnchorMustNameItsOwnLocation) {
  auto anchor = [](uint32_t location) {
    Bytes b(2048, 0);
    b[0] = 2;
    b[12] = static_cast<uint8_t>(location);
    b[13] = static_cast<uint8_t>(location >> 8);
    return b;
  };
  RecorderOn<FakeTransport> d;
  d.t.Queue(0x28, Data(anchor(256)));
  EXPECT_TRUE(d.r->HasUdf(0));
  d.t.Queue(0x28, Data(anchor(300)));
  EXPECT_FALSE(d.r->HasUdf(0));
  d.t.Queue(0x28, Refused());
  d.t.Queue(0x28, Data(anchor(612)));
  EXPECT_TRUE(d.r->HasUdf(100));
  d.t.SetDefault(0x28, Refused());
  EXPECT_FALSE(d.r->HasUdf(0));

  RecorderOn<FakeTransport> both;
  Bytes primary(2048, 0);
  primary[0] = 1;
  std::memcpy(primary.data() + 1, "CD001\x01", 6);
  both.t.Queue(0x28, Data(primary));
  both.t.Queue(0x28, Data(anchor(256)));
  EXPECT_EQ(both.r->FileSystemKind(0), kIso9660 | kUdf);
}

}  // namespace
}  // namespace dorvik
