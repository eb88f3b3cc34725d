// A focused window on a private X display for input tests: xdotool drives the real X input
// devices, the window layer's message pump delivers SDL's events, and waits are bounded.
#pragma once

#include <SDL.h>
#include <SDL_syswm.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/dinput/dinput.h"
#include "platform/win32/SdlWindow.h"
#include "platform/win32/win32.h"
#include "support/XSession.h"

class InputTestWindow {
 public:
  // Shows a focused window with a client area of the given size at the screen's top left, on
  // a private display (so no other test shares its focus) started once for the process.
  explicit InputTestWindow(int clientWidth = 640, int clientHeight = 480) : x(Session()) {
    if (!x.ok()) {
      ADD_FAILURE() << "Xvfb could not be started";
      return;
    }
    setenv("DISPLAY", x.display().c_str(), 1);
    static const bool registered = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = DefWindowProcW;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = u"InputTestWindow";
      return RegisterClassW(&wc) != 0;
    }();
    EXPECT_TRUE(registered);
    hwnd = Create(clientWidth, clientHeight);
    if (hwnd) Focus(hwnd);
  }
  ~InputTestWindow() {
    for (HWND other : m_others) DestroyWindow(other);
    if (hwnd) DestroyWindow(hwnd);
    Pump();
  }
  InputTestWindow(const InputTestWindow&) = delete;
  InputTestWindow& operator=(const InputTestWindow&) = delete;

  // Another window of the same process, for taking the focus away.
  HWND CreateOther() {
    HWND other = Create(100, 100);
    if (other) m_others.push_back(other);
    return other;
  }

  // Gives the window the X input focus and waits until SDL reports it.
  bool Focus(HWND window) {
    Xdo({"windowfocus", "--sync", XId(window)});
    return PumpUntil([&] { return (SDL_GetWindowFlags(Win32SdlWindow(window)) & SDL_WINDOW_INPUT_FOCUS) != 0; });
  }

  // Runs xdotool on the private display to its end.
  void Xdo(std::vector<std::string> args) {
    args.insert(args.begin(), "xdotool");
    int status = -1;
    x.Run(args, &status);
    EXPECT_EQ(status, 0) << args[1];
  }
  // Moves the pointer to a client position of the main window and waits until SDL sees it inside.
  void MoveTo(int clientX, int clientY) {
    Xdo({"mousemove", "--sync", "--window", XId(hwnd), std::to_string(clientX), std::to_string(clientY)});
    EXPECT_TRUE(PumpUntil([&] { return SDL_GetMouseFocus() == Win32SdlWindow(hwnd); })) << "pointer not inside";
  }

  void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  // Pumps messages until the condition holds, for at most five seconds.
  bool PumpUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (;;) {
      Pump();
      if (condition()) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  // Pumps until the device holds at least n queued events at offset (any offset when
  // offset is ~0), without taking them.
  bool WaitQueued(IDirectInputDevice8W* device, int n, DWORD offset = ~0u) {
    return PumpUntil([&] { return Queued(device, offset) >= n; });
  }
  static int Queued(IDirectInputDevice8W* device, DWORD offset = ~0u) {
    DIDEVICEOBJECTDATA events[256];
    DWORD count = 256;
    if (FAILED(device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), events, &count, DIGDD_PEEK))) return -1;
    int matching = 0;
    for (DWORD i = 0; i < count; ++i)
      if (offset == ~0u || events[i].dwOfs == offset) ++matching;
    return matching;
  }

  static std::string XId(HWND window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(Win32SdlWindow(window), &info)) return "0";
    return std::to_string(static_cast<unsigned long>(info.info.x11.window));
  }

  XSession& x;
  HWND hwnd = nullptr;

 private:
  static XSession& Session() {
    static XSession session{false};
    return session;
  }
  HWND Create(int clientWidth, int clientHeight) {
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    RECT rc{0, 0, clientWidth, clientHeight};
    AdjustWindowRect(&rc, style, FALSE);
    HWND window = CreateWindowExW(0, u"InputTestWindow", u"input test", style, 0, 0, rc.right - rc.left,
                                  rc.bottom - rc.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(window, nullptr);
    if (window) PumpUntil([&] { return (SDL_GetWindowFlags(Win32SdlWindow(window)) & SDL_WINDOW_SHOWN) != 0; });
    return window;
  }

  std::vector<HWND> m_others;
};
