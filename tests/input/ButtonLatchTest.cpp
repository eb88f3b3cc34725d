// The rule that keeps every button change visible for a poll, on event sequences of one button.
#include "input/ButtonLatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct Case {
  const char* name;
  std::vector<std::vector<BYTE>> polls;  // the events of button 1 in each poll (1 down, 0 up)
  std::string states;                    // the button after each poll
};

TEST(ButtonLatchTest, EveryChangeShowsForAtLeastOnePoll) {
  const Case cases[] = {
      {"a press and a release in separate polls", {{1}, {}, {0}, {}}, "1100"},
      {"a tap: press and release in one poll", {{1, 0}, {}, {}}, "100"},
      {"a tap, then a press in the next poll", {{1, 0}, {1}, {}}, "101"},
      {"release and press in one poll of a held button", {{1}, {0, 1}, {}}, "101"},
      {"press, release, press in one poll is a held press", {{1, 0, 1}, {}}, "11"},
      {"two taps in one poll are one tap", {{1, 0, 1, 0}, {}, {}}, "100"},
      {"a repeated press changes nothing", {{1, 1}, {}, {0, 0}, {}}, "1100"},
      {"a release of a button that is up changes nothing", {{0}, {}}, "00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CButtonLatch latch(4);
    BYTE state[4] = {};
    std::string seen;
    for (const auto& events : c.polls) {
      latch.StartPoll(state);
      for (BYTE value : events) latch.Apply(state, 1, value);
      seen += static_cast<char>('0' + state[1]);
      EXPECT_EQ(state[0] + state[2] + state[3], 0) << "another button moved";
    }
    EXPECT_EQ(seen, c.states);
  }
}

TEST(ButtonLatchTest, ButtonsAreIndependentAndIndexesBeyondTheCountAreIgnored) {
  CButtonLatch latch(2);
  BYTE state[3] = {};
  latch.StartPoll(state);
  latch.Apply(state, 0, 1);
  latch.Apply(state, 1, 1);
  latch.Apply(state, 0, 0);
  latch.Apply(state, 2, 1);
  EXPECT_EQ(state[0], 1);
  EXPECT_EQ(state[1], 1);
  EXPECT_EQ(state[2], 0);
  latch.StartPoll(state);
  EXPECT_EQ(state[0], 0);
  EXPECT_EQ(state[1], 1);

  // Cleared, nothing held over reaches the next poll.
  latch.StartPoll(state);
  latch.Apply(state, 1, 0);
  latch.Apply(state, 1, 1);
  latch.Clear();
  latch.StartPoll(state);
  EXPECT_EQ(state[1], 0);
}

}  // namespace
