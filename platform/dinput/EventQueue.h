// The buffer of one input device: a bounded queue of events that remembers whether any were
// dropped because it was full.
#pragma once

#include <array>

#include "platform/dinput/dinput.h"

class EventQueue {
 public:
  static constexpr DWORD kMaxCapacity = 256;

  // Empties the queue; capacities above kMaxCapacity hold kMaxCapacity events.
  void SetCapacity(DWORD capacity);
  DWORD Capacity() const { return capacity_; }
  void Clear();
  // Appends an event, or drops it and records the overflow when the queue is full.
  void Push(const DIDEVICEOBJECTDATA& event);
  // Moves up to max oldest events into out (null: discards them); with peek they stay queued.
  DWORD Take(DIDEVICEOBJECTDATA* out, DWORD max, bool peek);
  // Whether events were dropped since the last call; clears the record.
  bool TakeOverflow();

 private:
  std::array<DIDEVICEOBJECTDATA, kMaxCapacity> ring_{};
  DWORD head_ = 0;
  DWORD size_ = 0;
  DWORD capacity_ = 0;
  bool overflow_ = false;
};
