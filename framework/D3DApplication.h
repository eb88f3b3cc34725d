// A reusable application around one Direct3D 9 device and one window: creates the window and the
// device, resets or re-creates the device on loss, resize and windowed/fullscreen switches, runs
// the message loop, times and drives the frames, and reports errors in message boxes.
// A subclass fills in what is drawn by overriding the virtual hooks. Window thread only.
#pragma once

#include <string>

#include "framework/D3DEnumeration.h"
#include "framework/D3DSettings.h"
#include "framework/FrameworkCodes.h"
#include "platform/d3d9/d3d9.h"

// Accelerator commands of the program's table 113.
constexpr WORD IDM_CHANGEDEVICE = 40002;
constexpr WORD IDM_TOGGLEFULLSCREEN = 40003;
constexpr WORD IDM_EXIT = 40006;
constexpr WORD IDR_MAIN_ACCEL = 113;
constexpr WORD IDR_MENU = 141;
constexpr WORD IDI_MAIN_ICON = 101;

class CD3DApplication {
 public:
  CD3DApplication();
  virtual ~CD3DApplication();

  // Overridable hooks, in the framework's order.
  virtual HRESULT ApplyWindowStyle();
  virtual HRESULT UpdateFrameStats();
  virtual HRESULT CheckDeviceCaps(D3DCAPS9* caps, DWORD behavior, D3DFORMAT backBufferFormat);
  virtual HRESULT InitOnce() { return S_OK; }
  virtual HRESULT CreateDeviceResources() { return S_OK; }
  virtual HRESULT RestoreDeviceResources() { return S_OK; }
  virtual HRESULT Advance() { return S_OK; }
  // S_FALSE: nothing was drawn because the frame on screen is still right; it is not presented.
  virtual HRESULT DrawFrame() { return S_OK; }
  virtual HRESULT LoseDeviceResources() { return S_OK; }
  virtual HRESULT DestroyDeviceResources() { return S_OK; }
  virtual HRESULT FinalShutdown() { return S_OK; }
  virtual HRESULT BeforeClose() { return S_OK; }
  // The window's picture has been lost (exposed, resized): the next DrawFrame must draw.
  virtual void InvalidateFrame() {}

  virtual HRESULT CreateApp(HINSTANCE instance);
  virtual INT RunLoop();
  virtual LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  virtual void SetPaused(bool paused);

  // Shows the text for a code (see the table in ReportError.cpp); returns the code unchanged.
  HRESULT ReportError(HRESULT code, AppMsgType type);

  // Read-only views for the subclass and for tests.
  HWND MainWindow() const { return m_hWnd; }
  IDirect3DDevice9* Device() const { return m_pd3dDevice; }
  bool IsWindowed() const { return m_bWindowed; }
  bool IsActive() const { return m_bActive; }
  const D3DSURFACE_DESC& BackBufferDesc() const { return m_d3dsdBackBuffer; }
  const char16_t* FrameStats() const { return m_strFrameStats; }
  const char16_t* DeviceStats() const { return m_strDeviceStats; }
  const CD3DSettings& Settings() const { return m_d3dSettings; }
  const CD3DEnumeration& Enumeration() const { return m_d3dEnumeration; }
  static int PauseCount();
  static bool FatalErrorShown();

 protected:
  HRESULT InitDevice();
  void BuildPresentParameters();
  HRESULT ResetDevice();
  void ReleaseDevice();
  HRESULT ToggleWindowedFullscreen();
  HRESULT SwitchDisplayMode();
  void OnWindowSizeChanged();
  HRESULT RenderFrame();
  // The drawing half of RenderFrame: DrawFrame, then Present unless DrawFrame drew nothing
  // (S_FALSE then).
  HRESULT ShowFrame();
  void BuildDeviceStats();
  void ApplyCursorSettings();
  void RestoreWindowedGeometry();
  void FallBackToWindowed();

  CD3DEnumeration m_d3dEnumeration;
  CD3DSettings m_d3dSettings;

  bool m_bWindowed = true;
  bool m_bActive = false;
  bool m_bDeviceLost = false;
  bool m_bMinimized = false;
  bool m_bMaximized = false;
  bool m_bIgnoreSizeChange = false;
  bool m_bDeviceObjectsInited = false;
  bool m_bDeviceObjectsRestored = false;
  bool m_bFrameMoving = true;
  bool m_bSingleStep = false;

  HWND m_hWnd = nullptr;
  HWND m_hWndFocus = nullptr;
  HMENU m_hMenu = nullptr;
  IDirect3D9* m_pD3D = nullptr;
  IDirect3DDevice9* m_pd3dDevice = nullptr;
  D3DPRESENT_PARAMETERS m_d3dpp{};
  D3DCAPS9 m_d3dCaps{};
  D3DSURFACE_DESC m_d3dsdBackBuffer{};
  DWORD m_dwCreateFlags = 0;
  DWORD m_dwWindowStyle = 0;
  RECT m_rcWindowBounds{};
  RECT m_rcWindowClient{};

  float m_fTime = 0.0f;
  float m_fElapsedTime = 0.0f;
  float m_fFPS = 0.0f;
  char16_t m_strDeviceStats[90] = {};
  char16_t m_strFrameStats[90] = {};

  std::u16string m_strWindowTitle = u"D3D9 Application";
  DWORD m_dwCreationWidth = 400;
  DWORD m_dwCreationHeight = 300;
  bool m_bShowCursorWhenFullscreen = false;
  bool m_bClipCursorWhenFullscreen = true;
  bool m_bStartFullscreen = false;

 private:
  // Frame statistics state.
  double m_statsLastTime = 0.0;
  DWORD m_statsFrames = 0;
};
