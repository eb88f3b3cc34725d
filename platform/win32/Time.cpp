// Multimedia timer, sleeps and the performance counter on the steady clock.
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "platform/win32/win32.h"

namespace {

struct TimerPeriods {
  std::mutex mutex;
  std::map<UINT, int> counts;
};

TimerPeriods& Periods() {
  static TimerPeriods periods;
  return periods;
}

std::int64_t SteadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

MMRESULT timeBeginPeriod(UINT period) {
  if (period == 0) return TIMERR_NOCANDO;
  std::lock_guard lock(Periods().mutex);
  ++Periods().counts[period];
  return TIMERR_NOERROR;
}

MMRESULT timeEndPeriod(UINT period) {
  std::lock_guard lock(Periods().mutex);
  auto it = Periods().counts.find(period);
  if (it == Periods().counts.end()) return TIMERR_NOCANDO;
  if (--it->second == 0) Periods().counts.erase(it);
  return TIMERR_NOERROR;
}

DWORD timeGetTime() {
  return static_cast<DWORD>(SteadyNanoseconds() / 1000000);
}

void Sleep(DWORD ms) {
  if (ms == 0) {
    std::this_thread::yield();
    return;
  }
  if (ms == INFINITE) {
    for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
  }
  // Wakes on the ms-th millisecond boundary of timeGetTime's clock after the current millisecond,
  // as Windows wakes sleepers on the n-th tick of its 1 ms timer: the clock has advanced by ms
  // when it returns, though less than ms of real time may have passed. A loop that sleeps until
  // the clock passes a given millisecond then always releases on that boundary, whatever the
  // phase it started at, and a clock read just before a boundary costs no extra millisecond.
  constexpr std::int64_t kMs = 1000000;
  const std::int64_t wake = (SteadyNanoseconds() / kMs + static_cast<std::int64_t>(ms)) * kMs;
  const timespec at{static_cast<time_t>(wake / 1000000000), static_cast<long>(wake % 1000000000)};
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
  }
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* count) {
  if (!count) return FALSE;
  count->QuadPart = SteadyNanoseconds();
  return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
  if (!frequency) return FALSE;
  frequency->QuadPart = 1000000000;
  return TRUE;
}

int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
  std::int64_t d = denominator, p = product;
  if (d < 0) {
    d = -d;
    p = -p;
  }
  const std::int64_t q = p >= 0 ? (p + d / 2) / d : -((-p + d / 2) / d);
  if (q > INT32_MAX || q < INT32_MIN) return -1;
  return static_cast<int>(q);
}
