// A real SDL-backed window whose procedure records every message it gets.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <vector>

#include "platform/win32/win32.h"

struct RecordedMessage {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};

class TestWindow {
 public:
  explicit TestWindow(DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE, int clientW = 640, int clientH = 480) {
    static const ATOM atom = [] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = &TestWindow::Proc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
      wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
      wc.lpszClassName = u"Test Window";
      return RegisterClassW(&wc);
    }();
    EXPECT_NE(atom, 0);
    RECT rc{0, 0, clientW, clientH};
    AdjustWindowRect(&rc, style, FALSE);
    hwnd =
        CreateWindowExW(0, u"Test Window", u"Orbelle-Player", style, CW_USEDEFAULT, CW_USEDEFAULT, rc.right - rc.left,
                        rc.bottom - rc.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    EXPECT_NE(hwnd, nullptr);
    Messages().clear();
  }
  ~TestWindow() {
    if (IsWindow(hwnd)) DestroyWindow(hwnd);
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
  }
  TestWindow(const TestWindow&) = delete;
  TestWindow& operator=(const TestWindow&) = delete;

  static std::vector<RecordedMessage>& Messages() {
    static std::vector<RecordedMessage> messages;
    return messages;
  }
  // The recorded messages of the given kinds, in order.
  static std::vector<RecordedMessage> Only(std::initializer_list<UINT> kinds) {
    std::vector<RecordedMessage> out;
    for (const auto& m : Messages())
      for (UINT k : kinds)
        if (m.message == k) out.push_back(m);
    return out;
  }
  // Dispatches everything waiting, through the accelerator table when one is given.
  void Pump(HACCEL accel = nullptr) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) {
        quitCode = static_cast<int>(m.wParam);
        continue;
      }
      if (accel && TranslateAcceleratorW(hwnd, accel, &m)) continue;
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
  }

  HWND hwnd = nullptr;
  int quitCode = -1;

 private:
  static LRESULT Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Messages().push_back({message, wParam, lParam});
    if (message == WM_DESTROY) PostQuitMessage(7);
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
};
