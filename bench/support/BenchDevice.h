// One window and Direct3D device of the program's size, as the framework makes them, for the
// benchmarks and the endurance run.
#pragma once

#include <cstdio>

#include "platform/d3d9/d3d9.h"
#include "platform/win32/win32.h"

class BenchDevice {
 public:
  explicit BenchDevice(bool depthStencil) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = u"BenchWindow";
    RegisterClassW(&wc);
    window_ =
        CreateWindowExW(0, u"BenchWindow", u"bench", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, wc.hInstance, nullptr);
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    if (!window_ || !d3d_) return;
    D3DPRESENT_PARAMETERS pp{};
    pp.BackBufferWidth = 640;
    pp.BackBufferHeight = 480;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    pp.BackBufferCount = 1;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.hDeviceWindow = window_;
    pp.Windowed = TRUE;
    pp.EnableAutoDepthStencil = depthStencil ? TRUE : FALSE;
    pp.AutoDepthStencilFormat = D3DFMT_D16;
    if (FAILED(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                                  &device_)))
      device_ = nullptr;
  }
  ~BenchDevice() {
    // Whatever still holds the device at this point is a leak of the run.
    if (device_ && device_->Release() != 0) std::fprintf(stderr, "bench: the device is still referenced\n");
    if (d3d_) d3d_->Release();
    if (window_) DestroyWindow(window_);
  }
  BenchDevice(const BenchDevice&) = delete;
  BenchDevice& operator=(const BenchDevice&) = delete;
  IDirect3DDevice9* get() const { return device_; }
  HWND window() const { return window_; }

 private:
  HWND window_ = nullptr;
  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
};
