// The system pointer: position, confinement, shape and visibility.
#include <SDL.h>

#include <algorithm>

#include "platform/win32/Win32State.h"

namespace {

void ApplyVisibility() {
  auto& s = Win32State();
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  const bool visible = s.cursorCount >= 0 && s.currentCursor;
  if (visible)
    if (SDL_Cursor* c = Win32SdlCursor(s.currentCursor)) SDL_SetCursor(c);
  SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

}  // namespace

BOOL GetCursorPos(LPPOINT point) {
  if (!point || !SDL_WasInit(SDL_INIT_VIDEO)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // Over one of our windows the event-driven position is current; SDL's global query can lag
  // behind pointer moves it was not told about (XTEST moves on Xvfb, for one).
  int x = 0, y = 0;
  if (SDL_Window* focus = SDL_GetMouseFocus()) {
    int wx = 0, wy = 0;
    SDL_GetWindowPosition(focus, &wx, &wy);
    SDL_GetMouseState(&x, &y);
    // The window's corner and the point within it each in the program's pixels, so that
    // ScreenToClient gives back exactly the client point the pointer is on.
    *point = {Win32Logical(wx) + Win32Logical(x), Win32Logical(wy) + Win32Logical(y)};
    return TRUE;
  }
  SDL_GetGlobalMouseState(&x, &y);
  *point = {Win32Logical(x), Win32Logical(y)};
  return TRUE;
}

BOOL SetCursorPos(int x, int y) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return FALSE;
  // A point over one of our windows (by the position last reported, the one ClientToScreen
  // used) is warped relative to that window: the server then places it on the same client point
  // even while the window manager's move of a new window has not been reported yet.
  for (auto& w : Win32State().windows) {
    if (!w->sdl || !(SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_SHOWN)) continue;
    int wx = 0, wy = 0, ww = 0, wh = 0;
    SDL_GetWindowPosition(w->sdl, &wx, &wy);
    SDL_GetWindowSize(w->sdl, &ww, &wh);
    wx = Win32Logical(wx);
    wy = Win32Logical(wy);
    ww = Win32Logical(ww);
    wh = Win32Logical(wh);
    if (x >= wx && x < wx + ww && y >= wy && y < wy + wh) {
      // The first screen pixel of the program's pixel.
      SDL_WarpMouseInWindow(w->sdl, Win32Device(x - wx), Win32Device(y - wy));
      return TRUE;
    }
  }
  return SDL_WarpMouseGlobal(Win32Device(x), Win32Device(y)) == 0 ? TRUE : FALSE;
}

BOOL ClipCursor(const RECT* rect) {
  auto& s = Win32State();
  for (auto& w : s.windows) {
    SDL_SetWindowMouseRect(w->sdl, nullptr);
    SDL_SetWindowMouseGrab(w->sdl, SDL_FALSE);
  }
  s.haveClip = rect != nullptr;
  if (!rect) return TRUE;
  s.clip = *rect;
  // Confine to the window the rectangle covers most.
  HWND__* best = nullptr;
  long bestArea = -1;
  for (auto& w : s.windows) {
    RECT r{};
    GetWindowRect(w.get(), &r);
    const long iw = std::min(r.right, rect->right) - std::max(r.left, rect->left);
    const long ih = std::min(r.bottom, rect->bottom) - std::max(r.top, rect->top);
    const long area = iw > 0 && ih > 0 ? iw * ih : 0;
    if (area > bestArea) {
      best = w.get();
      bestArea = area;
    }
  }
  if (!best) return TRUE;
  POINT origin{0, 0};
  ClientToScreen(best, &origin);
  const SDL_Rect confine{Win32Device(rect->left - origin.x), Win32Device(rect->top - origin.y),
                         Win32Device(std::max(1, int(rect->right - rect->left))),
                         Win32Device(std::max(1, int(rect->bottom - rect->top)))};
  SDL_SetWindowMouseRect(best->sdl, &confine);
  SDL_SetWindowMouseGrab(best->sdl, SDL_TRUE);
  return TRUE;
}

BOOL GetClipCursor(LPRECT rect) {
  auto& s = Win32State();
  if (!rect) return FALSE;
  if (s.haveClip) {
    *rect = s.clip;
  } else {
    *rect = {0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  }
  return TRUE;
}

HCURSOR SetCursor(HCURSOR cursor) {
  auto& s = Win32State();
  HCURSOR previous = s.currentCursor;
  if (cursor != previous) {
    s.currentCursor = cursor;
    ApplyVisibility();
  }
  return previous;
}

int ShowCursor(BOOL show) {
  auto& s = Win32State();
  s.cursorCount += show ? 1 : -1;
  ApplyVisibility();
  return s.cursorCount;
}
