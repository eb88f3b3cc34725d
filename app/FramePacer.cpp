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
    // Sleeps until the clock has passed the slot's millisecond: a sleep of n wakes on the n-th
    // millisecond boundary, so one sleep lands on the first boundary after `due`, the release
    // time of polling every millisecond, with one wake-up per frame. Another sleep follows only
    // when the clock has not got there (a millisecond that ended between reading and sleeping).
    for (DWORD t = m_clock->now(); t <= due; t = m_clock->now()) m_clock->sleep(due - t + 1);
  }
  if (m_clock->now() - m_baseTime >= 1000) {
    m_baseTime = m_clock->now();
    m_frameNumber = 0;
  }
}
