// A real window and Direct3D device (OpenGL under Xvfb) for the D3DX tests.
#pragma once

#include <gtest/gtest.h>

#include "platform/d3d9/d3d9.h"
#include "platform/win32/win32.h"

class D3DXTestDevice : public ::testing::Test {
 protected:
  static constexpr UINT kWidth = 640, kHeight = 480;

  void SetUp() override {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = u"D3DX Test";
    RegisterClassW(&wc);  // fails harmlessly when an earlier test registered it
    window_ = CreateWindowExW(0, u"D3DX Test", u"D3DX Test", WS_OVERLAPPEDWINDOW, 0, 0, kWidth, kHeight, nullptr,
                              nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window_, nullptr);
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = kWidth;
    pp.BackBufferHeight = kHeight;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = window_;
    pp.Windowed = TRUE;
    ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                                 &device_),
              D3D_OK);
  }

  void TearDown() override {
    if (device_) {
      EXPECT_EQ(device_->Release(), 0u) << "something still holds the device";
    }
    if (d3d_) d3d_->Release();
    if (window_) DestroyWindow(window_);
  }

  HWND window_ = nullptr;
  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
};
