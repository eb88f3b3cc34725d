#include <gtest/gtest.h>

#include <vector>

#include "app/FramePacer.h"

namespace {

// A clock that only moves when the pacer sleeps or the test says so.
DWORD g_now = 0;
int g_sleeps = 0;
DWORD Now() {
  return g_now;
}
void SleepMs(DWORD ms) {
  g_now += ms;
  ++g_sleeps;
}
const PacerClock kTestClock{Now, SleepMs};

class FramePacerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_now = 5000;
    g_sleeps = 0;
  }
  // Runs one slot wait and returns the time at which the frame was released.
  DWORD Release() {
    pacer.WaitForFrameSlot();
    return g_now;
  }
  FramePacer pacer{kTestClock};
};

}  // namespace

TEST_F(FramePacerTest, FirstCallOnlyRecordsTheBaseAndCountsAsFrameOne) {
  EXPECT_EQ(5000u, Release());
  EXPECT_EQ(0, g_sleeps);
  EXPECT_EQ(5000u, pacer.m_baseTime);
  EXPECT_EQ(1u, pacer.m_frameNumber);
  EXPECT_EQ(0, pacer.m_firstCall);
}

TEST_F(FramePacerTest, FramesFollowTheSixtyHertzGridFromTheBase) {
  Release();
  // Frame 2 is due at base + 33.33 ms: released on the first millisecond after it.
  EXPECT_EQ(5034u, Release());
  std::vector<DWORD> gaps;
  DWORD last = g_now;
  for (int i = 0; i < 10; ++i) {
    const DWORD t = Release();
    gaps.push_back(t - last);
    last = t;
  }
  for (DWORD gap : gaps) {
    EXPECT_GE(gap, 16u);
    EXPECT_LE(gap, 17u);
  }
  // Each wait sleeps to its slot in one step rather than waking every millisecond.
  EXPECT_EQ(11, g_sleeps);
}

TEST_F(FramePacerTest, AFrameMoreThanOnePeriodLateRunsWithoutSleeping) {
  Release();
  Release();           // frame 2 at 5034
  g_now = 5000 + 100;  // frame 3's next deadline is base + 66: far behind
  const int sleepsBefore = g_sleeps;
  EXPECT_EQ(5100u, Release());
  EXPECT_EQ(sleepsBefore, g_sleeps);
}

TEST_F(FramePacerTest, ReanchorsOnceASecondAndTheNextFrameIsOnePeriodAfterTheNewBase) {
  Release();
  while (pacer.m_frameNumber != 0) Release();
  const DWORD newBase = pacer.m_baseTime;
  EXPECT_GE(newBase - 5000u, 1000u);
  EXPECT_LE(newBase - 5000u, 1017u);
  EXPECT_EQ(newBase, g_now);
  // Frame 1 of the new window is due one period after the base.
  EXPECT_EQ(newBase + 17u, Release());
}

TEST_F(FramePacerTest, SixtyFramesASecondAtMost) {
  Release();
  const DWORD start = g_now;
  int frames = 0;
  while (g_now - start < 5000) {
    Release();
    ++frames;
  }
  EXPECT_GE(frames, 299);
  EXPECT_LE(frames, 301);
}
