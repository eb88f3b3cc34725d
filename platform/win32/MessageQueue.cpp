// The message queue of the window's thread: SDL events become window messages.
#include <SDL.h>

#include <algorithm>
#include <chrono>

#include "platform/win32/Win32State.h"

namespace {

DWORD Modifiers(Uint16 mod) {
  DWORD m = 0;
  if (mod & KMOD_SHIFT) m |= MK_SHIFT;
  if (mod & KMOD_CTRL) m |= MK_CONTROL;
  if (mod & KMOD_ALT) m |= MK_ALT;
  return m;
}

MSG MakeMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, DWORD modifiers = 0) {
  MSG m{hwnd, message, wParam, lParam, timeGetTime(), {0, 0}, modifiers};
  if (SDL_WasInit(SDL_INIT_VIDEO)) {
    int x = 0, y = 0;
    SDL_GetGlobalMouseState(&x, &y);
    m.pt = {Win32Logical(x), Win32Logical(y)};
  }
  return m;
}

WPARAM MouseKeys(Uint32 buttons) {
  WPARAM mk = 0;
  if (buttons & SDL_BUTTON_LMASK) mk |= MK_LBUTTON;
  if (buttons & SDL_BUTTON_RMASK) mk |= MK_RBUTTON;
  if (buttons & SDL_BUTTON_MMASK) mk |= MK_MBUTTON;
  const SDL_Keymod mod = SDL_GetModState();
  if (mod & KMOD_SHIFT) mk |= MK_SHIFT;
  if (mod & KMOD_CTRL) mk |= MK_CONTROL;
  return mk;
}

HWND WindowOfEvent(Uint32 windowId) {
  return Win32WindowFromSdl(SDL_GetWindowFromID(windowId));
}

void TranslateWindowEvent(const SDL_WindowEvent& e) {
  HWND hwnd = WindowOfEvent(e.windowID);
  HWND__* w = Win32FindWindow(hwnd);
  if (!w || w->destroying) return;
  const Uint32 windowFlags = SDL_GetWindowFlags(w->sdl);
  if (!(windowFlags & SDL_WINDOW_FULLSCREEN) &&
      ((windowFlags & SDL_WINDOW_BORDERLESS) != 0) == ((w->style & WS_CAPTION) == WS_CAPTION))
    Win32ApplyStyle(w);
  // Windows sets the cursor again whenever the window under the pointer changes, not only when
  // the pointer moves: a window that comes back from fullscreen shows its own cursor at once.
  if ((e.event == SDL_WINDOWEVENT_SIZE_CHANGED || e.event == SDL_WINDOWEVENT_SHOWN ||
       e.event == SDL_WINDOWEVENT_FOCUS_GAINED) &&
      SDL_GetMouseFocus() == w->sdl)
    Win32QueueMessage(
        MakeMessage(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
  auto queueSize = [&](WPARAM type) {
    SDL_GetWindowSize(w->sdl, &w->clientW, &w->clientH);
    w->clientW = Win32Logical(w->clientW);
    w->clientH = Win32Logical(w->clientH);
    Win32QueueMessage(MakeMessage(hwnd, WM_SIZE, type, MAKELPARAM(w->clientW, w->clientH)));
  };
  switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE:
      Win32QueueMessage(MakeMessage(hwnd, WM_CLOSE, 0, 0));
      break;
    case SDL_WINDOWEVENT_EXPOSED:
      w->needsPaint = true;
      break;
    case SDL_WINDOWEVENT_MINIMIZED:
      Win32QueueMessage(MakeMessage(hwnd, WM_SIZE, SIZE_MINIMIZED, 0));
      break;
    case SDL_WINDOWEVENT_MAXIMIZED:
      queueSize(SIZE_MAXIMIZED);
      break;
    case SDL_WINDOWEVENT_RESTORED:
      queueSize(SIZE_RESTORED);
      break;
    case SDL_WINDOWEVENT_MOVED: {
      int x = 0, y = 0;
      SDL_GetWindowPosition(w->sdl, &x, &y);
      Win32QueueMessage(MakeMessage(hwnd, WM_MOVE, 0, MAKELPARAM(Win32Logical(x), Win32Logical(y))));
      break;
    }
    case SDL_WINDOWEVENT_SIZE_CHANGED: {
      if (Win32Logical(e.data1) == w->clientW && Win32Logical(e.data2) == w->clientH)
        break;  // already reported (SetWindowPos)
      const Uint32 flags = SDL_GetWindowFlags(w->sdl);
      if (flags & SDL_WINDOW_MINIMIZED) break;
      if (flags & SDL_WINDOW_MAXIMIZED) {
        queueSize(SIZE_MAXIMIZED);
      } else if (flags & SDL_WINDOW_FULLSCREEN) {
        queueSize(SIZE_RESTORED);
      } else {
        // The user resized the window: X11 has no modal size loop, so frame the change as one.
        Win32QueueMessage(MakeMessage(hwnd, WM_ENTERSIZEMOVE, 0, 0));
        queueSize(SIZE_RESTORED);
        Win32QueueMessage(MakeMessage(hwnd, WM_EXITSIZEMOVE, 0, 0));
      }
      break;
    }
    default:
      break;
  }
}

void TranslateKey(const SDL_KeyboardEvent& e) {
  HWND hwnd = WindowOfEvent(e.windowID);
  if (!hwnd) return;
  const int vk = Win32VkFromSdl(e.keysym);
  if (vk == 0) return;
  const bool down = e.type == SDL_KEYDOWN;
  const bool alt = (e.keysym.mod & KMOD_ALT) && !(e.keysym.mod & KMOD_CTRL);
  const bool sys = alt || vk == VK_F10 || (vk == VK_MENU && !(e.keysym.mod & KMOD_CTRL));
  const UINT message = down ? (sys ? WM_SYSKEYDOWN : WM_KEYDOWN) : (sys ? WM_SYSKEYUP : WM_KEYUP);
  DWORD lParam = 1 | ((static_cast<DWORD>(e.keysym.scancode) & 0xFF) << 16);
  if (alt) lParam |= 1u << 29;
  if (!down || e.repeat) lParam |= 1u << 30;
  if (!down) lParam |= 1u << 31;
  Win32QueueMessage(
      MakeMessage(hwnd, message, static_cast<WPARAM>(vk), static_cast<LPARAM>(lParam), Modifiers(e.keysym.mod)));
}

void TranslateEvent(const SDL_Event& e) {
  auto& s = Win32State();
  switch (e.type) {
    case SDL_QUIT:
      for (auto& w : s.windows)
        if (!w->destroying) Win32QueueMessage(MakeMessage(w.get(), WM_CLOSE, 0, 0));
      break;
    case SDL_WINDOWEVENT:
      TranslateWindowEvent(e.window);
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      TranslateKey(e.key);
      break;
    case SDL_MOUSEMOTION: {
      HWND hwnd = WindowOfEvent(e.motion.windowID);
      if (!hwnd) break;
      Win32QueueMessage(
          MakeMessage(hwnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
      Win32QueueMessage(MakeMessage(hwnd, WM_MOUSEMOVE, MouseKeys(e.motion.state),
                                    MAKELPARAM(Win32Logical(e.motion.x), Win32Logical(e.motion.y))));
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      HWND hwnd = WindowOfEvent(e.button.windowID);
      const bool down = e.type == SDL_MOUSEBUTTONDOWN;
      UINT message = 0;
      if (e.button.button == SDL_BUTTON_LEFT) message = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
      if (e.button.button == SDL_BUTTON_RIGHT) message = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
      if (e.button.button == SDL_BUTTON_MIDDLE) message = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
      if (!hwnd || !message) break;
      Win32QueueMessage(MakeMessage(hwnd, message, MouseKeys(SDL_GetMouseState(nullptr, nullptr)),
                                    MAKELPARAM(Win32Logical(e.button.x), Win32Logical(e.button.y))));
      break;
    }
    case SDL_MOUSEWHEEL: {
      HWND hwnd = WindowOfEvent(e.wheel.windowID);
      if (!hwnd) break;
      int y = e.wheel.y;
      if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) y = -y;
      MSG m = MakeMessage(hwnd, WM_MOUSEWHEEL, 0, 0);
      m.wParam = MAKEWPARAM(MouseKeys(SDL_GetMouseState(nullptr, nullptr)), y * WHEEL_DELTA);
      m.lParam = MAKELPARAM(m.pt.x, m.pt.y);  // screen coordinates, as on Windows
      Win32QueueMessage(m);
      break;
    }
    case SDL_DROPBEGIN:
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
    case SDL_DROPCOMPLETE:
      Win32TranslateDropEvent(e.drop);
      break;
    default:
      break;
  }
}

void HandleSdlEvent(const SDL_Event& e) {
  auto& s = Win32State();
  if (s.wakeEventType != 0 && e.type == s.wakeEventType) return;
  const auto listeners = s.listeners;  // a listener may remove itself
  for (const auto& [id, listener] : listeners) listener(e);
  TranslateEvent(e);
}

void PumpSdl() {
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return;
  SDL_Event e;
  while (SDL_PollEvent(&e)) HandleSdlEvent(e);
}

}  // namespace

bool Win32PumpKeepingInput() {
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return false;
  SDL_PumpEvents();
  // A close request is only looked at, and left queued: whatever runs next (the program's loop,
  // or a message box about the file that was being opened) sees it and ends at once.
  SDL_Event seen[64];
  const int count = SDL_PeepEvents(seen, 64, SDL_PEEKEVENT, SDL_QUIT, SDL_WINDOWEVENT);
  for (int i = 0; i < count; ++i)
    if (seen[i].type == SDL_QUIT || (seen[i].type == SDL_WINDOWEVENT && seen[i].window.event == SDL_WINDOWEVENT_CLOSE))
      return true;
  std::vector<HWND> exposed;
  SDL_Event e;
  while (SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT) > 0) {
    const HWND hwnd = WindowOfEvent(e.window.windowID);
    if ((e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) && hwnd &&
        std::find(exposed.begin(), exposed.end(), hwnd) == exposed.end())
      exposed.push_back(hwnd);
    HandleSdlEvent(e);
  }
  for (HWND hwnd : exposed)
    if (HWND__* w = Win32FindWindow(hwnd); w && !w->destroying) Win32Repaint(hwnd);
  return false;
}

bool Win32PumpWhileModal() {
  if (!SDL_WasInit(SDL_INIT_EVENTS)) return false;
  bool closing = false;
  std::vector<HWND> exposed;
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    if (e.type == SDL_QUIT) {
      closing = true;
    } else if (e.type == SDL_WINDOWEVENT) {
      const HWND hwnd = WindowOfEvent(e.window.windowID);
      if (e.window.event == SDL_WINDOWEVENT_CLOSE && hwnd) closing = true;
      if ((e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) && hwnd &&
          std::find(exposed.begin(), exposed.end(), hwnd) == exposed.end())
        exposed.push_back(hwnd);
    } else {
      continue;  // input to a window disabled by the modal dialog, and anything else, is dropped
    }
    HandleSdlEvent(e);
  }
  for (HWND hwnd : exposed)
    if (HWND__* w = Win32FindWindow(hwnd); w && !w->destroying) Win32Repaint(hwnd);
  return closing;
}

namespace {

bool InRange(UINT message, UINT lo, UINT hi) {
  return (lo == 0 && hi == 0) || (message >= lo && message <= hi);
}

bool TakeMessage(LPMSG out, HWND hwnd, UINT lo, UINT hi, UINT remove) {
  auto& s = Win32State();
  {
    std::lock_guard lock(s.queueMutex);
    for (auto it = s.queue.begin(); it != s.queue.end(); ++it) {
      if ((hwnd && it->hwnd != hwnd) || !InRange(it->message, lo, hi)) continue;
      *out = *it;
      if (remove & PM_REMOVE) s.queue.erase(it);
      return true;
    }
    if (s.quitPosted && !hwnd && InRange(WM_QUIT, lo, hi)) {
      *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(s.quitCode), 0, timeGetTime(), {0, 0}, 0};
      if (remove & PM_REMOVE) s.quitPosted = false;
      return true;
    }
  }
  if (!InRange(WM_PAINT, lo, hi)) return false;
  for (auto& w : s.windows) {
    if (!w->needsPaint || w->destroying || (hwnd && hwnd != w.get())) continue;
    *out = MakeMessage(w.get(), WM_PAINT, 0, 0);
    if (remove & PM_REMOVE) w->needsPaint = false;
    return true;
  }
  return false;
}

}  // namespace

void Win32QueueMessage(const MSG& msg) {
  auto& s = Win32State();
  {
    std::lock_guard lock(s.queueMutex);
    s.queue.push_back(msg);
  }
  s.queueWake.notify_all();
}

void Win32DropMessages(HWND hwnd) {
  auto& s = Win32State();
  std::lock_guard lock(s.queueMutex);
  std::erase_if(s.queue, [hwnd](const MSG& m) { return m.hwnd == hwnd; });
}

int Win32AddSdlEventListener(SdlEventListener listener) {
  auto& s = Win32State();
  const int id = s.nextListenerId++;
  s.listeners.emplace_back(id, std::move(listener));
  return id;
}

void Win32RemoveSdlEventListener(int id) {
  std::erase_if(Win32State().listeners, [id](const auto& entry) { return entry.first == id; });
}

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags) {
  if (!msg) return FALSE;
  PumpSdl();
  return TakeMessage(msg, hwnd, filterMin, filterMax, removeFlags) ? TRUE : FALSE;
}

BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  auto& s = Win32State();
  if (!msg) return -1;
  for (;;) {
    PumpSdl();
    if (TakeMessage(msg, hwnd, filterMin, filterMax, PM_REMOVE)) return msg->message == WM_QUIT ? FALSE : TRUE;
    if (SDL_WasInit(SDL_INIT_EVENTS)) {
      // The timeout only bounds the wait when a message arrives without an SDL event to wake us.
      SDL_Event e;
      if (SDL_WaitEventTimeout(&e, 100)) HandleSdlEvent(e);
    } else {
      std::unique_lock lock(s.queueMutex);
      s.queueWake.wait_for(lock, std::chrono::milliseconds(100), [&] { return !s.queue.empty() || s.quitPosted; });
    }
  }
}

BOOL TranslateMessage(const MSG* msg) {
  if (!msg || (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN)) return FALSE;
  const int vk = static_cast<int>(msg->wParam);
  const bool shift = msg->lPrivate & MK_SHIFT, ctrl = msg->lPrivate & MK_CONTROL;
  int ch = 0;
  if (vk >= 'A' && vk <= 'Z')
    ch = ctrl ? vk - 'A' + 1 : shift ? vk : vk + 32;
  else if (vk >= '0' && vk <= '9' && !shift)
    ch = vk;
  else if (vk == VK_SPACE || vk == VK_RETURN || vk == VK_ESCAPE || vk == VK_BACK || vk == VK_TAB)
    ch = vk;
  if (ch) {
    MSG c = *msg;
    c.message = msg->message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
    c.wParam = static_cast<WPARAM>(ch);
    auto& s = Win32State();
    std::lock_guard lock(s.queueMutex);
    s.queue.push_front(c);  // typed characters come next, before later input
  }
  return TRUE;
}

LRESULT DispatchMessageW(const MSG* msg) {
  if (!msg) return 0;
  return SendMessageW(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  HWND__* w = Win32FindWindow(hwnd);
  if (!w) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  WNDPROC proc = w->proc;  // the record may go away inside the call (DestroyWindow)
  return proc(hwnd, message, wParam, lParam);
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto& s = Win32State();
  Win32QueueMessage(MSG{hwnd, message, wParam, lParam, timeGetTime(), {0, 0}, 0});
  const std::uint32_t type = s.wakeEventType;
  if (type != 0 && SDL_WasInit(SDL_INIT_EVENTS)) {
    SDL_Event wake{};
    wake.type = type;
    SDL_PushEvent(&wake);
  }
  return TRUE;
}

void PostQuitMessage(int exitCode) {
  auto& s = Win32State();
  {
    std::lock_guard lock(s.queueMutex);
    s.quitPosted = true;
    s.quitCode = exitCode;
  }
  s.queueWake.notify_all();
}

LRESULT DefWindowProcW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      DestroyWindow(hwnd);
      return 0;
    case WM_SYSKEYDOWN:
      if (wParam == VK_F4 && (lParam & (1 << 29))) SendMessageW(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
      return 0;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) SendMessageW(hwnd, WM_CLOSE, 0, 0);
      return 0;
    case WM_SETCURSOR: {
      // The class cursor over the client area, the arrow elsewhere and for classes without one.
      HCURSOR cursor = &Win32State().cursors[0];
      if (HWND__* w = Win32FindWindow(hwnd); w && w->cls->wc.hCursor && LOWORD(lParam) == HTCLIENT)
        cursor = w->cls->wc.hCursor;
      SetCursor(cursor);
      return FALSE;
    }
    case WM_NCHITTEST:
      return HTCLIENT;
    case WM_PAINT:
      ValidateRect(hwnd, nullptr);
      return 0;
    case WM_ERASEBKGND:
      return 1;
  }
  return 0;
}
