// Polling for end-to-end tests: a busy machine may take many times longer than usual to show
// what an action did, so a test waits for the state it expects instead of sleeping a fixed time.
#pragma once

#include <chrono>
#include <thread>

// Calls condition() until it returns true or timeoutMs have passed; true when it held.
template <class Condition>
bool WaitUntil(Condition condition, int timeoutMs = 20000, int pollMs = 50) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
  }
}
