#include "framework/D3DApplication.h"

#include <algorithm>
#include <string>

#include "framework/FrameTimer.h"
#include "platform/win32/win32.h"

namespace {

CD3DApplication* g_pD3DApp = nullptr;
int g_pauseCount = 0;
int g_displayModeSwitches = 0;

LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (g_pD3DApp) return g_pD3DApp->HandleMessage(hwnd, msg, wParam, lParam);
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

DWORD BehaviorFlags(VertexProcessingType type) {
  switch (type) {
    case SOFTWARE_VP:
      return D3DCREATE_SOFTWARE_VERTEXPROCESSING;
    case MIXED_VP:
      return D3DCREATE_MIXED_VERTEXPROCESSING;
    case HARDWARE_VP:
      return D3DCREATE_HARDWARE_VERTEXPROCESSING;
    case PURE_HARDWARE_VP:
      return D3DCREATE_HARDWARE_VERTEXPROCESSING | D3DCREATE_PUREDEVICE;
  }
  return D3DCREATE_SOFTWARE_VERTEXPROCESSING;
}

// The enumeration's acceptance test: the application's caps check with the behaviour flags of the kind.
bool ConfirmDevice(const D3DCAPS9* caps, VertexProcessingType vertexProcessing, D3DFORMAT backBufferFormat) {
  D3DCAPS9 copy = *caps;
  return g_pD3DApp && SUCCEEDED(g_pD3DApp->CheckDeviceCaps(&copy, BehaviorFlags(vertexProcessing), backBufferFormat));
}

}  // namespace

CD3DApplication::CD3DApplication() {
  g_pD3DApp = this;
  // The enumeration's requirements keep their defaults (CD3DEnumeration) unless a subclass sets them.
  SetPaused(true);
}

CD3DApplication::~CD3DApplication() {
  if (g_pD3DApp == this) g_pD3DApp = nullptr;
}

int CD3DApplication::PauseCount() {
  return g_pauseCount;
}

HRESULT CD3DApplication::CheckDeviceCaps(D3DCAPS9*, DWORD, D3DFORMAT) {
  return S_OK;
}

HRESULT CD3DApplication::ApplyWindowStyle() {
  if (m_bWindowed) {
    SetWindowLongW(m_hWnd, GWL_STYLE, static_cast<LONG>(m_dwWindowStyle));
    if (m_hMenu) {
      SetMenu(m_hWnd, m_hMenu);
      m_hMenu = nullptr;
    }
  } else {
    SetWindowLongW(m_hWnd, GWL_STYLE, static_cast<LONG>(WS_POPUP | WS_SYSMENU | WS_VISIBLE));
    if (!m_hMenu) {
      m_hMenu = GetMenu(m_hWnd);
      SetMenu(m_hWnd, nullptr);
    }
  }
  return S_OK;
}

HRESULT CD3DApplication::CreateApp(HINSTANCE instance) {
  m_pD3D = Direct3DCreate9(D3D_SDK_VERSION);
  if (!m_pD3D) return ReportError(D3DAPPERR_NODIRECT3D, MSGERR_APPMUSTEXIT);

  m_d3dEnumeration.SetD3D(m_pD3D);
  m_d3dEnumeration.ConfirmDeviceCallback = ConfirmDevice;
  HRESULT hr = m_d3dEnumeration.Enumerate();
  if (FAILED(hr)) {
    m_pD3D->Release();
    m_pD3D = nullptr;
    return ReportError(hr, MSGERR_APPMUSTEXIT);
  }

  if (!m_hWnd) {
    WNDCLASSW wndClass{};
    wndClass.lpfnWndProc = WndProc;
    wndClass.hInstance = instance;
    wndClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_MAIN_ICON));
    wndClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wndClass.hbrBackground = reinterpret_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wndClass.lpszClassName = u"D3D Window";
    RegisterClassW(&wndClass);

    m_dwWindowStyle = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
    HMENU menu = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_MENU));
    RECT rc = {0, 0, static_cast<LONG>(m_dwCreationWidth), static_cast<LONG>(m_dwCreationHeight)};
    AdjustWindowRect(&rc, m_dwWindowStyle, menu != nullptr);
    m_hWnd = CreateWindowExW(0, u"D3D Window", m_strWindowTitle.c_str(), m_dwWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                             rc.right - rc.left, rc.bottom - rc.top, nullptr, menu, instance, nullptr);
    if (!m_hWnd) {
      m_pD3D->Release();
      m_pD3D = nullptr;
      return ReportError(D3DAPPERR_NOWINDOW, MSGERR_APPMUSTEXIT);
    }
  }

  if (!m_hWndFocus) m_hWndFocus = m_hWnd;
  m_dwWindowStyle = static_cast<DWORD>(GetWindowLongW(m_hWnd, GWL_STYLE));
  GetWindowRect(m_hWnd, &m_rcWindowBounds);
  GetClientRect(m_hWnd, &m_rcWindowClient);

  hr = ChooseStartSettings(m_pD3D, m_d3dEnumeration, m_d3dSettings, m_rcWindowClient, m_bStartFullscreen);
  if (SUCCEEDED(hr)) {
    AppFrameTimer().Reset();
    hr = InitOnce();
    if (SUCCEEDED(hr)) hr = InitDevice();
    if (SUCCEEDED(hr)) {
      SetPaused(false);
      return S_OK;
    }
  }
  if (m_pD3D) {
    m_pD3D->Release();
    m_pD3D = nullptr;
  }
  return ReportError(hr, MSGERR_APPMUSTEXIT);
}

void CD3DApplication::BuildDeviceStats() {
  const D3DModeSettings& mode = m_d3dSettings.Current();
  const D3DDEVTYPE type = mode.DeviceInfo->DevType;
  std::u16string text = type == D3DDEVTYPE_REF ? u"REF" : type == D3DDEVTYPE_HAL ? u"HAL" : u"SW";
  const bool hal = type == D3DDEVTYPE_HAL;
  if ((m_dwCreateFlags & D3DCREATE_HARDWARE_VERTEXPROCESSING) && (m_dwCreateFlags & D3DCREATE_PUREDEVICE))
    text += hal ? u" (pure hw vp)" : u" (simulated pure hw vp)";
  else if (m_dwCreateFlags & D3DCREATE_HARDWARE_VERTEXPROCESSING)
    text += hal ? u" (hw vp)" : u" (simulated hw vp)";
  else if (m_dwCreateFlags & D3DCREATE_MIXED_VERTEXPROCESSING)
    text += hal ? u" (mixed vp)" : u" (simulated mixed vp)";
  else
    text += u" (sw vp)";
  if (hal) {
    text += u": ";
    const char* description = mode.AdapterInfo->AdapterIdentifier.Description;
    for (const char* p = description; *p && text.size() < 89; ++p) text += static_cast<char16_t>(*p);
  }
  text.resize(std::min<size_t>(text.size(), 89));
  std::copy(text.begin(), text.end(), m_strDeviceStats);
  m_strDeviceStats[text.size()] = 0;
}

void CD3DApplication::ApplyCursorSettings() {
  if (m_bShowCursorWhenFullscreen && !m_bWindowed) {
    // The device cursor is the system cursor here; there is no icon bitmap to copy into it.
    m_pd3dDevice->ShowCursor(TRUE);
  }
  if (m_bClipCursorWhenFullscreen) {
    if (!m_bWindowed) {
      RECT rcWindow;
      GetWindowRect(m_hWnd, &rcWindow);
      ClipCursor(&rcWindow);
    } else {
      ClipCursor(nullptr);
    }
  }
}

void CD3DApplication::BuildPresentParameters() {
  const D3DModeSettings& mode = m_d3dSettings.Current();
  m_d3dpp = {};
  m_d3dpp.Windowed = m_d3dSettings.IsWindowed;
  m_d3dpp.BackBufferCount = 1;
  m_d3dpp.MultiSampleType = mode.MultisampleType;
  m_d3dpp.MultiSampleQuality = mode.MultisampleQuality;
  m_d3dpp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  m_d3dpp.EnableAutoDepthStencil = m_d3dEnumeration.AppUsesDepthBuffer;
  m_d3dpp.hDeviceWindow = m_hWnd;
  if (m_d3dEnumeration.AppUsesDepthBuffer) {
    m_d3dpp.Flags = D3DPRESENTFLAG_DISCARD_DEPTHSTENCIL;
    m_d3dpp.AutoDepthStencilFormat = mode.DepthStencilFormat;
  } else {
    m_d3dpp.Flags = 0;
  }
  if (m_bWindowed) {
    m_d3dpp.BackBufferWidth = static_cast<UINT>(m_rcWindowClient.right - m_rcWindowClient.left);
    m_d3dpp.BackBufferHeight = static_cast<UINT>(m_rcWindowClient.bottom - m_rcWindowClient.top);
    m_d3dpp.BackBufferFormat = mode.DeviceCombo->BackBufferFormat;
    m_d3dpp.FullScreen_RefreshRateInHz = 0;
  } else {
    m_d3dpp.BackBufferWidth = mode.DisplayMode.Width;
    m_d3dpp.BackBufferHeight = mode.DisplayMode.Height;
    m_d3dpp.BackBufferFormat = mode.DisplayMode.Format;
    m_d3dpp.FullScreen_RefreshRateInHz = mode.DisplayMode.RefreshRate;
  }
  m_d3dpp.PresentationInterval = mode.PresentInterval;
}

HRESULT CD3DApplication::InitDevice() {
  D3DModeSettings& mode = m_d3dSettings.Current();
  D3DDeviceInfo* device = mode.DeviceInfo;
  m_bWindowed = m_d3dSettings.IsWindowed;
  ApplyWindowStyle();
  BuildPresentParameters();

  if (device->Caps.PrimitiveMiscCaps & D3DPMISCCAPS_NULLREFERENCE) ReportError(D3DAPPERR_NULLREFDEVICE, MSG_NONE);

  m_dwCreateFlags = BehaviorFlags(mode.VertexProcessing);
  HRESULT hr = m_pD3D->CreateDevice(mode.DeviceCombo->AdapterOrdinal, device->DevType, m_hWndFocus, m_dwCreateFlags,
                                    &m_d3dpp, &m_pd3dDevice);
  if (SUCCEEDED(hr)) {
    if (m_bWindowed)
      SetWindowPos(m_hWnd, HWND_NOTOPMOST, m_rcWindowBounds.left, m_rcWindowBounds.top,
                   m_rcWindowBounds.right - m_rcWindowBounds.left, m_rcWindowBounds.bottom - m_rcWindowBounds.top,
                   SWP_SHOWWINDOW);
    m_pd3dDevice->GetDeviceCaps(&m_d3dCaps);
    BuildDeviceStats();
    IDirect3DSurface9* backBuffer = nullptr;
    if (SUCCEEDED(m_pd3dDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer))) {
      backBuffer->GetDesc(&m_d3dsdBackBuffer);
      backBuffer->Release();
    }
    ApplyCursorSettings();

    hr = CreateDeviceResources();
    if (FAILED(hr)) {
      DestroyDeviceResources();
    } else {
      m_bDeviceObjectsInited = true;
      hr = RestoreDeviceResources();
      if (SUCCEEDED(hr)) {
        m_bDeviceObjectsRestored = true;
        return S_OK;
      }
      LoseDeviceResources();
    }
    ReleaseDevice();
  }

  // A hardware device that failed for a reason other than missing media falls back to a
  // windowed reference device when one exists.
  if (hr != D3DAPPERR_MEDIANOTFOUND && hr != HRESULT_FILE_NOT_FOUND && device->DevType == D3DDEVTYPE_HAL) {
    if (FindBestWindowedMode(m_pD3D, m_d3dEnumeration, m_d3dSettings, m_rcWindowClient, true)) {
      m_bWindowed = true;
      ApplyWindowStyle();
      RestoreWindowedGeometry();
      ReportError(hr, MSGWARN_SWITCHEDTOREF);
      hr = InitDevice();
    }
  }
  return hr;
}

void CD3DApplication::RestoreWindowedGeometry() {
  SetWindowPos(m_hWnd, HWND_NOTOPMOST, m_rcWindowBounds.left, m_rcWindowBounds.top,
               m_rcWindowBounds.right - m_rcWindowBounds.left, m_rcWindowBounds.bottom - m_rcWindowBounds.top,
               SWP_SHOWWINDOW);
}

HRESULT CD3DApplication::ResetDevice() {
  if (m_bDeviceObjectsRestored) {
    m_bDeviceObjectsRestored = false;
    LoseDeviceResources();
  }
  HRESULT hr = m_pd3dDevice->Reset(&m_d3dpp);
  if (FAILED(hr)) return hr;

  IDirect3DSurface9* backBuffer = nullptr;
  if (SUCCEEDED(m_pd3dDevice->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer))) {
    backBuffer->GetDesc(&m_d3dsdBackBuffer);
    backBuffer->Release();
  }
  ApplyCursorSettings();

  hr = RestoreDeviceResources();
  if (FAILED(hr)) {
    LoseDeviceResources();
    return hr;
  }
  m_bDeviceObjectsRestored = true;
  if (!m_bFrameMoving) m_bSingleStep = true;
  return S_OK;
}

void CD3DApplication::ReleaseDevice() {
  if (!m_pd3dDevice) return;
  if (m_bDeviceObjectsRestored) {
    m_bDeviceObjectsRestored = false;
    LoseDeviceResources();
  }
  if (m_bDeviceObjectsInited) {
    m_bDeviceObjectsInited = false;
    DestroyDeviceResources();
  }
  // The pointer is cleared before the report: the fatal box closes the window, and that close
  // must not release the device a second time.
  const ULONG left = m_pd3dDevice->Release();
  m_pd3dDevice = nullptr;
  if (left > 0) ReportError(D3DAPPERR_NONZEROREFCOUNT, MSGERR_APPMUSTEXIT);
}

void CD3DApplication::FallBackToWindowed() {
  m_bWindowed = true;
  m_d3dSettings.IsWindowed = true;
  ApplyWindowStyle();
  RestoreWindowedGeometry();
}

HRESULT CD3DApplication::ToggleWindowedFullscreen() {
  if (!m_pd3dDevice) return E_FAIL;
  const D3DModeSettings& before = m_d3dSettings.Current();
  const UINT adapterBefore = before.DeviceCombo->AdapterOrdinal;
  const D3DDEVTYPE typeBefore = before.DeviceInfo->DevType;

  SetPaused(true);
  m_bWindowed = !m_bWindowed;
  m_d3dSettings.IsWindowed = m_bWindowed;
  m_bIgnoreSizeChange = true;
  ApplyWindowStyle();

  HRESULT hr;
  const D3DModeSettings& after = m_d3dSettings.Current();
  if (after.DeviceCombo->AdapterOrdinal == adapterBefore && after.DeviceInfo->DevType == typeBefore) {
    BuildPresentParameters();
    hr = ResetDevice();
  } else {
    ReleaseDevice();
    hr = InitDevice();
  }
  if (FAILED(hr)) {
    m_bIgnoreSizeChange = false;
    if (!m_bWindowed) FallBackToWindowed();
    return ReportError(hr == D3DERR_OUTOFVIDEOMEMORY ? hr : D3DAPPERR_RESETFAILED, MSGERR_APPMUSTEXIT);
  }
  m_bIgnoreSizeChange = false;
  if (m_bWindowed) RestoreWindowedGeometry();
  SetPaused(false);
  return S_OK;
}

HRESULT CD3DApplication::SwitchDisplayMode() {
  if (!m_bWindowed) {
    if (FAILED(ToggleWindowedFullscreen())) {
      ReportError(D3DAPPERR_RESETFAILED, MSGERR_APPMUSTEXIT);
      return E_FAIL;
    }
  }
  if (g_displayModeSwitches > 0) {
    --g_displayModeSwitches;
    return S_OK;
  }
  g_displayModeSwitches = 1;
  m_d3dSettings.IsWindowed = !m_d3dSettings.IsWindowed;
  m_bWindowed = m_d3dSettings.IsWindowed;
  m_d3dSettings.Fullscreen.DisplayMode.Width = 640;
  m_d3dSettings.Fullscreen.DisplayMode.Height = 480;
  ReleaseDevice();
  HRESULT hr = InitDevice();
  if (FAILED(hr)) {
    if (hr != D3DERR_OUTOFVIDEOMEMORY) hr = D3DAPPERR_RESETFAILED;
    if (!m_bWindowed) FallBackToWindowed();
    return ReportError(hr, MSGERR_APPMUSTEXIT);
  }
  if (!m_bFrameMoving) {
    m_bSingleStep = true;
    AppFrameTimer().Start();
  }
  return S_OK;
}

void CD3DApplication::OnWindowSizeChanged() {
  if (m_bIgnoreSizeChange) return;
  const RECT oldClient = m_rcWindowClient;
  GetWindowRect(m_hWnd, &m_rcWindowBounds);
  GetClientRect(m_hWnd, &m_rcWindowClient);
  if (oldClient.right - oldClient.left == m_rcWindowClient.right - m_rcWindowClient.left &&
      oldClient.bottom - oldClient.top == m_rcWindowClient.bottom - m_rcWindowClient.top)
    return;

  SetPaused(true);
  m_d3dpp.BackBufferWidth = static_cast<UINT>(m_rcWindowClient.right - m_rcWindowClient.left);
  m_d3dpp.BackBufferHeight = static_cast<UINT>(m_rcWindowClient.bottom - m_rcWindowClient.top);
  if (m_pd3dDevice) {
    HRESULT hr = ResetDevice();
    if (FAILED(hr)) ReportError(hr == D3DERR_OUTOFVIDEOMEMORY ? hr : D3DAPPERR_RESETFAILED, MSGERR_APPMUSTEXIT);
  }
  SetPaused(false);
}

void CD3DApplication::SetPaused(bool paused) {
  g_pauseCount += paused ? 1 : -1;
  m_bActive = g_pauseCount == 0;
  if (paused && g_pauseCount == 1 && m_bFrameMoving) AppFrameTimer().Stop();
  if (!paused && g_pauseCount == 0 && m_bFrameMoving) AppFrameTimer().Start();
}
