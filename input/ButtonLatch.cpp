#include "input/ButtonLatch.h"

#include <algorithm>

CButtonLatch::CButtonLatch(std::size_t count) : m_held(count, kNothingHeld), m_changed(count, false) {}

void CButtonLatch::StartPoll(BYTE* state) {
  for (std::size_t i = 0; i < m_held.size(); ++i) {
    m_changed[i] = m_held[i] != kNothingHeld && m_held[i] != state[i];
    if (m_changed[i]) state[i] = m_held[i];
    m_held[i] = kNothingHeld;
  }
}

void CButtonLatch::Apply(BYTE* state, std::size_t index, BYTE value) {
  if (index >= m_held.size()) return;
  if (m_held[index] != kNothingHeld || m_changed[index]) {
    // This poll already shows a change of the button: whatever follows waits for the next one.
    m_held[index] = value == state[index] ? kNothingHeld : value;
    return;
  }
  if (value == state[index]) return;
  state[index] = value;
  m_changed[index] = true;
}

void CButtonLatch::Clear() {
  std::fill(m_held.begin(), m_held.end(), kNothingHeld);
  std::fill(m_changed.begin(), m_changed.end(), false);
}
