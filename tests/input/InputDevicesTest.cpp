// The input object on a real focused X window driven with xdotool: what the scene and its
// buttons read after each frame's poll.
#include "input/InputDevices.h"

#include <gtest/gtest.h>

#include "support/InputTestWindow.h"
#include "support/TestDevice.h"

namespace {

class InputDevicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(w.hwnd, nullptr);
    w.MoveTo(320, 240);
  }
  void Init() {
    ASSERT_EQ(input.InitInput(GetModuleHandleW(nullptr), w.hwnd), S_OK);
    ASSERT_NE(input.m_mouse, nullptr);
    ASSERT_NE(input.m_keyboard, nullptr);
  }
  // One frame's polling, as the application does it.
  void Frame() {
    w.Pump();
    input.PollPointer();
    input.PollKeyboard();
    input.PollJoysticks();
  }
  bool Pressed(int button) const { return input.m_mouseButtons[button] && !input.m_prevMouseButtons[button]; }
  bool Released(int button) const { return !input.m_mouseButtons[button] && input.m_prevMouseButtons[button]; }

  InputTestWindow w;
  CInputDevices input{nullptr};
};

TEST_F(InputDevicesTest, WheelNotchesCountInTheOneFrameThatReceivesThem) {
  Init();
  for (int notches : {1, 2, -1}) {
    SCOPED_TRACE(notches);
    w.Xdo({"click", "--repeat", std::to_string(std::abs(notches)), notches > 0 ? "4" : "5"});
    ASSERT_TRUE(w.WaitQueued(input.m_mouse, std::abs(notches), DIMOFS_Z));
    Frame();
    EXPECT_EQ(input.m_wheel, 120 * notches);
    Frame();
    EXPECT_EQ(input.m_wheel, 0);
  }
}

TEST_F(InputDevicesTest, APressAndAReleaseAreEdgesInTheirFramesAndATapIsBoth) {
  Init();
  w.Xdo({"mousedown", "1"});
  ASSERT_TRUE(w.WaitQueued(input.m_mouse, 1, DIMOFS_BUTTON0));
  Frame();
  EXPECT_TRUE(Pressed(0));
  Frame();
  EXPECT_FALSE(Pressed(0));
  EXPECT_EQ(input.m_mouseButtons[0], 1);
  w.Xdo({"mouseup", "1"});
  ASSERT_TRUE(w.WaitQueued(input.m_mouse, 1, DIMOFS_BUTTON0));
  Frame();
  EXPECT_TRUE(Released(0));
  Frame();
  EXPECT_FALSE(Released(0));

  // Press and release within one frame (a tap): a press in that frame, a release in the next.
  w.Xdo({"click", "1"});
  ASSERT_TRUE(w.WaitQueued(input.m_mouse, 2, DIMOFS_BUTTON0));
  Frame();
  EXPECT_TRUE(Pressed(0));
  Frame();
  EXPECT_TRUE(Released(0));
  Frame();
  EXPECT_FALSE(Released(0));
  EXPECT_EQ(input.m_mouseButtons[0], 0);

  // A key tapped within one frame is down for that frame.
  w.Xdo({"key", "b"});
  ASSERT_TRUE(w.WaitQueued(input.m_keyboard, 2, DIK_B));
  Frame();
  EXPECT_EQ(input.m_keys[DIK_B], 1);
  Frame();
  EXPECT_EQ(input.m_keys[DIK_B], 0);

  // The right button is button 1.
  w.Xdo({"mousedown", "3"});
  ASSERT_TRUE(w.WaitQueued(input.m_mouse, 1, DIMOFS_BUTTON1));
  Frame();
  EXPECT_TRUE(Pressed(1));
  EXPECT_EQ(input.m_mouseButtons[0], 0);
  w.Xdo({"mouseup", "3"});
}

TEST_F(InputDevicesTest, AKeyStaysDownUntilItsReleaseArrives) {
  Init();
  w.Xdo({"keydown", "a"});
  ASSERT_TRUE(w.WaitQueued(input.m_keyboard, 1, DIK_A));
  Frame();
  EXPECT_EQ(input.m_keys[DIK_A], 1);
  Frame();
  EXPECT_EQ(input.m_keys[DIK_A], 1);
  w.Xdo({"keyup", "a"});
  ASSERT_TRUE(w.WaitQueued(input.m_keyboard, 1, DIK_A));
  Frame();
  EXPECT_EQ(input.m_keys[DIK_A], 0);
}

TEST_F(InputDevicesTest, AnOverflowKeepsTheEventsReadAndLeavesNoButtonStuck) {
  Init();
  // The release comes after 300 wheel events and is dropped from the full buffer.
  w.Xdo({"mousedown", "1"});
  w.Xdo({"click", "--repeat", "300", "--delay", "0", "4"});
  w.Xdo({"mouseup", "1"});
  w.Xdo({"key", "x"});
  ASSERT_TRUE(w.WaitQueued(input.m_keyboard, 2, DIK_X));
  EXPECT_EQ(input.PollPointer(), S_OK);
  EXPECT_EQ(input.m_wheel, 255 * 120);
  // The press was read; the state taken after the overflow releases the button in the next
  // poll, as for a tap.
  EXPECT_TRUE(Pressed(0));
  Frame();
  EXPECT_EQ(input.m_wheel, 0);
  EXPECT_TRUE(Released(0));
  Frame();
  EXPECT_EQ(input.m_mouseButtons[0], 0);
}

TEST_F(InputDevicesTest, WithoutTheFocusPollsFailAndKeepTheLastState) {
  Init();
  w.Xdo({"keydown", "a"});
  ASSERT_TRUE(w.WaitQueued(input.m_keyboard, 1, DIK_A));
  Frame();
  ASSERT_EQ(input.m_keys[DIK_A], 1);

  ASSERT_TRUE(w.Focus(w.CreateOther()));
  w.Xdo({"click", "4"});
  w.Xdo({"keyup", "a"});  // released while another window has the focus: never queued
  w.Pump();
  EXPECT_EQ(input.PollKeyboard(), E_FAIL);
  EXPECT_EQ(input.PollPointer(), E_FAIL);
  EXPECT_EQ(input.m_keys[DIK_A], 1);
  EXPECT_EQ(input.m_wheel, 0);

  // Back in the foreground the devices are re-acquired and the keys taken as they are now,
  // so the release missed meanwhile leaves no key stuck down.
  ASSERT_TRUE(w.Focus(w.hwnd));
  EXPECT_EQ(input.PollKeyboard(), S_OK);
  EXPECT_EQ(input.PollPointer(), S_OK);
  EXPECT_EQ(input.m_keys[DIK_A], 0);
}

TEST_F(InputDevicesTest, AButtonHeldDownWhileTheWindowWasAwayIsNoPress) {
  Init();
  ASSERT_TRUE(w.Focus(w.CreateOther()));
  Frame();
  // Pressed over the window while another has the focus (the click that would bring it to the
  // front): the device is not acquired, so nothing is queued.
  w.Xdo({"mousedown", "3"});
  ASSERT_TRUE(w.PumpUntil([] { return (SDL_GetMouseState(nullptr, nullptr) & SDL_BUTTON_RMASK) != 0; }));
  ASSERT_TRUE(w.Focus(w.hwnd));
  // Re-acquired with the button down: re-reading the state must not turn it into a press.
  Frame();
  EXPECT_EQ(input.m_mouseButtons[1], 0);
  EXPECT_FALSE(Pressed(1));
  w.Xdo({"mouseup", "3"});
  ASSERT_TRUE(w.WaitQueued(input.m_mouse, 1, DIMOFS_BUTTON1));
  Frame();
  EXPECT_FALSE(Pressed(1));
  EXPECT_FALSE(Released(1));

  // The next click is an ordinary one.
  w.Xdo({"click", "3"});
  ASSERT_TRUE(w.WaitQueued(input.m_mouse, 2, DIMOFS_BUTTON1));
  Frame();
  EXPECT_TRUE(Pressed(1));
}

TEST_F(InputDevicesTest, AHeldStickReadsEveryFrameAndAButtonOnlyInItsPressFrame) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
  const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 4, 0);
  ASSERT_GE(index, 0) << SDL_GetError();
  SDL_Joystick* stick = SDL_JoystickOpen(index);
  Init();
  ASSERT_EQ(input.m_joystickCount, 1u);

  SDL_JoystickSetVirtualAxis(stick, 0, -32768);
  SDL_JoystickSetVirtualButton(stick, 3, SDL_PRESSED);
  ASSERT_TRUE(w.WaitQueued(input.m_joysticks[0], 1, DIJOFS_BUTTON(3)));
  Frame();
  const JoystickState& state = input.m_joystickStates[0];
  EXPECT_EQ(state.x, -1000);
  EXPECT_EQ(state.left, 1);
  EXPECT_EQ(state.right + state.up + state.down, 0);
  EXPECT_EQ(state.buttons[3], 1);
  Frame();
  EXPECT_EQ(state.left, 1);
  EXPECT_EQ(state.buttons[3], 0);

  SDL_JoystickSetVirtualAxis(stick, 1, 32767);
  ASSERT_TRUE(w.WaitQueued(input.m_joysticks[0], 1, DIJOFS_Y));
  Frame();
  EXPECT_EQ(state.y, 1000);
  EXPECT_EQ(state.down + state.left, 2);

  // A button released within the poll of its press still reads pressed in that poll.
  SDL_JoystickSetVirtualButton(stick, 3, SDL_RELEASED);
  ASSERT_TRUE(w.WaitQueued(input.m_joysticks[0], 1, DIJOFS_BUTTON(3)));
  Frame();
  SDL_JoystickSetVirtualButton(stick, 3, SDL_PRESSED);
  w.Pump();
  SDL_JoystickSetVirtualButton(stick, 3, SDL_RELEASED);
  ASSERT_TRUE(w.WaitQueued(input.m_joysticks[0], 2, DIJOFS_BUTTON(3)));
  Frame();
  EXPECT_EQ(state.buttons[3], 1);
  Frame();
  EXPECT_EQ(state.buttons[3], 0);

  input.ReleaseInput();
  SDL_JoystickClose(stick);
  SDL_JoystickDetachVirtual(index);
  SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

TEST_F(InputDevicesTest, TwentyJoysticksWithADriverLimitOfSixteenCreateSixteen) {
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0);
  for (int i = 0; i < 20; ++i) ASSERT_GE(SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 1, 0), 0);
  Init();
  EXPECT_EQ(input.m_joystickLimit, 16u);
  EXPECT_EQ(input.m_joystickCount, 16u);
  for (DWORD i = 0; i < CInputDevices::kMaxJoysticks; ++i) EXPECT_NE(input.m_joysticks[i], nullptr);
  Frame();
  input.ReleaseInput();
  EXPECT_EQ(input.m_joysticks[0], nullptr);
  while (SDL_NumJoysticks() > 0) SDL_JoystickDetachVirtual(0);
  SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

// The 640 x 480 back buffer is stretched over the client area, so the pointer is scaled to it.
TEST(InputDevicesPointerTest, ThePointerIsInBackBufferPixelsWhateverTheClientSize) {
  InputTestWindow w;
  ASSERT_NE(w.hwnd, nullptr);
  TestDevice device({.width = 640, .height = 480, .window = w.hwnd});
  ASSERT_NE(device.get(), nullptr);
  {
    CInputDevices input(device.get());
    ASSERT_EQ(input.InitInput(GetModuleHandleW(nullptr), w.hwnd), S_OK);
    const struct {
      int clientW, clientH, x, y, expectX, expectY;
    } cases[] = {{640, 480, 100, 50, 100, 50},
                 {320, 240, 100, 50, 200, 100},
                 {960, 720, 300, 150, 200, 100},
                 {960, 720, 959, 719, 639, 479}};
    for (const auto& c : cases) {
      SCOPED_TRACE(std::to_string(c.clientW) + "x" + std::to_string(c.clientH));
      RECT rc{0, 0, c.clientW, c.clientH};
      AdjustWindowRect(&rc, WS_OVERLAPPEDWINDOW, FALSE);
      SetWindowPos(w.hwnd, nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top, SWP_NOMOVE | SWP_NOZORDER);
      ASSERT_TRUE(w.PumpUntil([&] {
        RECT client{};
        GetClientRect(w.hwnd, &client);
        return client.right == c.clientW && client.bottom == c.clientH;
      }));
      // Placed through the window layer: its cursor position follows the warp at once.
      POINT screen{c.x, c.y};
      ClientToScreen(w.hwnd, &screen);
      ASSERT_TRUE(SetCursorPos(screen.x, screen.y));
      ASSERT_TRUE(w.PumpUntil([&] {
        POINT cursor{};
        return GetCursorPos(&cursor) && cursor.x == screen.x && cursor.y == screen.y;
      })) << "the window layer's cursor position never reached the warp";
      input.PollPointer();
      EXPECT_EQ(input.m_pointerX, c.expectX);
      EXPECT_EQ(input.m_pointerY, c.expectY);
    }
  }
}

}  // namespace
