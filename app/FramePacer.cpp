#include "app/FramePacer.h"

#include "platform/win32/win32.h"

namespace {

DWORD SystemNow() {
  return timeGetTime();
}
void SystemSleep(DWORD ms) {
  Sleep(ms);
}

// The slot time of frame n: computed in floating point, truncated toward zero, kept as 32 bits.
DWORD SlotTime(DWORD frame, float interval, DWORD base) {
  return static_cast<DWORD>(static_cast<std::uint64_t>(static_cast<double>(frame) * interval + base));
}

}  // namespace

const PacerClock& SystemPacerClock() {
  static const PacerClock clock{SystemNow, SystemSleep};
  return clock;
}

void FramePacer::WaitForFrameSlot() {
  ++m_frameNumber;
  if (m_firstCall) {
    m_baseTime = m_clock->now();
    m_firstCall = 0;
    return;
  }
  const DWORD now = m_clock->now();
  const DWORD nextDeadline = SlotTime(m_frameNumber + 1, m_interval, m_baseTime);
  if (!(now > nextDeadline)) {
    const DWORD due = SlotTime(m_frameNumber, m_interval, m_baseTime);
    // One sleep up to the slot's millisecond, then single milliseconds until it has passed: the
    // same release time as polling every millisecond (a clock read in whole milliseconds may be
    // most of one behind), with two or three wake-ups per frame rather than a dozen.
    for (DWORD t = m_clock->now(); t <= due; t = m_clock->now()) m_clock->sleep(t < due ? due - t : 1);
  }
  if (m_clock->now() - m_baseTime >= 1000) {
    m_baseTime = m_clock->now();
    m_frameNumber = 0;
  }
}
