// Window classes and windows on SDL windows: creation, geometry, styles, titles, menus, icons.
#include <SDL.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/kit/LogOnce.h"
#include "platform/win32/Win32State.h"
#include "platform/win32/WorkingSet.h"

namespace {

std::u16string FoldName(std::u16string_view name) {
  std::u16string out(name);
  for (auto& c : out)
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  return out;
}

std::shared_ptr<WindowClass> FindClass(LPCWSTR name) {
  auto& s = Win32State();
  if (!name) return nullptr;
  if (IS_INTRESOURCE(name)) {
    const auto atom = static_cast<ATOM>(reinterpret_cast<std::uintptr_t>(name));
    for (auto& [key, cls] : s.classes)
      if (cls->atom == atom) return cls;
    return nullptr;
  }
  auto it = s.classes.find(FoldName(name));
  return it == s.classes.end() ? nullptr : it->second;
}

// What a plain connection to the local X server's socket says, for the message when SDL finds no
// display although DISPLAY is set: "accepts", or why it does not.
std::string LocalServerAnswer() {
  const char* display = std::getenv("DISPLAY");
  if (!display || display[0] != ':') return "not a local display";
  const std::string path = "/tmp/.X11-unix/X" + std::string(display + 1, std::strcspn(display + 1, "."));
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return std::strerror(errno);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  const bool accepted = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
  const std::string answer = accepted ? "accepts" : std::strerror(errno);
  ::close(fd);
  return path + " " + answer;
}

bool AcquireVideo() {
  auto& s = Win32State();
  // The GDI path draws into a plain software framebuffer, so SDL must not put a renderer behind
  // the window surface (that renderer would fight the graphics layer's GL context).
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  // Closing the last window is a WM_CLOSE for the program to handle, not a quit.
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  // Opening the display now and then fails at once while the X server is busy (many clients
  // connecting under load, for several seconds on a loaded machine): try again, waiting longer
  // each time, for about twelve seconds in all.
  bool started = false, headless = false;
  const char* driver = nullptr;
  for (int attempt = 0; attempt < 28 && !started; ++attempt) {
    if (attempt) SDL_Delay(std::min(20u << attempt, 500u));
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) continue;
    driver = SDL_GetCurrentVideoDriver();
    headless = !std::getenv("SDL_VIDEODRIVER") && driver &&
               (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
    if (headless && std::getenv("DISPLAY")) {
      SDL_QuitSubSystem(SDL_INIT_VIDEO);
      continue;
    }
    started = true;
  }
  if (!started && !headless) {
    std::fprintf(stderr, "win32: cannot start SDL video: %s\n", SDL_GetError());
    return false;
  }
  if (headless) {
    std::fprintf(stderr,
                 "win32: no display (is DISPLAY set?); SDL fell back to its \"%s\" driver (the X server's "
                 "socket: %s). Set SDL_VIDEODRIVER=offscreen to run without a display on purpose.\n",
                 driver ? driver : "headless", LocalServerAnswer().c_str());
    if (started) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
  }
  s.windowThread = std::this_thread::get_id();
  if (!s.videoHeld) {
    // One connection for the life of the process: windows come and go (device re-creation, tests)
    // and reconnecting each time is slow and can fail.
    SDL_InitSubSystem(SDL_INIT_VIDEO);
    s.videoHeld = true;
  }
  if (s.wakeEventType == 0) {
    const Uint32 type = SDL_RegisterEvents(1);
    if (type != static_cast<Uint32>(-1)) s.wakeEventType = type;
  }
  ++s.videoRefs;
  return true;
}

void ReleaseVideo() {
  auto& s = Win32State();
  if (s.videoRefs <= 0) return;
  if (--s.videoRefs == 0) {
    for (auto& c : s.cursors)
      if (c.sdl) {
        SDL_FreeCursor(c.sdl);
        c.sdl = nullptr;
      }
  }
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool IsCaptioned(DWORD style) {
  return (style & WS_CAPTION) == WS_CAPTION;
}

}  // namespace

void Win32ApplyStyle(HWND__* w) {
  const bool captioned = IsCaptioned(static_cast<DWORD>(w->style));
  SDL_SetWindowBordered(w->sdl, captioned ? SDL_TRUE : SDL_FALSE);
  SDL_SetWindowResizable(w->sdl, captioned && (w->style & WS_THICKFRAME) ? SDL_TRUE : SDL_FALSE);
}

namespace {

// The style as Windows would report it: the visible, minimized and maximized bits follow the window.
LONG CurrentStyle(const HWND__* w) {
  const Uint32 f = SDL_GetWindowFlags(w->sdl);
  DWORD style = static_cast<DWORD>(w->style) & ~(WS_VISIBLE | WS_MINIMIZE | WS_MAXIMIZE);
  if ((f & SDL_WINDOW_SHOWN) && !(f & SDL_WINDOW_HIDDEN)) style |= WS_VISIBLE;
  if (f & SDL_WINDOW_MINIMIZED) style |= WS_MINIMIZE;
  if (f & SDL_WINDOW_MAXIMIZED) style |= WS_MAXIMIZE;
  return static_cast<LONG>(style);
}

HWND__* Checked(HWND hwnd) {
  HWND__* w = Win32FindWindow(hwnd);
  if (!w) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
  return w;
}

}  // namespace

Win32StateData& Win32State() {
  static Win32StateData state;
  return state;
}

HWND__* Win32FindWindow(HWND hwnd) {
  if (!hwnd) return nullptr;
  for (auto& w : Win32State().windows)
    if (w.get() == hwnd) return w.get();
  return nullptr;
}

Frame Win32WindowFrame(HWND__* w) {
  Frame f;
  if (SDL_GetWindowFlags(w->sdl) & (SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN)) return f;
  int top = 0, left = 0, bottom = 0, right = 0;
  if (SDL_GetWindowBordersSize(w->sdl, &top, &left, &bottom, &right) == 0) {
    auto up = [](int device) { return -Win32Logical(-device); };
    f = {up(left), up(top), up(right), up(bottom)};
  }
  if (IsCaptioned(static_cast<DWORD>(w->style)) && (f.left || f.top || f.right || f.bottom)) {
    Win32State().lastCaptionFrame = f;
    Win32State().haveCaptionFrame = true;
  }
  return f;
}

void Win32ReportClientSize(HWND hwnd, WPARAM type, bool always) {
  HWND__* w = Win32FindWindow(hwnd);
  if (!w) return;
  int cw = 0, ch = 0;
  SDL_GetWindowSize(w->sdl, &cw, &ch);
  cw = Win32Logical(cw);
  ch = Win32Logical(ch);
  if (!always && cw == w->clientW && ch == w->clientH) return;
  w->clientW = cw;
  w->clientH = ch;
  SendMessageW(hwnd, WM_SIZE, type, MAKELPARAM(cw, ch));
}

SDL_Window* Win32SdlWindow(HWND hwnd) {
  HWND__* w = Win32FindWindow(hwnd);
  return w ? w->sdl : nullptr;
}

HWND Win32WindowFromSdl(SDL_Window* window) {
  if (!window) return nullptr;
  for (auto& w : Win32State().windows)
    if (w->sdl == window) return w.get();
  return nullptr;
}

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
  static HINSTANCE__* const self = reinterpret_cast<HINSTANCE__*>(static_cast<std::uintptr_t>(0x400000));
  if (moduleName) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return self;
}

ATOM RegisterClassW(const WNDCLASSW* wc) {
  auto& s = Win32State();
  if (!wc || !wc->lpfnWndProc || !wc->lpszClassName || IS_INTRESOURCE(wc->lpszClassName) || !wc->lpszClassName[0]) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string key = FoldName(wc->lpszClassName);
  if (s.classes.count(key)) {
    SetLastError(ERROR_CLASS_ALREADY_EXISTS);
    return 0;
  }
  auto cls = std::make_shared<WindowClass>();
  cls->wc = *wc;
  cls->name = wc->lpszClassName;
  cls->wc.lpszClassName = cls->name.c_str();
  cls->wc.lpszMenuName = nullptr;  // no menus on X11
  cls->atom = s.nextAtom++;
  s.classes.emplace(std::move(key), cls);
  return cls->atom;
}

BOOL UnregisterClassW(LPCWSTR className, HINSTANCE) {
  auto& s = Win32State();
  auto cls = FindClass(className);
  if (!cls) {
    SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
    return FALSE;
  }
  for (auto& w : s.windows)
    if (w->cls == cls) {
      SetLastError(ERROR_CLASS_ALREADY_EXISTS);  // Windows: ERROR_CLASS_HAS_WINDOWS
      return FALSE;
    }
  s.classes.erase(FoldName(cls->name));
  return TRUE;
}

BOOL AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL, DWORD) {
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const auto& s = Win32State();
  if (IsCaptioned(style) && s.haveCaptionFrame) {
    rect->left -= s.lastCaptionFrame.left;
    rect->top -= s.lastCaptionFrame.top;
    rect->right += s.lastCaptionFrame.right;
    rect->bottom += s.lastCaptionFrame.bottom;
  }
  return TRUE;
}

BOOL AdjustWindowRect(LPRECT rect, DWORD style, BOOL menu) {
  return AdjustWindowRectEx(rect, style, menu, 0);
}

HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR windowName, DWORD style, int x, int y, int width,
                     int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param) {
  auto& s = Win32State();
  if (style & WS_CHILD) {
    kit::LogOnce("win32", "CreateWindowExW", "child windows not supported");
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  auto cls = FindClass(className);
  if (!cls) {
    SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
    return nullptr;
  }
  if (!AcquireVideo()) {
    SetLastError(ERROR_DEVICE_NOT_CONNECTED);
    return nullptr;
  }

  // The outer size came from AdjustWindowRect: take the same frame off to get the client size.
  RECT frame{0, 0, 0, 0};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  const int frameW = frame.right - frame.left, frameH = frame.bottom - frame.top;
  const int clientW = width == CW_USEDEFAULT ? 640 : std::max(1, width - frameW);
  const int clientH = width == CW_USEDEFAULT ? 480 : std::max(1, height - frameH);
  const int posX = x == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : Win32Device(x - frame.left);
  const int posY = x == CW_USEDEFAULT ? static_cast<int>(SDL_WINDOWPOS_UNDEFINED) : Win32Device(y - frame.top);

  // The graphics layer creates its OpenGL context on this window: the attributes count at creation.
  SDL_GL_ResetAttributes();
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  // As deep as the graphics layer's own back buffers, so that it can draw straight into the window.
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
  SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 8);

  Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN;
  if (!IsCaptioned(style)) flags |= SDL_WINDOW_BORDERLESS;
  if (IsCaptioned(style) && (style & WS_THICKFRAME)) flags |= SDL_WINDOW_RESIZABLE;
  if (exStyle & WS_EX_TOPMOST) flags |= SDL_WINDOW_ALWAYS_ON_TOP;
  const std::u16string title = windowName ? std::u16string(windowName) : std::u16string();
  SDL_Window* sdl =
      SDL_CreateWindow(Win32ToUtf8(title).c_str(), posX, posY, Win32Device(clientW), Win32Device(clientH), flags);
  if (!sdl) {
    std::fprintf(stderr, "win32: SDL_CreateWindow failed: %s\n", SDL_GetError());
    ReleaseVideo();
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // The first OpenGL window loaded the GL driver, and with it far more of its code than it runs.
  static std::once_flag driverLoaded;
  std::call_once(driverLoaded, Win32DropCodePagesSoon);

  auto record = std::make_unique<HWND__>();
  record->sdl = sdl;
  record->sdlId = SDL_GetWindowID(sdl);
  record->cls = cls;
  record->proc = cls->wc.lpfnWndProc;
  record->style = static_cast<LONG>(style & ~(WS_MINIMIZE | WS_MAXIMIZE));
  record->exStyle = static_cast<LONG>(exStyle);
  record->title = title;
  SDL_GetWindowSize(sdl, &record->clientW, &record->clientH);
  record->clientW = Win32Logical(record->clientW);
  record->clientH = Win32Logical(record->clientH);
  HWND hwnd = record.get();
  s.windows.push_back(std::move(record));

  MINMAXINFO mmi{};
  SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
  if (mmi.ptMinTrackSize.x > 0 || mmi.ptMinTrackSize.y > 0)
    SDL_SetWindowMinimumSize(sdl, Win32Device(std::max(1, static_cast<int>(mmi.ptMinTrackSize.x) - frameW)),
                             Win32Device(std::max(1, static_cast<int>(mmi.ptMinTrackSize.y) - frameH)));

  CREATESTRUCTW cs{param,      instance, menu,   parent, height, width, y, x, static_cast<LONG>(style),
                   windowName, nullptr,  exStyle};
  if (!IS_INTRESOURCE(className)) cs.lpszClass = className;
  if (SendMessageW(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&cs)) == -1) {
    DestroyWindow(hwnd);
    SetLastError(ERROR_GEN_FAILURE);
    return nullptr;
  }
  if (!Win32FindWindow(hwnd)) return nullptr;  // destroyed by its own WM_CREATE
  if (style & WS_VISIBLE) {
    SDL_ShowWindow(sdl);
    if (style & WS_MAXIMIZE) SDL_MaximizeWindow(sdl);
    if (style & WS_MINIMIZE) SDL_MinimizeWindow(sdl);
  }
  Win32ReportClientSize(hwnd, SIZE_RESTORED, true);
  return hwnd;
}

BOOL IsWindow(HWND hwnd) {
  return Win32FindWindow(hwnd) ? TRUE : FALSE;
}

BOOL DestroyWindow(HWND hwnd) {
  auto& s = Win32State();
  HWND__* w = Checked(hwnd);
  if (!w) return FALSE;
  if (w->destroying) return TRUE;
  w->destroying = true;
  SendMessageW(hwnd, WM_DESTROY, 0, 0);
  SendMessageW(hwnd, WM_NCDESTROY, 0, 0);
  Win32DropMessages(hwnd);
  for (auto& dc : s.dcs)
    if (dc->hwnd == hwnd) dc->hwnd = nullptr;
  SDL_SetWindowMouseGrab(w->sdl, SDL_FALSE);
  SDL_DestroyWindow(w->sdl);
  std::erase_if(s.windows, [hwnd](const auto& p) { return p.get() == hwnd; });
  ReleaseVideo();
  return TRUE;
}

BOOL GetClientRect(HWND hwnd, LPRECT rect) {
  HWND__* w = Checked(hwnd);
  if (!w || !rect) return FALSE;
  int cw = 0, ch = 0;
  SDL_GetWindowSize(w->sdl, &cw, &ch);
  *rect = {0, 0, Win32Logical(cw), Win32Logical(ch)};
  return TRUE;
}

BOOL GetWindowRect(HWND hwnd, LPRECT rect) {
  HWND__* w = Checked(hwnd);
  if (!w || !rect) return FALSE;
  int x = 0, y = 0, cw = 0, ch = 0;
  SDL_GetWindowPosition(w->sdl, &x, &y);
  SDL_GetWindowSize(w->sdl, &cw, &ch);
  x = Win32Logical(x);
  y = Win32Logical(y);
  cw = Win32Logical(cw);
  ch = Win32Logical(ch);
  const Frame f = Win32WindowFrame(w);
  *rect = {x - f.left, y - f.top, x + cw + f.right, y + ch + f.bottom};
  return TRUE;
}

BOOL ClientToScreen(HWND hwnd, LPPOINT point) {
  HWND__* w = Checked(hwnd);
  if (!w || !point) return FALSE;
  int x = 0, y = 0;
  SDL_GetWindowPosition(w->sdl, &x, &y);
  point->x += Win32Logical(x);
  point->y += Win32Logical(y);
  return TRUE;
}

BOOL ScreenToClient(HWND hwnd, LPPOINT point) {
  HWND__* w = Checked(hwnd);
  if (!w || !point) return FALSE;
  int x = 0, y = 0;
  SDL_GetWindowPosition(w->sdl, &x, &y);
  point->x -= Win32Logical(x);
  point->y -= Win32Logical(y);
  return TRUE;
}

LONG_PTR GetWindowLongPtrW(HWND hwnd, int index) {
  HWND__* w = Checked(hwnd);
  if (!w) return 0;
  switch (index) {
    case GWL_STYLE:
      return CurrentStyle(w);
    case GWL_EXSTYLE:
      return w->exStyle;
    case GWLP_USERDATA:
      return w->userData;
    case GWLP_WNDPROC:
      return reinterpret_cast<LONG_PTR>(w->proc);
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value) {
  HWND__* w = Checked(hwnd);
  if (!w) return 0;
  const LONG_PTR previous = GetWindowLongPtrW(hwnd, index);
  switch (index) {
    case GWL_STYLE:
      w->style = static_cast<LONG>(value);
      Win32ApplyStyle(w);
      return previous;
    case GWL_EXSTYLE:
      w->exStyle = static_cast<LONG>(value);
      SDL_SetWindowAlwaysOnTop(w->sdl, (value & WS_EX_TOPMOST) ? SDL_TRUE : SDL_FALSE);
      return previous;
    case GWLP_USERDATA:
      w->userData = value;
      return previous;
    case GWLP_WNDPROC:
      if (value) w->proc = reinterpret_cast<WNDPROC>(value);
      return previous;
  }
  SetLastError(ERROR_INVALID_PARAMETER);
  return 0;
}

LONG GetWindowLongW(HWND hwnd, int index) {
  return static_cast<LONG>(GetWindowLongPtrW(hwnd, index));
}
LONG SetWindowLongW(HWND hwnd, int index, LONG value) {
  return static_cast<LONG>(SetWindowLongPtrW(hwnd, index, value));
}

BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
  HWND__* w = Checked(hwnd);
  if (!w) return FALSE;
  if (flags & SWP_FRAMECHANGED) Win32ApplyStyle(w);
  const Frame f = Win32WindowFrame(w);
  if (!(flags & SWP_NOSIZE))
    SDL_SetWindowSize(w->sdl, Win32Device(std::max(1, cx - f.left - f.right)),
                      Win32Device(std::max(1, cy - f.top - f.bottom)));
  if (!(flags & SWP_NOMOVE)) SDL_SetWindowPosition(w->sdl, Win32Device(x + f.left), Win32Device(y + f.top));
  if (!(flags & SWP_NOZORDER)) {
    if (insertAfter == HWND_TOPMOST || insertAfter == HWND_NOTOPMOST) {
      const bool top = insertAfter == HWND_TOPMOST;
      SDL_SetWindowAlwaysOnTop(w->sdl, top ? SDL_TRUE : SDL_FALSE);
      w->exStyle = top ? (w->exStyle | WS_EX_TOPMOST) : (w->exStyle & ~static_cast<LONG>(WS_EX_TOPMOST));
    } else if (insertAfter == HWND_TOP && !(flags & SWP_NOACTIVATE)) {
      SDL_RaiseWindow(w->sdl);
    }
  }
  if (flags & SWP_SHOWWINDOW) SDL_ShowWindow(w->sdl);
  if (flags & SWP_HIDEWINDOW) SDL_HideWindow(w->sdl);
  Win32ReportClientSize(hwnd, SIZE_RESTORED, false);
  return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL) {
  return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL ShowWindow(HWND hwnd, int cmdShow) {
  HWND__* w = Checked(hwnd);
  if (!w) return FALSE;
  const BOOL wasVisible = (CurrentStyle(w) & WS_VISIBLE) ? TRUE : FALSE;
  switch (cmdShow) {
    case SW_HIDE:
      SDL_HideWindow(w->sdl);
      break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
      SDL_ShowWindow(w->sdl);
      SDL_MinimizeWindow(w->sdl);
      break;
    case SW_SHOWMAXIMIZED:
      SDL_ShowWindow(w->sdl);
      SDL_MaximizeWindow(w->sdl);
      break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
    case SW_SHOWDEFAULT:
      SDL_ShowWindow(w->sdl);
      if (SDL_GetWindowFlags(w->sdl) & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_MAXIMIZED)) SDL_RestoreWindow(w->sdl);
      break;
    default:
      SDL_ShowWindow(w->sdl);
      break;
  }
  return wasVisible;
}

BOOL UpdateWindow(HWND hwnd) {
  HWND__* w = Checked(hwnd);
  if (!w) return FALSE;
  if (w->needsPaint) {
    w->needsPaint = false;
    SendMessageW(hwnd, WM_PAINT, 0, 0);
  }
  return TRUE;
}

BOOL IsWindowVisible(HWND hwnd) {
  HWND__* w = Win32FindWindow(hwnd);
  return w && (CurrentStyle(w) & WS_VISIBLE) ? TRUE : FALSE;
}
BOOL IsIconic(HWND hwnd) {
  HWND__* w = Win32FindWindow(hwnd);
  return w && (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_MINIMIZED) ? TRUE : FALSE;
}
BOOL IsZoomed(HWND hwnd) {
  HWND__* w = Win32FindWindow(hwnd);
  return w && (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_MAXIMIZED) ? TRUE : FALSE;
}

HWND GetForegroundWindow() {
  return SDL_WasInit(SDL_INIT_VIDEO) ? Win32WindowFromSdl(SDL_GetKeyboardFocus()) : nullptr;
}
HWND GetFocus() {
  return GetForegroundWindow();
}
HWND SetFocus(HWND hwnd) {
  HWND previous = GetFocus();
  if (HWND__* w = Win32FindWindow(hwnd)) SDL_SetWindowInputFocus(w->sdl);
  return previous;
}

BOOL InvalidateRect(HWND hwnd, const RECT*, BOOL) {
  if (!hwnd) {
    for (auto& w : Win32State().windows) w->needsPaint = true;
    return TRUE;
  }
  HWND__* w = Checked(hwnd);
  if (!w) return FALSE;
  w->needsPaint = true;
  return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT*) {
  HWND__* w = Checked(hwnd);
  if (!w) return FALSE;
  w->needsPaint = false;
  return TRUE;
}

BOOL SetWindowTextW(HWND hwnd, LPCWSTR text) {
  HWND__* w = Checked(hwnd);
  if (!w) return FALSE;
  w->title = text ? std::u16string(text) : std::u16string();
  SDL_SetWindowTitle(w->sdl, Win32ToUtf8(w->title).c_str());
  return TRUE;
}

int GetWindowTextW(HWND hwnd, LPWSTR buffer, int maxCount) {
  HWND__* w = Checked(hwnd);
  if (!w || !buffer || maxCount <= 0) return 0;
  const int n = std::min(static_cast<int>(w->title.size()), maxCount - 1);
  std::copy_n(w->title.data(), n, buffer);
  buffer[n] = 0;
  return n;
}

int GetWindowTextLengthW(HWND hwnd) {
  HWND__* w = Checked(hwnd);
  return w ? static_cast<int>(w->title.size()) : 0;
}

HMENU LoadMenuW(HINSTANCE, LPCWSTR) {
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}
HMENU GetMenu(HWND) {
  return nullptr;
}
BOOL SetMenu(HWND hwnd, HMENU menu) {
  if (!Checked(hwnd)) return FALSE;
  if (menu) {
    kit::LogOnce("win32", "SetMenu", "menus not supported");
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  return TRUE;
}
BOOL DestroyMenu(HMENU menu) {
  return menu ? FALSE : TRUE;
}

HICON LoadIconW(HINSTANCE, LPCWSTR) {
  return &Win32State().icon;
}

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
  static constexpr std::uintptr_t kIds[] = {32512, 32513, 32514, 32515, 32649};
  if (!instance && name && IS_INTRESOURCE(name)) {
    const auto id = reinterpret_cast<std::uintptr_t>(name);
    for (int i = 0; i < 5; ++i)
      if (kIds[i] == id) return &Win32State().cursors[i];
  }
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}

SDL_Cursor* Win32SdlCursor(HCURSOR cursor) {
  if (!cursor || cursor->systemCursor < 0 || !SDL_WasInit(SDL_INIT_VIDEO)) return nullptr;
  if (!cursor->sdl) cursor->sdl = SDL_CreateSystemCursor(static_cast<SDL_SystemCursor>(cursor->systemCursor));
  return cursor->sdl;
}

int GetSystemMetrics(int index) {
  auto& s = Win32State();
  switch (index) {
    case SM_CXSCREEN:
    case SM_CYSCREEN: {
      if (!SDL_WasInit(SDL_INIT_VIDEO)) return 0;
      SDL_Rect r{};
      if (SDL_GetDisplayBounds(0, &r) != 0) return 0;
      return Win32Logical(index == SM_CXSCREEN ? r.w : r.h);
    }
    case SM_CXFRAME:
      return s.lastCaptionFrame.left;
    case SM_CYFRAME:
      return s.lastCaptionFrame.bottom;
    case SM_CYCAPTION:
      return std::max(0, s.lastCaptionFrame.top - s.lastCaptionFrame.bottom);
    case SM_CMONITORS:
      return SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetNumVideoDisplays() : 1;
  }
  return 0;
}
