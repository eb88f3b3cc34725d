// A test fixture with a real 640 x 480 device (depth buffer, immediate presentation) from
// TestDevice, and helpers to draw screen-space quads, make textures and read pixels back.
// Header-only so that any test folder can use it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/d3d9_testing.h"
#include "support/TestDevice.h"

struct ColorVertex {  // FVF 0x44
  float x, y, z, rhw;
  D3DCOLOR color;
};
struct TexturedVertex {  // FVF 0x144
  float x, y, z, rhw;
  D3DCOLOR color;
  float u, v;
};

class DeviceFixture : public ::testing::Test {
 protected:
  static constexpr UINT kWidth = 640;
  static constexpr UINT kHeight = 480;

  // The fixture holds the device's reference: a test may release it itself and clear device_.
  void SetUp() override {
    device_ = device.Detach();
    ASSERT_NE(device_, nullptr);
  }
  void TearDown() override {
    if (device_) {
      EXPECT_EQ(device_->Release(), 0u);
    }
  }
  D3DPRESENT_PARAMETERS Params() const { return device.Params(); }

  std::vector<DWORD> Pixels() {
    UINT w = 0, h = 0;
    auto pixels = D3D9TestReadBackBuffer(device_, &w, &h);
    EXPECT_EQ(w, kWidth);
    EXPECT_EQ(h, kHeight);
    return pixels;
  }

  // Draws one untextured screen quad inside its own scene.
  void DrawRect(float x, float y, float w, float h, D3DCOLOR color) {
    const ColorVertex v[6] = {{x, y, 0.5f, 1, color},     {x + w, y, 0.5f, 1, color}, {x, y + h, 0.5f, 1, color},
                              {x, y + h, 0.5f, 1, color}, {x + w, y, 0.5f, 1, color}, {x + w, y + h, 0.5f, 1, color}};
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    device_->SetTexture(0, nullptr);
    device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ColorVertex)), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
  }

  // Draws a textured screen quad with the given corner positions and texture coordinates.
  void DrawTexturedQuad(float x0, float y0, float x1, float y1, float u0, float v0, float u1, float v1,
                        D3DCOLOR color = 0xffffffff) {
    const TexturedVertex v[6] = {{x0, y0, 0.5f, 1, color, u0, v0}, {x1, y0, 0.5f, 1, color, u1, v0},
                                 {x0, y1, 0.5f, 1, color, u0, v1}, {x0, y1, 0.5f, 1, color, u0, v1},
                                 {x1, y0, 0.5f, 1, color, u1, v0}, {x1, y1, 0.5f, 1, color, u1, v1}};
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TexturedVertex)), D3D_OK);
    ASSERT_EQ(device_->EndScene(), D3D_OK);
  }

  // A texture whose level 0 holds the given ARGB texels, row by row.
  IDirect3DTexture9* MakeTexture(UINT w, UINT h, D3DFORMAT format, const std::vector<DWORD>& texels) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device_->CreateTexture(w, h, 1, 0, format, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    if (!texture) return nullptr;
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
    for (UINT y = 0; y < h; ++y)
      std::memcpy(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch, &texels[y * w], w * 4);
    EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
    return texture;
  }

  TestDevice device{{.width = kWidth, .height = kHeight, .depthStencil = true, .immediate = true}};
  IDirect3DDevice9* device_ = nullptr;
};

// Channel distance of two ARGB colours (largest of the four).
inline int ColorDistance(DWORD a, DWORD b) {
  int worst = 0;
  for (int shift = 0; shift < 32; shift += 8)
    worst = std::max(worst, std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)));
  return worst;
}
