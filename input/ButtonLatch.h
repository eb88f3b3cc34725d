// Applies one poll's button events to a state array (1 down, 0 up) so that every change shows
// for at least one poll. A fast click or a touchpad tap delivers its press and its release
// within one poll; applied directly they would cancel out and no edge (down now, up before)
// would ever be seen. Here the first change of a button in a poll is applied at once and a
// later one is held over to the next poll, so a tap is a press in its poll and a release in
// the next. Frame thread only.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/dinput/dinput.h"

class CButtonLatch {
 public:
  explicit CButtonLatch(std::size_t count);

  // Starts a poll: the changes held over from the previous poll are applied to state now and
  // count as this poll's changes.
  void StartPoll(BYTE* state);
  // A button event of this poll (value 1 down, 0 up). Indexes beyond the count are ignored.
  // Within one poll only the latest value held over is kept: a double tap in one poll is
  // one press and one release.
  void Apply(BYTE* state, std::size_t index, BYTE value);
  // Forgets the changes held over (the devices were released).
  void Clear();

 private:
  static constexpr BYTE kNothingHeld = 0xFF;

  std::vector<BYTE> m_held;     // the value for the next poll, or kNothingHeld
  std::vector<bool> m_changed;  // the button changed in this poll
};
