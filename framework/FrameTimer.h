// The framework's frame timer: absolute application time without stopped periods, and the time
// between two queries, in seconds. One per process (AppFrameTimer), on the window's thread.
#pragma once

#include "platform/kit/wintypes.h"

class CFrameTimer {
 public:
  // A counter in ticks and its frequency; the default is the performance counter.
  using CounterFn = LONGLONG (*)();
  CFrameTimer();
  explicit CFrameTimer(CounterFn counter, LONGLONG frequency);

  void Reset();  // app time 0, elapsed 0, running
  void Start();  // resume after Stop; the stopped period does not count
  void Stop();
  // Seconds since Reset, without stopped periods. While stopped, the time of the stop.
  double AppTime() const;
  // Seconds since the previous call of ElapsedTime (or Reset/Start).
  double ElapsedTime();
  bool IsStopped() const { return m_stopped; }

 private:
  LONGLONG Now() const;

  CounterFn m_counter;
  LONGLONG m_frequency;
  bool m_stopped = true;
  LONGLONG m_baseTicks = 0;  // Reset time plus every stopped period
  LONGLONG m_stopTicks = 0;  // when stopped, the time of the stop
  LONGLONG m_lastElapsedTicks = 0;
};

CFrameTimer& AppFrameTimer();
