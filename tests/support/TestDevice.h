// A real Direct3D 9 device on a hidden window of its own, for drawing tests under Xvfb.
// Header-only so that any test folder can use it.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/d3d9_testing.h"
#include "platform/win32/win32.h"

class TestDevice {
 public:
  explicit TestDevice(UINT width = 256, UINT height = 256) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = u"TestDeviceWindow";
    RegisterClassW(&wc);  // fails harmlessly when a previous test registered it
    m_window = CreateWindowExW(0, u"TestDeviceWindow", u"test", WS_POPUP, 0, 0, static_cast<int>(width),
                               static_cast<int>(height), nullptr, nullptr, wc.hInstance, nullptr);
    m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (!m_window || !m_d3d) return;
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = width;
    pp.BackBufferHeight = height;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = m_window;
    pp.Windowed = TRUE;
    if (FAILED(m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_window, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                   &pp, &m_device)))
      m_device = nullptr;
  }
  ~TestDevice() {
    if (m_device) {
      EXPECT_EQ(0u, m_device->Release()) << "a test leaked a device reference";
    }
    if (m_d3d) m_d3d->Release();
    if (m_window) DestroyWindow(m_window);
  }
  TestDevice(const TestDevice&) = delete;
  TestDevice& operator=(const TestDevice&) = delete;

  IDirect3DDevice9* get() const { return m_device; }

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
  IDirect3D9* m_d3d = nullptr;
  IDirect3DDevice9* m_device = nullptr;
};
