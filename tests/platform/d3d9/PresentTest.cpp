// Frames drawn straight into a window of the back buffer's size give the pixels of frames drawn
// offscreen and copied; a window of another size keeps the offscreen path.
#include <gtest/gtest.h>

#include <vector>

#include "platform/d3d9/d3d9_testing.h"
#include "support/TestDevice.h"

namespace {

struct Vertex {  // FVF XYZRHW | DIFFUSE
  float x, y, z, rhw;
  D3DCOLOR color;
};

// Overlapping translucent and opaque quads, a depth-tested one half hidden, and a partial clear.
std::vector<DWORD> DrawPattern(IDirect3DDevice9* device) {
  device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF203040, 1.0f, 0);
  const D3DRECT band = {0, 100, 256, 120};
  device->Clear(1, &band, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
  device->BeginScene();
  device->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
  device->SetRenderState(D3DRS_LIGHTING, FALSE);
  device->SetRenderState(D3DRS_ZENABLE, TRUE);
  device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  auto quad = [&](float x0, float y0, float x1, float y1, float z, D3DCOLOR c) {
    const Vertex v[4] = {{x0, y0, z, 1, c}, {x1, y0, z, 1, c}, {x0, y1, z, 1, c}, {x1, y1, z, 1, c}};
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(Vertex));
  };
  quad(10, 10, 200, 150, 0.5f, 0xFFFF0000);
  quad(50, 40, 240, 230, 0.7f, 0x80FFFFFF);  // behind the red one where they overlap
  quad(30, 160, 90, 250, 0.1f, 0x400000FF);
  device->EndScene();
  UINT w = 0, h = 0;
  return D3D9TestReadBackBuffer(device, &w, &h);
}

TEST(PresentTest, AFrameDrawnIntoTheWindowEqualsOneDrawnOffscreen) {
  TestDevice device(256, 256);
  ASSERT_NE(nullptr, device.get());
  IDirect3DDevice9* d = device.get();
  D3D9TestForceOffscreen(d, true);
  ASSERT_EQ(D3D_OK, d->Present(nullptr, nullptr, nullptr, nullptr));
  ASSERT_FALSE(D3D9TestDrawsToWindow(d));
  const std::vector<DWORD> offscreen = DrawPattern(d);

  D3D9TestForceOffscreen(d, false);
  ASSERT_EQ(D3D_OK, d->Present(nullptr, nullptr, nullptr, nullptr));
  ASSERT_TRUE(D3D9TestDrawsToWindow(d)) << "a window of the back buffer's size takes the frames";
  EXPECT_EQ(offscreen, DrawPattern(d));
  ASSERT_EQ(D3D_OK, d->Present(nullptr, nullptr, nullptr, nullptr));
  EXPECT_TRUE(D3D9TestDrawsToWindow(d));
}

TEST(PresentTest, AWindowOfAnotherSizeKeepsTheOffscreenBackBuffer) {
  TestDevice device(256, 256);
  ASSERT_NE(nullptr, device.get());
  IDirect3DDevice9* d = device.get();
  D3DPRESENT_PARAMETERS params{};
  params.BackBufferWidth = 200;
  params.BackBufferHeight = 100;
  params.BackBufferFormat = D3DFMT_X8R8G8B8;
  params.SwapEffect = D3DSWAPEFFECT_DISCARD;
  params.Windowed = TRUE;
  ASSERT_EQ(D3D_OK, d->Reset(&params));
  ASSERT_EQ(D3D_OK, d->Present(nullptr, nullptr, nullptr, nullptr));
  EXPECT_FALSE(D3D9TestDrawsToWindow(d));
}

}  // namespace
