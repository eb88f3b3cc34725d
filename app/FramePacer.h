// Releases frames on a 60 Hz grid anchored to a base time that re-anchors about once a second.
// A frame already more than one period late runs at once. Window thread only.
#pragma once

#include "platform/kit/wintypes.h"

struct PacerClock {
  DWORD (*now)();  // milliseconds, wrapping like timeGetTime
  void (*sleep)(DWORD ms);
};

// The system clock: timeGetTime and Sleep.
const PacerClock& SystemPacerClock();

class FramePacer {
 public:
  explicit FramePacer(const PacerClock& clock = SystemPacerClock()) : m_clock(&clock) {}

  void WaitForFrameSlot();

  DWORD m_baseTime = 0;
  float m_interval = 16.666666f;
  BYTE m_firstCall = 1;
  DWORD m_frameNumber = 0;

 private:
  const PacerClock* m_clock;
};
