#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "platform/win32/SdlWindow.h"
#include "tests/platform/win32/TestWindow.h"

namespace {

Uint8 Gray(SDL_Surface* s, int x, int y) {
  Uint32 pixel = 0;
  std::memcpy(&pixel, static_cast<Uint8*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel,
              s->format->BytesPerPixel);
  Uint8 r, g, b;
  SDL_GetRGB(pixel, s->format, &r, &g, &b);
  return static_cast<Uint8>((r + g + b) / 3);
}

}  // namespace

TEST(Gdi, LoadingTextIsDrawnCentredAndGlStillWorksAfterwards) {
  TestWindow w;
  HDC screen = GetDC(nullptr);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(MulDiv(12, GetDeviceCaps(screen, LOGPIXELSY), 72), 16);
  EXPECT_EQ(ReleaseDC(nullptr, screen), 1);

  WCHAR text[64];
  wsprintfW(text, u"Loading... Please wait");
  HDC dc = GetDC(w.hwnd);
  ASSERT_NE(dc, nullptr);
  RECT rc{};
  GetClientRect(w.hwnd, &rc);
  RECT measured = rc;
  const int height = DrawTextW(dc, text, -1, &measured, DT_SINGLELINE | DT_CALCRECT);
  EXPECT_GT(height, 8);
  EXPECT_GT(measured.right - measured.left, 100);
  EXPECT_EQ(DrawTextW(dc, text, -1, &rc, DT_SINGLELINE | DT_VCENTER | DT_CENTER), height);
  EXPECT_EQ(ReleaseDC(w.hwnd, dc), 1);
  EXPECT_EQ(ReleaseDC(w.hwnd, dc), 0);  // released once only

  SDL_Surface* surface = SDL_GetWindowSurface(Win32SdlWindow(w.hwnd));
  ASSERT_NE(surface, nullptr);
  ASSERT_EQ(surface->w, 640);
  ASSERT_EQ(surface->h, 480);
  int left = INT_MAX, right = -1, top = INT_MAX, bottom = -1, ink = 0;
  for (int y = 0; y < surface->h; ++y)
    for (int x = 0; x < surface->w; ++x)
      if (Gray(surface, x, y) < 128) {
        ++ink;
        left = std::min(left, x), right = std::max(right, x);
        top = std::min(top, y), bottom = std::max(bottom, y);
      }
  EXPECT_GT(ink, 100);
  EXPECT_EQ(Gray(surface, 0, 0), 255);  // the white class background around the text
  EXPECT_EQ(Gray(surface, 639, 479), 255);
  EXPECT_NEAR((left + right) / 2.0, 320, 4);
  EXPECT_NEAR((top + bottom) / 2.0, 240, 4);
  EXPECT_NEAR(right - left + 1, measured.right - measured.left, 4);

  SDL_GLContext gl = SDL_GL_CreateContext(Win32SdlWindow(w.hwnd));
  ASSERT_NE(gl, nullptr) << SDL_GetError();
  EXPECT_EQ(SDL_GL_MakeCurrent(Win32SdlWindow(w.hwnd), gl), 0);
  SDL_GL_SwapWindow(Win32SdlWindow(w.hwnd));
  SDL_GL_DeleteContext(gl);
}
