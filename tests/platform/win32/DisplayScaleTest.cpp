// The windows' scale: what the desktop asks for, and a window at scale 2 as the program sees it.
#include "platform/win32/DisplayScale.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/win32/SdlWindow.h"
#include "tests/platform/win32/TestWindow.h"

namespace {

// Scale 2 for the windows a test creates, and 1 again after it.
struct ScaleTwo {
  ScaleTwo() { Win32SetWindowScale(2); }
  ~ScaleTwo() { Win32SetWindowScale(1); }
};

Uint8 Gray(SDL_Surface* s, int x, int y) {
  Uint32 pixel = 0;
  std::memcpy(&pixel, static_cast<Uint8*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel,
              s->format->BytesPerPixel);
  Uint8 r, g, b;
  SDL_GetRGB(pixel, s->format, &r, &g, &b);
  return static_cast<Uint8>((r + g + b) / 3);
}

}  // namespace

TEST(DisplayScale, WhatTheDesktopAsksFor) {
  const struct {
    const char* gdkScale;
    const char* xftDpi;
    int scale;
  } cases[] = {
      {nullptr, nullptr, 1},  {"2", nullptr, 2},   {"3", "96", 3},         {"1", "192", 1},    // GDK_SCALE wins
      {"", "192", 2},         {"0", "192", 2},     {"x", "192", 2},        {"9", nullptr, 1},  // not a scale: no say
      {nullptr, "96", 1},     {nullptr, "144", 1}, {nullptr, "191.9", 1},  {nullptr, "192", 2},
      {nullptr, "192.0", 2},  {nullptr, "288", 3}, {nullptr, "100000", 8}, {nullptr, "72", 1},
      {nullptr, "192dpi", 1}, {nullptr, "", 1},    {nullptr, "-192", 1},   {nullptr, "nan", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << (c.gdkScale ? c.gdkScale : "(unset)") << " / "
                                    << (c.xftDpi ? c.xftDpi : "(unset)"));
    EXPECT_EQ(c.scale, Win32ScaleFromDesktop(c.gdkScale, c.xftDpi));
  }
}

TEST(DisplayScale, AWindowAtScaleTwoIsTwiceAsLargeAndReportsTheProgramsPixels) {
  const ScaleTwo scale;
  TestWindow w;
  SDL_Window* sdl = Win32SdlWindow(w.hwnd);
  int cw = 0, ch = 0;
  SDL_GetWindowSize(sdl, &cw, &ch);
  EXPECT_EQ(1280, cw);
  EXPECT_EQ(960, ch);
  RECT rc{};
  ASSERT_TRUE(GetClientRect(w.hwnd, &rc));
  EXPECT_EQ(640, rc.right);
  EXPECT_EQ(480, rc.bottom);
  EXPECT_EQ(SDL_GetWindowFlags(sdl) & SDL_WINDOW_FULLSCREEN, 0u);

  // Pointer events arrive in the program's pixels: each is a square of 2 x 2 screen pixels.
  w.Pump();
  TestWindow::Messages().clear();
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.windowID = SDL_GetWindowID(sdl);
  e.motion.x = 1279;
  e.motion.y = 640;
  SDL_PushEvent(&e);
  e = {};
  e.type = SDL_MOUSEBUTTONDOWN;
  e.button.windowID = SDL_GetWindowID(sdl);
  e.button.button = SDL_BUTTON_LEFT;
  e.button.x = 3;
  e.button.y = 2;
  SDL_PushEvent(&e);
  w.Pump();
  const auto moves = TestWindow::Only({WM_MOUSEMOVE, WM_LBUTTONDOWN});
  ASSERT_EQ(2u, moves.size());
  EXPECT_EQ(MAKELPARAM(639, 320), moves[0].lParam);
  EXPECT_EQ(MAKELPARAM(1, 1), moves[1].lParam);

  // Client and screen points go back and forth unchanged, and a saved window rectangle restores
  // the same window.
  POINT point{320, 240};
  ASSERT_TRUE(ClientToScreen(w.hwnd, &point));
  ASSERT_TRUE(ScreenToClient(w.hwnd, &point));
  EXPECT_EQ(320, point.x);
  EXPECT_EQ(240, point.y);
  RECT saved{};
  ASSERT_TRUE(GetWindowRect(w.hwnd, &saved));
  EXPECT_GE(saved.right - saved.left, 640);
  EXPECT_LT(saved.right - saved.left, 700);
  ASSERT_TRUE(SetWindowPos(w.hwnd, HWND_NOTOPMOST, saved.left, saved.top, saved.right - saved.left,
                           saved.bottom - saved.top, SWP_SHOWWINDOW));
  SDL_GetWindowSize(sdl, &cw, &ch);
  EXPECT_EQ(1280, cw);
  EXPECT_EQ(960, ch);
  const auto sizes = TestWindow::Only({WM_SIZE});
  for (const auto& size : sizes) EXPECT_EQ(MAKELPARAM(640, 480), size.lParam);
}

TEST(DisplayScale, TextDrawnOnAWindowAtScaleTwoIsTheScaleOneTextEnlarged) {
  const ScaleTwo scale;
  TestWindow w;
  HDC dc = GetDC(w.hwnd);
  RECT rc{};
  GetClientRect(w.hwnd, &rc);
  RECT measured = rc;
  DrawTextW(dc, u"Loading... Please wait", -1, &measured, DT_SINGLELINE | DT_CALCRECT);
  DrawTextW(dc, u"Loading... Please wait", -1, &rc, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
  ReleaseDC(w.hwnd, dc);

  SDL_Surface* surface = SDL_GetWindowSurface(Win32SdlWindow(w.hwnd));
  ASSERT_NE(surface, nullptr);
  ASSERT_EQ(1280, surface->w);
  ASSERT_EQ(960, surface->h);
  int left = INT_MAX, right = -1, top = INT_MAX, bottom = -1, uneven = 0;
  for (int y = 0; y < surface->h; ++y)
    for (int x = 0; x < surface->w; ++x) {
      if (Gray(surface, x, y) != Gray(surface, x & ~1, y & ~1)) ++uneven;
      if (Gray(surface, x, y) < 128) {
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
    }
  EXPECT_EQ(0, uneven) << "pixels that differ from the rest of their 2 x 2 square";
  EXPECT_EQ(255, Gray(surface, 1279, 959));  // the class background covers the whole window
  EXPECT_NEAR((left + right) / 2.0, 640, 8);
  EXPECT_NEAR((top + bottom) / 2.0, 480, 8);
  EXPECT_NEAR(right - left + 1, 2 * (measured.right - measured.left), 8);
}
