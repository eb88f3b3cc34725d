#include <SDL.h>
#include <gtest/gtest.h>

#include <thread>

#include "platform/win32/SdlWindow.h"
#include "support/WaitUntil.h"
#include "tests/platform/win32/TestWindow.h"

namespace {

void PushKey(HWND hwnd, SDL_Keycode key, SDL_Scancode scancode, Uint16 mod, bool down, bool repeat = false) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.windowID = SDL_GetWindowID(Win32SdlWindow(hwnd));
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.repeat = repeat;
  e.key.keysym.sym = key;
  e.key.keysym.scancode = scancode;
  e.key.keysym.mod = mod;
  SDL_PushEvent(&e);
}

void PushWindowEvent(HWND hwnd, Uint8 event) {
  SDL_Event e{};
  e.type = SDL_WINDOWEVENT;
  e.window.windowID = SDL_GetWindowID(Win32SdlWindow(hwnd));
  e.window.event = event;
  SDL_PushEvent(&e);
}

}  // namespace

TEST(MessageQueue, KeysBecomeCommandsThroughTheAcceleratorTable) {
  const ACCEL table[] = {{FVIRTKEY, VK_ESCAPE, 40006},   {FVIRTKEY | FALT, 'X', 40006},
                         {FVIRTKEY, VK_F2, 40002},       {FVIRTKEY | FALT, VK_RETURN, 40003},
                         {FVIRTKEY, VK_OEM_PLUS, 40108}, {FVIRTKEY | FSHIFT, VK_OEM_PLUS, 40108}};
  Win32RegisterAcceleratorResource(113, table, 6);
  TestWindow w;
  HACCEL accel = LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(113));
  ASSERT_NE(accel, nullptr);
  EXPECT_EQ(LoadAcceleratorsW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(114)), nullptr);

  struct Case {
    SDL_Keycode key;
    SDL_Scancode scancode;
    Uint16 mod;
    UINT keyMessage;
    int command;  // 0: none
  } cases[] = {
      {SDLK_ESCAPE, SDL_SCANCODE_ESCAPE, KMOD_NONE, WM_KEYDOWN, 40006},
      {SDLK_x, SDL_SCANCODE_X, KMOD_LALT, WM_SYSKEYDOWN, 40006},
      {SDLK_F2, SDL_SCANCODE_F2, KMOD_NONE, WM_KEYDOWN, 40002},
      {SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_LALT, WM_SYSKEYDOWN, 40003},
      {SDLK_x, SDL_SCANCODE_X, KMOD_NONE, WM_KEYDOWN, 0},            // X without Alt
      {SDLK_RETURN, SDL_SCANCODE_RETURN, KMOD_NONE, WM_KEYDOWN, 0},  // Enter without Alt
      {SDLK_F2, SDL_SCANCODE_F2, KMOD_LCTRL, WM_KEYDOWN, 0},         // extra modifier
      // "+": Shift and "=" on a US layout, a key of its own on a German one.
      {SDLK_EQUALS, SDL_SCANCODE_EQUALS, KMOD_LSHIFT, WM_KEYDOWN, 40108},
      {SDLK_PLUS, SDL_SCANCODE_RIGHTBRACKET, KMOD_NONE, WM_KEYDOWN, 40108},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(SDL_GetKeyName(c.key));
    TestWindow::Messages().clear();
    PushKey(w.hwnd, c.key, c.scancode, c.mod, true);
    PushKey(w.hwnd, c.key, c.scancode, c.mod, false);
    w.Pump(accel);
    const auto commands = TestWindow::Only({WM_COMMAND});
    if (c.command) {
      ASSERT_EQ(commands.size(), 1u);
      EXPECT_EQ(LOWORD(commands[0].wParam), c.command);
      EXPECT_EQ(HIWORD(commands[0].wParam), 1);
      EXPECT_TRUE(TestWindow::Only({WM_KEYDOWN, WM_SYSKEYDOWN}).empty());  // consumed
    } else {
      EXPECT_TRUE(commands.empty());
      const auto keys = TestWindow::Only({WM_KEYDOWN, WM_SYSKEYDOWN});
      ASSERT_EQ(keys.size(), 1u);
      EXPECT_EQ(keys[0].message, c.keyMessage);
    }
    const auto ups = TestWindow::Only({WM_KEYUP, WM_SYSKEYUP});
    ASSERT_EQ(ups.size(), 1u);
    EXPECT_EQ(ups[0].message, c.mod & KMOD_ALT ? WM_SYSKEYUP : WM_KEYUP);
  }
  EXPECT_TRUE(DestroyAcceleratorTable(accel));
  EXPECT_FALSE(DestroyAcceleratorTable(accel));
}

TEST(MessageQueue, EveryRepeatOfAHeldKeyIsACommand) {
  const ACCEL table[] = {{FVIRTKEY, VK_RIGHT, 40101}};
  HACCEL accel = CreateAcceleratorTableW(table, 1);
  TestWindow w;
  TestWindow::Messages().clear();
  PushKey(w.hwnd, SDLK_RIGHT, SDL_SCANCODE_RIGHT, KMOD_NONE, true);
  PushKey(w.hwnd, SDLK_RIGHT, SDL_SCANCODE_RIGHT, KMOD_NONE, true, true);
  PushKey(w.hwnd, SDLK_RIGHT, SDL_SCANCODE_RIGHT, KMOD_NONE, true, true);
  PushKey(w.hwnd, SDLK_RIGHT, SDL_SCANCODE_RIGHT, KMOD_NONE, false);
  w.Pump(accel);
  EXPECT_EQ(TestWindow::Only({WM_COMMAND}).size(), 3u);
  DestroyAcceleratorTable(accel);
}

TEST(MessageQueue, CloseRequestDestroysTheWindowAndQuits) {
  TestWindow w;
  PushWindowEvent(w.hwnd, SDL_WINDOWEVENT_CLOSE);
  MSG m{};
  int closes = 0;
  while (GetMessageW(&m, nullptr, 0, 0)) {
    closes += m.message == WM_CLOSE;
    DispatchMessageW(&m);
  }
  EXPECT_EQ(m.message, WM_QUIT);
  EXPECT_EQ(m.wParam, 7u);
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(IsWindow(w.hwnd));
  const auto order = TestWindow::Only({WM_CLOSE, WM_DESTROY, WM_NCDESTROY});
  ASSERT_EQ(order.size(), 3u);
  EXPECT_EQ(order[0].message, WM_CLOSE);
  EXPECT_EQ(order[1].message, WM_DESTROY);
  EXPECT_EQ(order[2].message, WM_NCDESTROY);
}

TEST(MessageQueue, UserResizeIsFramedAsAMoveSizeLoop) {
  TestWindow w;
  w.Pump();
  TestWindow::Messages().clear();
  // The window manager resizes the window: SDL reports it as a size change.
  SDL_SetWindowSize(Win32SdlWindow(w.hwnd), 500, 400);
  WaitUntil([&] {
    w.Pump();
    return !TestWindow::Only({WM_EXITSIZEMOVE}).empty();
  });
  const auto seq = TestWindow::Only({WM_ENTERSIZEMOVE, WM_SIZE, WM_EXITSIZEMOVE});
  ASSERT_EQ(seq.size(), 3u);
  EXPECT_EQ(seq[0].message, WM_ENTERSIZEMOVE);
  EXPECT_EQ(seq[1].message, WM_SIZE);
  EXPECT_EQ(seq[1].wParam, static_cast<WPARAM>(SIZE_RESTORED));
  EXPECT_EQ(seq[1].lParam, MAKELPARAM(500, 400));
  EXPECT_EQ(seq[2].message, WM_EXITSIZEMOVE);
}

TEST(MessageQueue, MinimizeMaximizeRestoreAndExposeReachTheWindow) {
  TestWindow w;
  w.Pump();
  TestWindow::Messages().clear();
  PushWindowEvent(w.hwnd, SDL_WINDOWEVENT_MINIMIZED);
  PushWindowEvent(w.hwnd, SDL_WINDOWEVENT_RESTORED);
  PushWindowEvent(w.hwnd, SDL_WINDOWEVENT_MAXIMIZED);
  PushWindowEvent(w.hwnd, SDL_WINDOWEVENT_EXPOSED);
  w.Pump();
  const auto seq = TestWindow::Only({WM_SIZE, WM_PAINT});
  ASSERT_EQ(seq.size(), 4u);
  EXPECT_EQ(seq[0].wParam, static_cast<WPARAM>(SIZE_MINIMIZED));
  EXPECT_EQ(seq[1].wParam, static_cast<WPARAM>(SIZE_RESTORED));
  EXPECT_EQ(seq[1].lParam, MAKELPARAM(640, 480));
  EXPECT_EQ(seq[2].wParam, static_cast<WPARAM>(SIZE_MAXIMIZED));
  EXPECT_EQ(seq[3].message, WM_PAINT);  // paint comes once nothing else waits
}

TEST(MessageQueue, MouseMotionSetsTheCursorThenMoves) {
  TestWindow w;
  w.Pump();
  TestWindow::Messages().clear();
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.windowID = SDL_GetWindowID(Win32SdlWindow(w.hwnd));
  e.motion.x = 123;
  e.motion.y = 45;
  SDL_PushEvent(&e);
  w.Pump();
  const auto seq = TestWindow::Only({WM_SETCURSOR, WM_MOUSEMOVE});
  ASSERT_EQ(seq.size(), 2u);
  EXPECT_EQ(seq[0].message, WM_SETCURSOR);
  EXPECT_EQ(LOWORD(seq[0].lParam), HTCLIENT);
  EXPECT_EQ(seq[1].lParam, MAKELPARAM(123, 45));
}

TEST(MessageQueue, ListenersSeeEventsBeforeTheWindow) {
  TestWindow w;
  w.Pump();
  TestWindow::Messages().clear();
  std::vector<int> order;
  const int id = Win32AddSdlEventListener([&](const SDL_Event& e) {
    if (e.type == SDL_KEYDOWN) order.push_back(static_cast<int>(TestWindow::Messages().size()));
  });
  PushKey(w.hwnd, SDLK_a, SDL_SCANCODE_A, KMOD_NONE, true);
  w.Pump();
  Win32RemoveSdlEventListener(id);
  PushKey(w.hwnd, SDLK_a, SDL_SCANCODE_A, KMOD_NONE, true);
  w.Pump();
  ASSERT_EQ(order.size(), 1u);  // removed listeners hear nothing more
  EXPECT_EQ(order[0], 0);
  const auto chars = TestWindow::Only({WM_CHAR});
  ASSERT_EQ(chars.size(), 2u);
  EXPECT_EQ(chars[0].wParam, static_cast<WPARAM>('a'));
}

TEST(MessageQueue, PostFromAnotherThreadWakesGetMessage) {
  TestWindow w;
  w.Pump();
  std::thread poster([&] {
    SDL_Delay(50);
    PostMessageW(w.hwnd, WM_APP + 1, 42, 0);
  });
  MSG m{};
  do {
    ASSERT_TRUE(GetMessageW(&m, nullptr, 0, 0));
  } while (m.message != WM_APP + 1);
  poster.join();
  EXPECT_EQ(m.wParam, 42u);
  EXPECT_EQ(m.hwnd, w.hwnd);
}

TEST(MessageQueue, PeekFiltersAndKeepsMessagesWithoutRemove) {
  TestWindow w;
  w.Pump();
  PostMessageW(w.hwnd, WM_APP + 1, 1, 0);
  PostMessageW(w.hwnd, WM_APP + 2, 2, 0);
  MSG m{};
  ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_APP + 2, WM_APP + 2, PM_NOREMOVE));
  EXPECT_EQ(m.wParam, 2u);
  ASSERT_TRUE(PeekMessageW(&m, nullptr, WM_APP + 2, WM_APP + 2, PM_REMOVE));
  EXPECT_FALSE(PeekMessageW(&m, nullptr, WM_APP + 2, WM_APP + 2, PM_REMOVE));
  PostQuitMessage(3);
  ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_APP + 1);  // queued messages come before the quit
  ASSERT_TRUE(PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE));
  EXPECT_EQ(m.message, WM_QUIT);
  EXPECT_EQ(m.wParam, 3u);
}
