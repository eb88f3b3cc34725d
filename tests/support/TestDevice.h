// A real Direct3D 9 device for drawing tests under Xvfb: on a hidden window of its own, or on a
// window the test gives. Every test that needs a device makes it here.
// Header-only so that any test folder can use it.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/d3d9_testing.h"
#include "platform/win32/win32.h"

class TestDevice {
 public:
  struct Options {
    UINT width = 256, height = 256;
    // A D24S8 depth and stencil buffer made with the back buffer.
    bool depthStencil = false;
    // Present without waiting for the display's refresh.
    bool immediate = false;
    // The device's window; nullptr makes a hidden one of the back buffer's size.
    HWND window = nullptr;
  };

  explicit TestDevice(UINT width = 256, UINT height = 256) : TestDevice(Options{width, height}) {}
  explicit TestDevice(const Options& options) : m_window(options.window) {
    if (!m_window) {
      WNDCLASSW wc{};
      wc.lpfnWndProc = DefWindowProcW;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.lpszClassName = u"TestDeviceWindow";
      RegisterClassW(&wc);  // fails harmlessly when a previous test registered it
      m_window = CreateWindowExW(0, u"TestDeviceWindow", u"test", WS_POPUP, 0, 0, static_cast<int>(options.width),
                                 static_cast<int>(options.height), nullptr, nullptr, wc.hInstance, nullptr);
      m_ownWindow = true;
    }
    m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!m_window || !m_d3d) return;
    m_params.BackBufferWidth = options.width;
    m_params.BackBufferHeight = options.height;
    m_params.BackBufferFormat = D3DFMT_X8R8G8B8;
    m_params.BackBufferCount = 1;
    m_params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    m_params.hDeviceWindow = m_window;
    m_params.Windowed = TRUE;
    if (options.depthStencil) {
      m_params.EnableAutoDepthStencil = TRUE;
      m_params.AutoDepthStencilFormat = D3DFMT_D24S8;
    }
    if (options.immediate) m_params.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    D3DPRESENT_PARAMETERS params = m_params;
    if (FAILED(m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                   &params, &m_device)))
      m_device = nullptr;
  }
  ~TestDevice() {
    if (m_device) {
      EXPECT_EQ(0u, m_device->Release()) << "a test leaked a device reference";
    }
    if (m_d3d) m_d3d->Release();
    if (m_window && m_ownWindow) DestroyWindow(m_window);
  }
  TestDevice(const TestDevice&) = delete;
  TestDevice& operator=(const TestDevice&) = delete;

  IDirect3DDevice9* get() const { return m_device; }
  // Hands the device's reference to the caller, who releases it; the window and the Direct3D
  // object stay with this object.
  IDirect3DDevice9* Detach() {
    IDirect3DDevice9* device = m_device;
    m_device = nullptr;
    return device;
  }
  HWND window() const { return m_window; }
  // The parameters the device was made with, for a Reset to the same state.
  const D3DPRESENT_PARAMETERS& Params() const { return m_params; }

  // A managed A8R8G8B8 texture filled from texels (width x height, top row first).
  IDirect3DTexture9* MakeTexture(UINT width, UINT height, const std::vector<DWORD>& texels) const {
    IDirect3DTexture9* texture = nullptr;
    if (FAILED(m_device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr)))
      return nullptr;
    D3DLOCKED_RECT locked{};
    if (SUCCEEDED(texture->LockRect(0, &locked, nullptr, 0))) {
      for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x)
          reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] = texels[y * width + x];
      texture->UnlockRect(0);
    }
    return texture;
  }

  // The back buffer's pixels, top row first.
  std::vector<DWORD> ReadBack(UINT* width) const {
    UINT w = 0, h = 0;
    std::vector<DWORD> pixels = D3D9TestReadBackBuffer(m_device, &w, &h);
    *width = w;
    return pixels;
  }

 private:
  HWND m_window = nullptr;
  bool m_ownWindow = false;
  IDirect3D9* m_d3d = nullptr;
  IDirect3DDevice9* m_device = nullptr;
  D3DPRESENT_PARAMETERS m_params{};
};
