#include "framework/FrameTimer.h"

#include "platform/win32/win32.h"

namespace {

LONGLONG PerformanceCounter() {
  LARGE_INTEGER value;
  if (QueryPerformanceCounter(&value)) return value.QuadPart;
  return static_cast<LONGLONG>(timeGetTime());
}

LONGLONG PerformanceFrequency() {
  LARGE_INTEGER value;
  if (QueryPerformanceFrequency(&value) && value.QuadPart > 0) return value.QuadPart;
  return 1000;  // timeGetTime's milliseconds
}

}  // namespace

CFrameTimer::CFrameTimer() : CFrameTimer(PerformanceCounter, PerformanceFrequency()) {}

CFrameTimer::CFrameTimer(CounterFn counter, LONGLONG frequency) : m_counter(counter), m_frequency(frequency) {}

LONGLONG CFrameTimer::Now() const {
  return m_stopped ? m_stopTicks : m_counter();
}

void CFrameTimer::Reset() {
  const LONGLONG now = m_counter();
  m_baseTicks = now;
  m_lastElapsedTicks = now;
  m_stopTicks = 0;
  m_stopped = false;
}

void CFrameTimer::Start() {
  if (!m_stopped) return;
  const LONGLONG now = m_counter();
  m_baseTicks += now - m_stopTicks;
  m_lastElapsedTicks = now;
  m_stopped = false;
}

void CFrameTimer::Stop() {
  if (m_stopped) return;
  const LONGLONG now = m_counter();
  m_stopTicks = now;
  m_lastElapsedTicks = now;
  m_stopped = true;
}

double CFrameTimer::AppTime() const {
  return static_cast<double>(Now() - m_baseTicks) / m_frequency;
}

double CFrameTimer::ElapsedTime() {
  const LONGLONG now = Now();
  const double elapsed = static_cast<double>(now - m_lastElapsedTicks) / m_frequency;
  m_lastElapsedTicks = now;
  return elapsed;
}

CFrameTimer& AppFrameTimer() {
  static CFrameTimer timer;
  return timer;
}
