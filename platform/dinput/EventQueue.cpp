#include "platform/dinput/EventQueue.h"

#include <algorithm>

void EventQueue::SetCapacity(DWORD capacity) {
  capacity_ = std::min(capacity, kMaxCapacity);
  Clear();
}

void EventQueue::Clear() {
  head_ = 0;
  size_ = 0;
  overflow_ = false;
}

void EventQueue::Push(const DIDEVICEOBJECTDATA& event) {
  if (size_ >= capacity_) {
    overflow_ = capacity_ > 0;
    return;
  }
  ring_[(head_ + size_) % kMaxCapacity] = event;
  ++size_;
}

DWORD EventQueue::Take(DIDEVICEOBJECTDATA* out, DWORD max, bool peek) {
  const DWORD n = std::min(max, size_);
  if (out)
    for (DWORD i = 0; i < n; ++i) out[i] = ring_[(head_ + i) % kMaxCapacity];
  if (!peek) {
    head_ = (head_ + n) % kMaxCapacity;
    size_ -= n;
  }
  return n;
}

bool EventQueue::TakeOverflow() {
  const bool overflow = overflow_;
  overflow_ = false;
  return overflow;
}
