#pragma once
// Where the reader thread and the writer thread of a track meet: a byte ring
// of fixed capacity. Only the reader puts, only the writer takes; each side
// owns its position and reads the other's, so no lock is needed. A side
// that must wait sleeps in 50 ms steps that end as soon as the other side
// has moved or the ring was stopped.
#include <atomic>
#include <cstdint>
#include <vector>

#include "platform/wake_signal.h"

namespace dorvik {

class RingBuffer {
 public:
  // Sleep between two looks at the other side.
  static constexpr uint32_t kPollMs = 50;

  // A new, zeroed buffer of capacity bytes for a track of total bytes; the
  // positions go back to 0 and stop is cleared. Only while no thread uses
  // the ring.
  void Reset(uint64_t capacity, uint64_t total);

  // Reader side: copies length bytes in once there is room. Returns at once,
  // copying nothing, when the ring is stopped or the writer has taken the
  // whole track. False only for a length the ring can never hold.
  bool Put(const uint8_t* bytes, uint64_t length);
  // Writer side: copies length bytes out once they are in. When the track's
  // last bytes are in, length is cut to what remains. Returns at once,
  // copying nothing, when stopped or when the whole track was taken.
  bool Take(uint8_t* bytes, uint64_t length);

  // The same two sides without the copy through a caller's buffer: the
  // reader reads straight into the ring, the writer writes straight from
  // it. A piece that runs past the end of the buffer comes as two spans.
  struct Spans {
    uint8_t* first = nullptr;
    uint64_t firstLength = 0;
    uint8_t* second = nullptr;
    uint64_t secondLength = 0;
  };
  // Reader side: waits as Put does for room for length bytes and hands out
  // where they go; false (nothing to fill) when Put would copy nothing.
  // CommitPut(length) then hands the bytes to the writer.
  bool ReserveForPut(uint64_t length, Spans* where);
  void CommitPut(uint64_t length);
  // Writer side: waits as Take does for length bytes (cut to what the track
  // has left) and shows where they are; false (nothing to take) when Take
  // would copy nothing. The bytes stay the writer's until ReleaseTake.
  bool PeekForTake(uint64_t length, Spans* where);
  void ReleaseTake(uint64_t length);

  void SetStop(bool stop);
  bool Stopped() const { return stop_.load(); }

  // Whether the reader can put no more now: the ring is full (no room for
  // another piece of the given length) or the whole track is in.
  bool Filled(uint64_t piece) const;

  uint64_t Capacity() const { return capacity_; }
  uint64_t Total() const { return total_; }
  uint64_t ReadPosition() const { return read_.load(std::memory_order_acquire); }
  uint64_t WritePosition() const { return write_.load(std::memory_order_acquire); }

  // Notified whenever a position moves or stop changes; the starter thread
  // waits on it too.
  platform::WakeSignal& Changed() { return changed_; }

 private:
  bool Finished() const { return stop_.load() || read_.load(std::memory_order_acquire) >= total_; }
  Spans SpansAt(uint64_t at, uint64_t length);

  std::vector<uint8_t> buffer_;
  uint64_t capacity_ = 0;
  uint64_t total_ = 0;
  std::atomic<uint64_t> read_{0};
  std::atomic<uint64_t> write_{0};
  std::atomic<bool> stop_{false};
  // What a waiting side waits for, so the other side wakes it once rather
  // than at every sector: the write position the taker needs, the read
  // position the putter needs (kNobody when that side does not wait).
  static constexpr uint64_t kNobody = UINT64_MAX;
  std::atomic<uint64_t> takerNeeds_{kNobody};
  std::atomic<uint64_t> putterNeeds_{kNobody};
  platform::WakeSignal changed_;
};

}  // namespace dorvik
