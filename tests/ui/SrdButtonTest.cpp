// The button's state machine as the pointer and left button move through polls, and where its
// tooltip box lands.
#include "ui/SrdButton.h"

#include <gtest/gtest.h>

#include "input/InputDevices.h"
#include "scene/SceneGlobals.h"

namespace {

class SrdButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_input = &input;
    button.SetPlacement(100, 200, 132, 232, u"再生");
    button.m_state = SRD_NORMAL;
  }
  void TearDown() override { g_input = nullptr; }

  // One poll with the pointer at (x, y) and the left button down or up, then Track.
  int Poll(int x, int y, bool down) {
    input.m_prevMouseButtons[0] = input.m_mouseButtons[0];
    input.m_mouseButtons[0] = down;
    input.m_pointerX = x;
    input.m_pointerY = y;
    return button.Track();
  }

  CInputDevices input{nullptr};
  CSrdButton button;
};

TEST_F(SrdButtonTest, HitTestIsStrictOnAllFourSides) {
  struct Case {
    int x, y;
    bool inside;
  } cases[] = {{101, 201, true},  {131, 231, true},  {100, 216, false}, {132, 216, false},
               {116, 200, false}, {116, 232, false}, {116, 216, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    button.m_state = SRD_NORMAL;
    EXPECT_EQ(c.inside ? SRD_OVER : SRD_IDLE, Poll(c.x, c.y, false));
    EXPECT_EQ(c.inside ? SRD_HOVER : SRD_NORMAL, button.m_state);
  }
}

TEST_F(SrdButtonTest, PressWhileHoveredThenReleaseAnywhereClicksOnce) {
  EXPECT_EQ(SRD_OVER, Poll(116, 216, false));
  EXPECT_EQ(SRD_IDLE, Poll(116, 216, true));
  EXPECT_EQ(SRD_PRESSED, button.m_state);
  // Dragged off: still pressed until the release, which clicks wherever the pointer is.
  EXPECT_EQ(SRD_IDLE, Poll(400, 400, true));
  EXPECT_EQ(SRD_PRESSED, button.m_state);
  EXPECT_EQ(SRD_CLICKED, Poll(400, 400, false));
  EXPECT_EQ(SRD_NORMAL, button.m_state);
  EXPECT_EQ(SRD_IDLE, Poll(400, 400, false));

  // Released inside: normal in that frame, hovered again in the next.
  Poll(116, 216, false);
  Poll(116, 216, true);
  EXPECT_EQ(SRD_CLICKED, Poll(116, 216, false));
  EXPECT_EQ(SRD_NORMAL, button.m_state);
  EXPECT_EQ(SRD_OVER, Poll(116, 216, false));
}

TEST_F(SrdButtonTest, PressesThatDoNotClick) {
  // A press begun outside and dragged on does not press the button.
  Poll(50, 50, true);
  EXPECT_EQ(SRD_OVER, Poll(116, 216, true));
  EXPECT_EQ(SRD_OVER, Poll(116, 216, false));  // the release: no click
  EXPECT_EQ(SRD_HOVER, button.m_state);
  // A press and release within one poll leave the button up in both polls: no click.
  EXPECT_EQ(SRD_OVER, Poll(116, 216, false));
  EXPECT_EQ(SRD_HOVER, button.m_state);
  // Hidden and disabled buttons never change state.
  for (int state : {SRD_HIDDEN, SRD_DISABLED}) {
    button.m_state = state;
    EXPECT_EQ(SRD_IDLE, Poll(116, 216, false));
    EXPECT_EQ(SRD_IDLE, Poll(116, 216, true));
    EXPECT_EQ(SRD_IDLE, Poll(116, 216, false));
    EXPECT_EQ(state, button.m_state);
  }
  g_input = nullptr;
  button.m_state = SRD_PRESSED;
  EXPECT_EQ(SRD_IDLE, button.Track());
}

TEST_F(SrdButtonTest, CounterCountsHoveredFramesAndResetsOnEveryChange) {
  Poll(116, 216, false);  // enters hover with 0
  for (int i = 1; i <= 21; ++i) Poll(116, 216, false);
  EXPECT_EQ(21, button.m_counter);  // the tooltip shows from here (more than 20)
  Poll(116, 216, true);
  EXPECT_EQ(0, button.m_counter);
  Poll(116, 216, false);
  Poll(300, 300, false);
  EXPECT_EQ(0, button.m_counter);
}

TEST_F(SrdButtonTest, TooltipBoxIs18PixelsPerCodeUnitAndKeptOnTheScreen) {
  struct Case {
    int left, top;
    std::u16string caption;
    int x, y, width;
  } cases[] = {
      {603, 443, u"サウンド：オン", 514, 443, 126},  // 7 code units: pushed left from 603
      {603, 5, u"ヘルプ", 586, 5, 54},
      {381, 443, u"再生するファイルを開く", 381, 443, 198},
      {500, 443, u"再生するファイルを開く", 442, 443, 198},
      {100, 470, u"x", 100, 460, 18},  // would pass the bottom: lifted to 460
      {0, 0, u"ab", 0, 0, 36},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.left << "," << c.top);
    button.SetPlacement(c.left, c.top, c.left + 32, c.top + 32, c.caption);
    const CSrdButton::TooltipBox box = button.TooltipPlacement();
    EXPECT_EQ(c.x, box.x);
    EXPECT_EQ(c.y, box.y);
    EXPECT_EQ(c.width, box.width);
  }
}

}  // namespace
