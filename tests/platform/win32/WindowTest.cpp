#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "platform/win32/SdlWindow.h"
#include "tests/platform/win32/TestWindow.h"

TEST(Window, ClientAreaTitleAndOpenGlAttributes) {
  TestWindow w;
  RECT rc{};
  ASSERT_TRUE(GetClientRect(w.hwnd, &rc));
  EXPECT_EQ(rc.right, 640);
  EXPECT_EQ(rc.bottom, 480);
  SDL_Window* sdl = Win32SdlWindow(w.hwnd);
  ASSERT_NE(sdl, nullptr);
  EXPECT_EQ(Win32WindowFromSdl(sdl), w.hwnd);
  int cw = 0, ch = 0;
  SDL_GetWindowSize(sdl, &cw, &ch);
  EXPECT_EQ(cw, 640);
  EXPECT_EQ(ch, 480);
  EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_OPENGL);
  EXPECT_TRUE(IsWindowVisible(w.hwnd));

  // The title is kept exactly and reaches the window system as UTF-8.
  ASSERT_TRUE(SetWindowTextW(w.hwnd, u"ようこそ.bmp - Orbelle-Player"));
  WCHAR title[64];
  EXPECT_EQ(GetWindowTextW(w.hwnd, title, 64), 25);
  EXPECT_EQ(std::u16string(title), u"ようこそ.bmp - Orbelle-Player");
  EXPECT_STREQ(SDL_GetWindowTitle(sdl), "ようこそ.bmp - Orbelle-Player");
  EXPECT_EQ(GetWindowTextW(w.hwnd, title, 5), 4);  // cut to the buffer, terminated
  EXPECT_EQ(std::u16string(title), u"ようこそ");

  // The window rectangle is the client area in screen coordinates plus the frame.
  RECT wr{};
  ASSERT_TRUE(GetWindowRect(w.hwnd, &wr));
  POINT origin{0, 0};
  ClientToScreen(w.hwnd, &origin);
  EXPECT_LE(wr.left, origin.x);
  EXPECT_LE(wr.top, origin.y);
  EXPECT_GE(wr.right, origin.x + 640);
  EXPECT_GE(wr.bottom, origin.y + 480);
  POINT back = origin;
  ScreenToClient(w.hwnd, &back);
  EXPECT_EQ(back.x, 0);
  EXPECT_EQ(back.y, 0);

  // A GL 3.3 core context can be made on the window.
  SDL_GLContext gl = SDL_GL_CreateContext(sdl);
  ASSERT_NE(gl, nullptr) << SDL_GetError();
  int major = 0, minor = 0, profile = 0;
  SDL_GL_GetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, &major);
  SDL_GL_GetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, &minor);
  SDL_GL_GetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, &profile);
  EXPECT_GE(major * 10 + minor, 33);
  EXPECT_EQ(profile, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_DeleteContext(gl);
}

TEST(Window, StylesSwitchBetweenFramedAndPopup) {
  TestWindow w;
  SDL_Window* sdl = Win32SdlWindow(w.hwnd);
  const LONG framed = GetWindowLongW(w.hwnd, GWL_STYLE);
  EXPECT_EQ(static_cast<DWORD>(framed), WS_OVERLAPPEDWINDOW | WS_VISIBLE);
  EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_RESIZABLE);

  EXPECT_EQ(SetWindowLongW(w.hwnd, GWL_STYLE, static_cast<LONG>(WS_POPUP | WS_SYSMENU | WS_VISIBLE)), framed);
  EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_BORDERLESS);
  EXPECT_FALSE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_RESIZABLE);

  SetWindowLongW(w.hwnd, GWL_STYLE, framed);
  EXPECT_FALSE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_BORDERLESS);
  EXPECT_TRUE(SDL_GetWindowFlags(sdl) & SDL_WINDOW_RESIZABLE);
  EXPECT_EQ(GetWindowLongW(nullptr, GWL_STYLE), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST(Window, SetWindowPosRestoresASavedRectangleAndReportsTheSize) {
  TestWindow w;
  RECT saved{};
  GetWindowRect(w.hwnd, &saved);
  ASSERT_TRUE(SetWindowPos(w.hwnd, HWND_NOTOPMOST, 10, 20, 300, 200, SWP_SHOWWINDOW));
  const auto sizes = TestWindow::Only({WM_SIZE, WM_ENTERSIZEMOVE});
  ASSERT_EQ(sizes.size(), 1u);  // sent at once, no move/size loop around it
  RECT rc{};
  GetClientRect(w.hwnd, &rc);
  EXPECT_EQ(sizes[0].lParam, MAKELPARAM(rc.right, rc.bottom));

  TestWindow::Messages().clear();
  SetWindowPos(w.hwnd, HWND_NOTOPMOST, saved.left, saved.top, saved.right - saved.left, saved.bottom - saved.top,
               SWP_SHOWWINDOW);
  GetClientRect(w.hwnd, &rc);
  EXPECT_EQ(rc.right, 640);
  EXPECT_EQ(rc.bottom, 480);
  w.Pump();  // the window system's own notice of the same size adds nothing
  EXPECT_EQ(TestWindow::Only({WM_SIZE}).size(), 1u);
  EXPECT_TRUE(TestWindow::Only({WM_ENTERSIZEMOVE, WM_EXITSIZEMOVE}).empty());
}

TEST(Window, CreationFailsCleanlyForUnknownClass) {
  EXPECT_EQ(
      CreateWindowExW(0, u"No Such Class", u"x", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
      nullptr);
  EXPECT_EQ(GetLastError(), ERROR_CANNOT_FIND_WND_CLASS);
  EXPECT_FALSE(IsWindow(nullptr));
  EXPECT_FALSE(DestroyWindow(nullptr));
}
