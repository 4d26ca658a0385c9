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

void RingBuffer::CopyIn(uint64_t at, const uint8_t* bytes, uint64_t length) {
  const uint64_t offset = at % capacity_;
  const uint64_t first = std::min(length, capacity_ - offset);
  std::memcpy(buffer_.data() + offset, bytes, first);
  std::memcpy(buffer_.data(), bytes + first, length - first);
}

void RingBuffer::CopyOut(uint64_t at, uint8_t* bytes, uint64_t length) const {
  const uint64_t offset = at % capacity_;
  const uint64_t first = std::min(length, capacity_ - offset);
  std::memcpy(bytes, buffer_.data() + offset, first);
  std::memcpy(bytes + first, buffer_.data(), length - first);
}

bool RingBuffer::Put(const uint8_t* bytes, uint64_t length) {
  if (length > capacity_) return false;
  if (Finished()) return true;
  const uint64_t w = write_.load(std::memory_order_relaxed);  // only this side moves it
  auto room = [&] { return Finished() || w - read_.load() + length <= capacity_; };
  if (!room()) {
    putterNeeds_.store(w + length - capacity_);
    while (!room()) changed_.WaitFor(kPollMs, room);
    putterNeeds_.store(kNobody);
  }
  if (Finished()) return true;
  CopyIn(w, bytes, length);
  const uint64_t now = w + length;
  write_.store(now);
  // Wake the taker when it has what it waits for, and the starter when the
  // ring has filled (the next piece would not fit) or the track is all in.
  if (now >= takerNeeds_.load() || now >= total_ || now - read_.load() + length > capacity_) changed_.Notify();
  return true;
}

bool RingBuffer::Take(uint8_t* bytes, uint64_t length) {
  if (length > capacity_) return false;
  if (Finished()) return true;
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
    while (!ready()) changed_.WaitFor(kPollMs, ready);
    takerNeeds_.store(kNobody);
  }
  if (stop_.load()) return true;
  length = std::min(length, total_ - r);
  CopyOut(r, bytes, length);
  read_.store(r + length);
  if (r + length >= putterNeeds_.load()) changed_.Notify();
  return true;
}

}  // namespace dorvik
