// A real device on a real (hidden) window of the Win32 layer, drawing with OpenGL under the
// test's X display, and helpers to draw screen-space quads and read pixels back.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "platform/d3d9/d3d9.h"
#include "platform/d3d9/d3d9_testing.h"
#include "platform/win32/win32.h"

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

  void SetUp() override;
  void TearDown() override;
  D3DPRESENT_PARAMETERS Params() const;

  std::vector<DWORD> Pixels();
  // Draws one untextured screen quad inside its own scene.
  void DrawRect(float x, float y, float w, float h, D3DCOLOR color);
  // Draws a textured screen quad with the given corner positions and texture coordinates.
  void DrawTexturedQuad(float x0, float y0, float x1, float y1, float u0, float v0, float u1, float v1,
                        D3DCOLOR color = 0xffffffff);
  // A texture whose level 0 holds the given ARGB texels, row by row.
  IDirect3DTexture9* MakeTexture(UINT w, UINT h, D3DFORMAT format, const std::vector<DWORD>& texels);

  HWND window_ = nullptr;
  IDirect3D9* d3d_ = nullptr;
  IDirect3DDevice9* device_ = nullptr;
};

// Channel distance of two ARGB colours (largest of the four).
int ColorDistance(DWORD a, DWORD b);
