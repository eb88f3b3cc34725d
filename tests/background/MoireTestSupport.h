// A frame timer whose clock the test sets, for the moire background's timing.
#pragma once

#include <cmath>

#include "framework/FrameTimer.h"

class TestClock {
 public:
  TestClock() {
    s_ticks = 0;
    m_timer.Reset();
  }
  void Set(double seconds) { s_ticks = std::llround(seconds * 1000); }
  const CFrameTimer& timer() const { return m_timer; }

 private:
  static LONGLONG Ticks() { return s_ticks; }
  static inline LONGLONG s_ticks = 0;  // milliseconds
  CFrameTimer m_timer{Ticks, 1000};
};
