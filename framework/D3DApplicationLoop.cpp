// The message loop, the frame and the window messages of CD3DApplication.
#include <cstdio>

#include "framework/D3DApplication.h"
#include "framework/FrameTimer.h"
#include "platform/win32/win32.h"

INT CD3DApplication::RunLoop() {
  HACCEL accel = LoadAcceleratorsW(nullptr, MAKEINTRESOURCEW(IDR_MAIN_ACCEL));
  MSG msg{};
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  msg.message = WM_NULL;

  while (msg.message != WM_QUIT) {
    bool gotMessage;
    if (m_bActive)
      gotMessage = PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE) != 0;
    else
      gotMessage = GetMessageW(&msg, nullptr, 0, 0) != 0 || msg.message == WM_QUIT;

    if (gotMessage) {
      if (msg.message == WM_QUIT) break;
      if (!accel || !m_hWnd || TranslateAcceleratorW(m_hWnd, accel, &msg) == 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    } else {
      if (m_bDeviceLost) Sleep(100);
      if (m_bActive && FAILED(RenderFrame()) && m_hWnd) SendMessageW(m_hWnd, WM_CLOSE, 0, 0);
    }
  }
  if (accel) DestroyAcceleratorTable(accel);
  return static_cast<INT>(msg.wParam);
}

HRESULT CD3DApplication::RenderFrame() {
  if (!m_pd3dDevice) return S_OK;
  if (m_bDeviceLost) {
    HRESULT hr = m_pd3dDevice->TestCooperativeLevel();
    if (FAILED(hr)) {
      if (hr == D3DERR_DEVICELOST) return S_OK;
      if (hr == D3DERR_DEVICENOTRESET) {
        if (m_bWindowed) {
          D3DModeSettings& mode = m_d3dSettings.Current();
          m_pD3D->GetAdapterDisplayMode(mode.AdapterInfo->AdapterOrdinal, &mode.DisplayMode);
          m_d3dpp.BackBufferFormat = mode.DisplayMode.Format;
        }
        return ResetDevice();
      }
      return hr;
    }
    m_bDeviceLost = false;
  }

  CFrameTimer& timer = AppFrameTimer();
  const double appTime = timer.AppTime();
  const double elapsed = timer.ElapsedTime();
  if (m_bFrameMoving && elapsed == 0.0) return S_OK;

  if (m_bFrameMoving || m_bSingleStep) {
    m_fTime = static_cast<float>(appTime);
    m_fElapsedTime = static_cast<float>(elapsed);
    HRESULT hr = Advance();
    if (FAILED(hr)) return hr;
    m_bSingleStep = false;
  }

  return ShowFrame();
}

HRESULT CD3DApplication::ShowFrame() {
  const HRESULT hr = DrawFrame();
  if (FAILED(hr)) return hr;
  UpdateFrameStats();
  if (hr == S_FALSE) {
    // Nothing presented: a lost device is noticed here instead of at Present.
    if (FAILED(m_pd3dDevice->TestCooperativeLevel())) m_bDeviceLost = true;
    return S_FALSE;
  }
  if (m_pd3dDevice->Present(nullptr, nullptr, nullptr, nullptr) == D3DERR_DEVICELOST) m_bDeviceLost = true;
  return S_OK;
}

HRESULT CD3DApplication::UpdateFrameStats() {
  const double time = AppFrameTimer().AppTime();
  ++m_statsFrames;
  if (time - m_statsLastTime <= 1.0) return S_OK;

  m_fFPS = static_cast<float>(m_statsFrames / (time - m_statsLastTime));
  m_statsLastTime = time;
  m_statsFrames = 0;

  const D3DFORMAT adapterFormat = m_d3dSettings.Current().DisplayMode.Format;
  std::u16string format;
  if (adapterFormat == m_d3dsdBackBuffer.Format) {
    format = D3DFormatName(adapterFormat, false);
  } else {
    format = u"backbuf " + D3DFormatName(m_d3dsdBackBuffer.Format, false) + u", adapter " +
             D3DFormatName(adapterFormat, false);
  }
  std::u16string depth;
  if (m_d3dEnumeration.AppUsesDepthBuffer)
    depth = u" (" + D3DFormatName(m_d3dSettings.Current().DepthStencilFormat, false) + u")";
  std::u16string multisample;
  const D3DMULTISAMPLE_TYPE type = m_d3dSettings.Current().MultisampleType;
  if (type == D3DMULTISAMPLE_NONMASKABLE) {
    multisample = u" (Nonmaskable Multisample)";
  } else if (type >= 2 && type <= 16) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, " (%ux Multisample)", static_cast<unsigned>(type));
    for (const char* p = buffer; *p; ++p) multisample += static_cast<char16_t>(*p);
  }
  char16_t text[256];
  wsprintfW(text, u"%.02f fps (%dx%d), %s%s%s", m_fFPS, static_cast<int>(m_d3dsdBackBuffer.Width),
            static_cast<int>(m_d3dsdBackBuffer.Height), format.c_str(), depth.c_str(), multisample.c_str());
  std::u16string full(text);
  full.resize(std::min<size_t>(full.size(), 89));
  std::copy(full.begin(), full.end(), m_strFrameStats);
  m_strFrameStats[full.size()] = 0;
  return S_OK;
}

LRESULT CD3DApplication::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT:
      if (m_pd3dDevice && m_bDeviceObjectsInited && m_bDeviceObjectsRestored) {
        InvalidateFrame();
        if (DrawFrame() != S_FALSE) m_pd3dDevice->Present(nullptr, nullptr, nullptr, nullptr);
      }
      break;

    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMinTrackSize.x = 100;
      info->ptMinTrackSize.y = 100;
      break;
    }

    case WM_SIZE:
      if (m_bWindowed && m_hWnd) m_dwWindowStyle = static_cast<DWORD>(GetWindowLongW(m_hWnd, GWL_STYLE));
      if (wParam == SIZE_MINIMIZED) {
        if (m_bClipCursorWhenFullscreen && !m_bWindowed) ClipCursor(nullptr);
        SetPaused(true);
        m_bMinimized = true;
        m_bMaximized = false;
      } else if (wParam == SIZE_MAXIMIZED) {
        if (m_bMinimized) SetPaused(false);
        m_bMinimized = false;
        m_bMaximized = true;
        OnWindowSizeChanged();
      } else if (wParam == SIZE_RESTORED) {
        if (m_bMaximized) {
          m_bMaximized = false;
          OnWindowSizeChanged();
        } else if (m_bMinimized) {
          SetPaused(false);
          m_bMinimized = false;
          OnWindowSizeChanged();
        }
      }
      break;

    case WM_ENTERSIZEMOVE:
    case WM_ENTERMENULOOP:
      SetPaused(true);
      break;

    case WM_EXITMENULOOP:
      SetPaused(false);
      break;

    case WM_EXITSIZEMOVE:
      SetPaused(false);
      OnWindowSizeChanged();
      break;

    case WM_SETCURSOR:
      // Only an active fullscreen window hides the pointer; otherwise the default handling puts
      // the class cursor back (after a return from fullscreen, for one).
      if (m_bActive && !m_bWindowed) {
        SetCursor(nullptr);
        if (m_bShowCursorWhenFullscreen && m_pd3dDevice) m_pd3dDevice->ShowCursor(TRUE);
        return TRUE;
      }
      break;

    case WM_MOUSEMOVE:
      if (m_bActive && m_pd3dDevice) {
        POINT cursor;
        GetCursorPos(&cursor);
        if (!m_bWindowed) ScreenToClient(m_hWnd, &cursor);
        m_pd3dDevice->SetCursorPosition(cursor.x, cursor.y, 0);
      }
      break;

    case WM_NCHITTEST:
      if (!m_bWindowed) return HTCLIENT;
      break;

    case WM_POWERBROADCAST:
      if (wParam == PBT_APMQUERYSUSPEND || wParam == PBT_APMRESUMESUSPEND) return TRUE;
      break;

    case WM_SYSCOMMAND:
      if (!m_bWindowed) {
        switch (wParam & 0xFFF0) {
          case SC_MOVE:
          case SC_SIZE:
          case SC_MAXIMIZE:
          case SC_KEYMENU:
          case SC_MONITORPOWER:
            return 1;
        }
      }
      break;

    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDM_CHANGEDEVICE:
          SetPaused(true);
          SwitchDisplayMode();
          SetPaused(false);
          return 0;
        case IDM_TOGGLEFULLSCREEN:
          SetPaused(true);
          if (FAILED(ToggleWindowedFullscreen())) ReportError(D3DAPPERR_RESETFAILED, MSGERR_APPMUSTEXIT);
          SetPaused(false);
          return 0;
        case IDM_EXIT:
          SendMessageW(hwnd, WM_CLOSE, 0, 0);
          return 0;
      }
      break;

    case WM_CLOSE: {
      BeforeClose();
      ReleaseDevice();
      if (m_pD3D) {
        m_pD3D->Release();
        m_pD3D = nullptr;
      }
      FinalShutdown();
      HMENU menu = GetMenu(hwnd);
      if (menu) DestroyMenu(menu);
      DestroyWindow(hwnd);
      PostQuitMessage(0);
      m_hWnd = nullptr;
      return 0;
    }
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}
