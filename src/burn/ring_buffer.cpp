#include "burn/ring_buffer.h"

#include <algorithm>
#include <cstring>

namespace dorvik {

void RingBuffer::Reset(uint64_t capacity, uint64_t total) {
  capacity_ = capacity;
  total_ = total;
  read_.store(0);
  write_.store(0);
  stop_.store(false);
  buffer_.assign(capacity, 0);
  buffer_.shrink_to_fit();  // the old track's buffer may have been larger
}

void RingBuffer::SetStop(bool stop) {
  stop_.store(stop);
  changed_.Notify();
}

bool RingBuffer::Filled(uint64_t piece) const {
  const uint64_t w = write_.load(std::memory_order_acquire);
  return w >= total_ || w - read_.load(std::memory_order_acquire) + piece > capacity_;
}

RingBuffer::Spans RingBuffer::SpansAt(uint64_t at, uint64_t length) {
  const uint64_t offset = at % capacity_;
  const uint64_t first = std::min(length, capacity_ - offset);
  return {buffer_.data() + offset, first, buffer_.data(), length - first};
}

bool RingBuffer::Put(const uint8_t* bytes, uint64_t length) {
  if (length > capacity_) return false;
  Spans where;
  if (!ReserveForPut(length, &where)) return true;
  std::memcpy(where.first, bytes, where.firstLength);
  std::memcpy(where.second, bytes + where.firstLength, where.secondLength);
  CommitPut(length);
  return true;
}

bool RingBuffer::ReserveForPut(uint64_t length, Spans* where) {
  if (length > capacity_ || Finished()) return false;
  const uint64_t w = write_.load(std::memory_order_relaxed);  // only this side moves it
  auto room = [&] { return Finished() || w - read_.load() + length <= capacity_; };
  if (!room()) {
    putterNeeds_.store(w + length - capacity_);
    changed_.WaitUntil(kPollMs, room);
    putterNeeds_.store(kNobody);
  }
  if (Finished()) return false;
  *where = SpansAt(w, length);
  return true;
}

void RingBuffer::CommitPut(uint64_t length) {
  const uint64_t now = write_.load(std::memory_order_relaxed) + length;
  write_.store(now);
  // Wake the taker when it has what it waits for, and the starter when the
  // ring has filled (the next piece would not fit) or the track is all in.
  if (now >= takerNeeds_.load() || now >= total_ || now - read_.load() + length > capacity_) changed_.Notify();
}

bool RingBuffer::Take(uint8_t* bytes, uint64_t length) {
  if (length > capacity_) return false;
  Spans where;
  if (!PeekForTake(length, &where)) return true;
  std::memcpy(bytes, where.first, where.firstLength);
  std::memcpy(bytes + where.firstLength, where.second, where.secondLength);
  ReleaseTake(where.firstLength + where.secondLength);
  return true;
}

bool RingBuffer::PeekForTake(uint64_t length, Spans* where) {
  if (length > capacity_ || Finished()) return false;
  const uint64_t r = read_.load(std::memory_order_relaxed);  // only this side moves it
  // Ready when the bytes are in, or when everything the track has is in
  // and the request reaches past it (the track's last, partial piece).
  auto ready = [&] {
    if (stop_.load()) return true;
    const uint64_t w = write_.load();
    return r + length <= w || w >= total_;
  };
  if (!ready()) {
    takerNeeds_.store(std::min(r + length, total_));
    changed_.WaitUntil(kPollMs, ready);
    takerNeeds_.store(kNobody);
  }
  if (stop_.load()) return false;
  *where = SpansAt(r, std::min(length, total_ - r));
  return true;
}

void RingBuffer::ReleaseTake(uint64_t length) {
  const uint64_t now = read_.load(std::memory_order_relaxed) + length;
  read_.store(now);
  if (now >= putterNeeds_.load()) changed_.Notify();
}

}  // namespace dorvik
