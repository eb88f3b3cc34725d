#include "platform/dinput/EventQueue.h"

#include <algorithm>

void EventQueue::SetCapacity(DWORD capacity) {
  m_capacity = std::min(capacity, kMaxCapacity);
  Clear();
}

void EventQueue::Clear() {
  m_head = 0;
  m_size = 0;
  m_overflow = false;
}

void EventQueue::Push(const DIDEVICEOBJECTDATA& event) {
  if (m_size >= m_capacity) {
    m_overflow = m_capacity > 0;
    return;
  }
  m_ring[(m_head + m_size) % kMaxCapacity] = event;
  ++m_size;
}

DWORD EventQueue::Take(DIDEVICEOBJECTDATA* out, DWORD max, bool peek) {
  const DWORD n = std::min(max, m_size);
  if (out)
    for (DWORD i = 0; i < n; ++i) out[i] = m_ring[(m_head + i) % kMaxCapacity];
  if (!peek) {
    m_head = (m_head + n) % kMaxCapacity;
    m_size -= n;
  }
  return n;
}

bool EventQueue::TakeOverflow() {
  const bool overflow = m_overflow;
  m_overflow = false;
  return overflow;
}
