// The ring between the reader and the writer thread: bytes come out as they
// went in across many wraps, the last piece of a track is cut, and a stop
// frees a side that waits.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "burn/ring_buffer.h"

namespace dorvik {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pattern(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return b;
}

// A reader putting pieces of `piece` bytes and a writer taking `take`
// bytes at a time, each block zeroed first as the writer thread does.
struct Stream {
  Bytes in, out;
  std::atomic<bool> overfull{false};

  Stream(uint64_t capacity, size_t total, size_t piece, size_t take) : in(Pattern(total)) {
    RingBuffer ring;
    ring.Reset(capacity, total);
    std::thread reader([&] {
      for (size_t at = 0; at < total; at += piece) {
        EXPECT_TRUE(ring.Put(in.data() + at, piece));
        if (ring.WritePosition() - ring.ReadPosition() > capacity) overfull = true;
      }
    });
    Bytes block(take);
    for (size_t taken = 0; taken < total; taken += take) {
      std::fill(block.begin(), block.end(), 0);
      EXPECT_TRUE(ring.Take(block.data(), take));
      out.insert(out.end(), block.begin(), block.end());
    }
    reader.join();
  }
};

TEST(RingBuffer, BytesComeOutInOrderAcrossWrapsAndTheLastBlockIsCutToTheTrack) {
  // 1000 sectors of ring, a track of 2507 sectors, blocks of 32 sectors.
  constexpr size_t kSector = 2048;
  const size_t total = 2507 * kSector;
  Stream s(1000 * kSector, total, kSector, 32 * kSector);
  EXPECT_FALSE(s.overfull);
  ASSERT_EQ(s.out.size(), 79u * 32 * kSector);
  EXPECT_TRUE(std::equal(s.in.begin(), s.in.end(), s.out.begin()));
  EXPECT_TRUE(std::all_of(s.out.begin() + static_cast<long>(total), s.out.end(), [](uint8_t b) { return b == 0; }));
}

// At scale 0 a waiting side sleeps until the other side tells it that it
// moved; a move it was not told of would cost a whole unscaled step (50 ms)
// each time, thousands of times in this stream.
TEST(RingBuffer, AtZeroTimeScaleEachSideIsWokenByTheOthersMove) {
  ::setenv("DORVIK_TIME_SCALE", "0", 1);
  constexpr size_t kSector = 2048;
  const auto start = std::chrono::steady_clock::now();
  Stream s(4 * kSector, 3000 * kSector, kSector, 2 * kSector);
  const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ::setenv("DORVIK_TIME_SCALE", "0.001", 1);
  EXPECT_TRUE(std::equal(s.in.begin(), s.in.end(), s.out.begin()));
  EXPECT_LT(seconds, 20.0);
}

TEST(RingBuffer, AudioSectorsThatDoNotDivideTheBlocks) {
  Stream s(1000 * 2352, 780 * 2352, 2352, 16 * 2352);
  EXPECT_TRUE(std::equal(s.in.begin(), s.in.end(), s.out.begin()));
}

// The writer asks for a whole block while the track's last sectors are still
// coming: it gets them once the reader has put the last one.
TEST(RingBuffer, TakeWaitingForMoreThanTheTrackHasEndsWhenTheLastSectorIsIn) {
  RingBuffer ring;
  ring.Reset(1000 * 2048, 7 * 2048);
  const Bytes data = Pattern(7 * 2048);
  std::thread reader([&] {
    for (int i = 0; i < 7; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      ring.Put(data.data() + i * 2048, 2048);
    }
  });
  Bytes block(32 * 2048, 0);
  EXPECT_TRUE(ring.Take(block.data(), block.size()));
  reader.join();
  EXPECT_TRUE(std::equal(data.begin(), data.end(), block.begin()));
  EXPECT_EQ(ring.ReadPosition(), 7u * 2048);
}

TEST(RingBuffer, StopFreesAWaitingSideWhichThenCopiesNothing) {
  for (bool taker : {false, true}) {
    SCOPED_TRACE(taker ? "Take on an empty ring" : "Put into a full ring");
    RingBuffer ring;
    ring.Reset(4 * 2048, 100 * 2048);
    Bytes sector(2048, 0xAB);
    if (!taker)
      for (int i = 0; i < 4; ++i) ring.Put(sector.data(), sector.size());
    std::atomic<bool> returned{false};
    Bytes b(2048, 0);
    std::thread side([&] {
      if (taker) ring.Take(b.data(), b.size());
      else ring.Put(b.data(), b.size());
      returned = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(returned);
    ring.SetStop(true);
    side.join();
    EXPECT_EQ(b, Bytes(2048, 0));
    EXPECT_EQ(ring.WritePosition(), taker ? 0u : 4u * 2048);
    EXPECT_EQ(ring.ReadPosition(), 0u);
  }
}

TEST(RingBuffer, NothingMovesOnceTheWholeTrackWasTakenOrForAPieceLargerThanTheRing) {
  RingBuffer ring;
  ring.Reset(4 * 2048, 2048);
  Bytes sector(2048, 1);
  ASSERT_TRUE(ring.Put(sector.data(), 2048));
  ASSERT_TRUE(ring.Take(sector.data(), 2048));
  EXPECT_TRUE(ring.Put(sector.data(), 2048));  // past the track: nothing copied
  EXPECT_EQ(ring.WritePosition(), 2048u);
  Bytes big(5 * 2048);
  EXPECT_FALSE(ring.Put(big.data(), big.size()));
  EXPECT_FALSE(ring.Take(big.data(), big.size()));
  EXPECT_TRUE(ring.Filled(2048));
}

}  // namespace
}  // namespace dorvik
