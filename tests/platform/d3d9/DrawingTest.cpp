// Pixels drawn by the real device: pixel-centre rule, blending, alpha test, texel-exact
// quads, culling, lighting without normals, texture transforms, partial texture uploads.
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/d3dx9/d3dx9math.h"
#include "support/DeviceFixture.h"

namespace {

using DrawingTest = DeviceFixture;

TEST_F(DrawingTest, ScreenQuadCoversExactlyItsPixels) {
  ASSERT_EQ(device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff000000, 1.0f, 0), D3D_OK);
  DrawRect(15, 435, 200, 5, 0xffffffff);
  const auto pixels = Pixels();
  for (UINT y = 0; y < kHeight; ++y)
    for (UINT x = 0; x < kWidth; ++x) {
      const bool inside = x >= 15 && x <= 214 && y >= 435 && y <= 439;
      ASSERT_EQ(pixels[y * kWidth + x], inside ? 0xffffffffu : 0xff000000u) << x << "," << y;
    }
}

TEST_F(DrawingTest, AlphaBlendingAndAlphaTest) {
  struct Case {
    DWORD blend, alphaTest;
    D3DCOLOR quad, expected;
  } cases[] = {
      // Source alpha 0x80 over blue: 128/255 of red, 127/255 of blue.
      {TRUE, FALSE, 0x80ff0000, 0xff80007f},
      // Alpha test with reference 8, greater-or-equal: 7 is dropped, 8 is drawn.
      {FALSE, TRUE, 0x07ff0000, 0xff0000ff},
      {FALSE, TRUE, 0x08ff0000, 0xffff0000},
  };
  // The quad batch's stage setup: texture times vertex colour, and no texture reads as white.
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
  for (const Case& c : cases) {
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff0000ff, 1.0f, 0);
    device_->SetRenderState(D3DRS_ALPHABLENDENABLE, c.blend);
    device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device_->SetRenderState(D3DRS_ALPHATESTENABLE, c.alphaTest);
    device_->SetRenderState(D3DRS_ALPHAREF, 8);
    device_->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    DrawRect(10, 10, 20, 20, c.quad);
    const auto pixels = Pixels();
    EXPECT_LE(ColorDistance(pixels[20 * kWidth + 20], c.expected), 1) << std::hex << c.quad;
    EXPECT_EQ(pixels[40 * kWidth + 40], 0xff0000ffu);
  }
}

// Each stage set-up draws with its own program: a value set while one set-up is in use must
// reach another one at its next draw, even when nothing of its own changed in between.
TEST_F(DrawingTest, StageSetupsTakeTurnsWithTheirCurrentValues) {
  IDirect3DTexture9* white = MakeTexture(1, 1, D3DFMT_A8R8G8B8, {0xffffffffu});
  ASSERT_NE(white, nullptr);
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1.0f, 0);
  // Texture (white when none is bound) times the texture factor.
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
  device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0xffff0000);
  DrawRect(0, 0, 10, 10, 0xffffffff);  // without a texture
  device_->SetRenderState(D3DRS_TEXTUREFACTOR, 0xff00ff00);
  device_->SetTexture(0, white);
  DrawTexturedQuad(10, 0, 20, 10, 0, 0, 1, 1, 0xffffffff);
  DrawRect(20, 0, 10, 10, 0xffffffff);  // without a texture again, nothing else changed
  const auto pixels = Pixels();
  EXPECT_EQ(pixels[5 * kWidth + 5], 0xffff0000u);
  EXPECT_EQ(pixels[5 * kWidth + 15], 0xff00ff00u);
  EXPECT_EQ(pixels[5 * kWidth + 25], 0xff00ff00u);
  device_->SetTexture(0, nullptr);
  EXPECT_EQ(white->Release(), 0u);
}

TEST_F(DrawingTest, TexturedQuadReproducesTexelsOneToOne) {
  constexpr UINT tw = 64, th = 32;
  std::vector<DWORD> texels(tw * th);
  for (UINT y = 0; y < th; ++y)
    for (UINT x = 0; x < tw; ++x) texels[y * tw + x] = 0xff000000u | (x * 4) << 16 | (y * 8) << 8 | ((x + y) & 1) * 255;
  IDirect3DTexture9* texture = MakeTexture(tw, th, D3DFMT_A8R8G8B8, texels);
  ASSERT_NE(texture, nullptr);
  device_->SetTexture(0, texture);
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_BORDER);
  device_->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_BORDER);
  device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
  device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  constexpr float x = 100, y = 50;
  // The two usual ways of mapping texels to pixels: positions moved by half a pixel with
  // coordinates 0..1, or exact positions with coordinates moved by half a texel.
  const float half_u = 0.5f / tw, half_v = 0.5f / th;
  struct Case {
    float dx, du, dv;
  } cases[] = {{-0.5f, 0, 0}, {0, half_u, half_v}};
  for (const Case& c : cases) {
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff123456, 1.0f, 0);
    DrawTexturedQuad(x + c.dx, y + c.dx, x + tw + c.dx, y + th + c.dx, c.du, c.dv, 1 + c.du, 1 + c.dv);
    const auto pixels = Pixels();
    for (UINT py = y - 1; py <= y + th; ++py)
      for (UINT px = x - 1; px <= x + tw; ++px) {
        const bool inside = px >= x && px < x + tw && py >= y && py < y + th;
        const DWORD expected = inside ? texels[(py - UINT(y)) * tw + (px - UINT(x))] : 0xff123456u;
        ASSERT_EQ(pixels[py * kWidth + px], expected) << px << "," << py << " case dx " << c.dx;
      }
  }
  device_->SetTexture(0, nullptr);
  EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(DrawingTest, CullingFollowsScreenWinding) {
  // Clockwise on screen (y down) survives the default counter-clockwise culling.
  const ColorVertex clockwise[3] = {{10, 10, 0, 1, 0xffff0000}, {50, 10, 0, 1, 0xffff0000}, {10, 50, 0, 1, 0xffff0000}};
  const ColorVertex counter[3] = {clockwise[0], clockwise[2], clockwise[1]};
  struct Case {
    DWORD cull;
    const ColorVertex* tri;
    bool drawn;
  } cases[] = {{D3DCULL_CCW, clockwise, true},
               {D3DCULL_CCW, counter, false},
               {D3DCULL_CW, clockwise, false},
               {D3DCULL_CW, counter, true},
               {D3DCULL_NONE, counter, true}};
  device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  for (const Case& c : cases) {
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1.0f, 0);
    device_->SetRenderState(D3DRS_CULLMODE, c.cull);
    device_->BeginScene();
    device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, c.tri, sizeof(ColorVertex));
    device_->EndScene();
    EXPECT_EQ(Pixels()[20 * kWidth + 20], c.drawn ? 0xffff0000u : 0xff000000u) << c.cull;
  }
}

struct MeshVertex {  // FVF 0x102
  float x, y, z, u, v;
};

IDirect3DVertexBuffer9* MakeMesh(IDirect3DDevice9* device, const std::vector<MeshVertex>& vertices) {
  IDirect3DVertexBuffer9* buffer = nullptr;
  const UINT bytes = UINT(vertices.size() * sizeof(MeshVertex));
  EXPECT_EQ(device->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, D3DFVF_XYZ | D3DFVF_TEX1, D3DPOOL_MANAGED, &buffer,
                                       nullptr),
            D3D_OK);
  void* data = nullptr;
  EXPECT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
  std::memcpy(data, vertices.data(), bytes);
  EXPECT_EQ(buffer->Unlock(), D3D_OK);
  return buffer;
}

TEST_F(DrawingTest, LitMeshWithoutNormalsShowsEmissivePlusAmbient) {
  // The upper-right unit square of the z = 0 plane, clockwise as the camera sees it.
  IDirect3DVertexBuffer9* mesh = MakeMesh(
      device_, {{0, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {1, 0, 0, 0, 0}, {1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {1, 1, 0, 0, 0}});
  D3DXMATRIX identity, view, projection;
  D3DXMatrixIdentity(&identity);
  const D3DXVECTOR3 eye(0, 0, -5), at(0, 0, 0), up(0, 1, 0);
  D3DXMatrixLookAtLH(&view, &eye, &at, &up);
  D3DXMatrixPerspectiveFovLH(&projection, D3DX_PI / 4, float(kWidth) / float(kHeight), 1.0f, 100.0f);
  device_->SetTransform(D3DTS_WORLD, &identity);
  device_->SetTransform(D3DTS_VIEW, &view);
  device_->SetTransform(D3DTS_PROJECTION, &projection);
  D3DMATERIAL9 material{};
  material.Diffuse = {1, 1, 1, 1};
  material.Ambient = {0, 0.5f, 0.5f, 1};
  material.Emissive = {0.2f, 0, 0, 0};
  device_->SetMaterial(&material);
  D3DLIGHT9 light{};
  light.Type = D3DLIGHT_DIRECTIONAL;
  light.Diffuse = {1, 1, 1, 0};
  light.Ambient = {0, 0, 0.4f, 0};
  light.Direction = {0, 0, 1};
  device_->SetLight(0, &light);
  device_->LightEnable(0, TRUE);
  device_->SetRenderState(D3DRS_LIGHTING, TRUE);
  device_->SetRenderState(D3DRS_AMBIENT, 0x00808080);
  device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff000000, 1.0f, 0);
  device_->BeginScene();
  device_->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1);
  device_->SetStreamSource(0, mesh, 0, sizeof(MeshVertex));
  EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
  device_->EndScene();
  const auto pixels = Pixels();
  // red = emissive 0.2; green = 0.5 x 128/255; blue = 0.5 x (128/255 + 0.4, the light's ambient).
  const DWORD lit = D3DCOLOR_XRGB(51, 64, 115);
  // The square spans 1 / (5 tan(pi/8)) of the half height: about 116 pixels up and right.
  EXPECT_LE(ColorDistance(pixels[(240 - 100) * kWidth + 320 + 100], lit), 1)
      << std::hex << pixels[(240 - 100) * kWidth + 320 + 100];
  EXPECT_LE(ColorDistance(pixels[(240 - 10) * kWidth + 320 + 10], lit), 1);
  EXPECT_EQ(pixels[(240 - 125) * kWidth + 320 + 100], 0xff000000u);  // above it
  EXPECT_EQ(pixels[(240 - 100) * kWidth + 320 + 125], 0xff000000u);  // right of it
  EXPECT_EQ(pixels[(240 + 50) * kWidth + 320 - 50], 0xff000000u);    // the opposite quadrant
  EXPECT_EQ(mesh->Release(), 0u);
}

TEST_F(DrawingTest, TextureTransformTranslatesTwoDimensionalCoordinates) {
  // Two texels, red then green; the full-screen square samples u = 0.25 (red) untransformed.
  IDirect3DTexture9* texture = MakeTexture(2, 1, D3DFMT_X8R8G8B8, {0x00ff0000, 0x0000ff00});
  IDirect3DVertexBuffer9* mesh = MakeMesh(device_, {{-1, -1, 0.5f, 0.25f, 0.5f},
                                                    {-1, 1, 0.5f, 0.25f, 0.5f},
                                                    {1, -1, 0.5f, 0.25f, 0.5f},
                                                    {1, -1, 0.5f, 0.25f, 0.5f},
                                                    {-1, 1, 0.5f, 0.25f, 0.5f},
                                                    {1, 1, 0.5f, 0.25f, 0.5f}});
  device_->SetRenderState(D3DRS_LIGHTING, FALSE);
  device_->SetTexture(0, texture);
  device_->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
  device_->SetFVF(D3DFVF_XYZ | D3DFVF_TEX1);
  device_->SetStreamSource(0, mesh, 0, sizeof(MeshVertex));
  D3DXMATRIX row3, row4, scaled;
  D3DXMatrixIdentity(&row3);
  row3._31 = 0.5f;                           // (u, v, 1, 0) picks up the third row
  D3DXMatrixTranslation(&row4, 0.5f, 0, 0);  // the fourth row meets the 0 and does nothing
  D3DXMatrixScaling(&scaled, 3, 1, 1);
  struct Case {
    DWORD flags;
    const D3DXMATRIX* matrix;
    D3DCOLOR expected;
  } cases[] = {{D3DTTFF_COUNT2, &row3, 0xff00ff00},
               {D3DTTFF_COUNT2, &row4, 0xffff0000},
               {D3DTTFF_COUNT2, &scaled, 0xff00ff00},
               {D3DTTFF_DISABLE, &row3, 0xffff0000}};
  for (const Case& c : cases) {
    device_->SetTransform(D3DTS_TEXTURE0, c.matrix);
    device_->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, c.flags);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xff000000, 1.0f, 0);
    device_->BeginScene();
    device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2);
    device_->EndScene();
    EXPECT_EQ(Pixels()[240 * kWidth + 320], c.expected) << &c - cases;
  }
  device_->SetTexture(0, nullptr);
  EXPECT_EQ(mesh->Release(), 0u);
  EXPECT_EQ(texture->Release(), 0u);
}

}  // namespace

// Red at half alpha beside opaque green, sampled between texel centres across a quad one texture
// wide and four pixels long: linear filtering mixes neighbours, wrap addressing brings texel 1 in
// left of texel 0, and additive blending weighted by the texel's alpha adds to the blue below.
TEST_F(DrawingTest, WrapAddressingLinearFilteringAndAlphaWeightedAdditiveBlend) {
  IDirect3DTexture9* texture = MakeTexture(2, 1, D3DFMT_A8R8G8B8, {0x80ff0000, 0xff00ff00});
  ASSERT_NE(texture, nullptr);
  device_->SetTexture(0, texture);
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
  device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device_->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
  device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
  device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
  device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
  device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
  // Pixel centres sample u = 1/8, 3/8, 5/8, 7/8: texel coordinates -1/4, 1/4, 3/4, 5/4.
  struct Case {
    DWORD address;
    D3DCOLOR expected[4];
  } cases[] = {
      // 3/4 red (alpha 0.63) and 1/4 green, then the other way round (alpha 0.88).
      {D3DTADDRESS_WRAP, {0xff782880, 0xff782880, 0xff38a780, 0xff38a780}},
      // Clamped, the outer pixels see one texel only.
      {D3DTADDRESS_CLAMP, {0xff800080, 0xff782880, 0xff38a780, 0xff00ff80}},
  };
  for (const Case& c : cases) {
    device_->SetSamplerState(0, D3DSAMP_ADDRESSU, c.address);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000080, 1.0f, 0);
    DrawTexturedQuad(100, 100, 104, 101, 0.125f, 0, 1.125f, 1);
    const auto pixels = Pixels();
    for (int i = 0; i < 4; ++i)
      EXPECT_LE(ColorDistance(pixels[100 * kWidth + 100 + i], c.expected[i]), 2)
          << "address " << c.address << " pixel " << i << std::hex << " got " << pixels[100 * kWidth + 100 + i];
  }
  device_->SetTexture(0, nullptr);
  EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(DrawingTest, AClearKeepsTheStencilItIsNotAskedToClear) {
  const D3DRECT part{10, 10, 20, 20};
  const auto stencilAt = [&](int x, int y) { return D3D9TestReadStencil(device_, x, y); };
  ASSERT_EQ(D3D_OK, device_->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 3));
  ASSERT_EQ(D3D_OK, device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.5f, 0));
  EXPECT_EQ(3, stencilAt(15, 15));
  // A part set to another value survives depth clears of the whole target and of a part.
  ASSERT_EQ(D3D_OK, device_->Clear(1, &part, D3DCLEAR_STENCIL, 0, 1.0f, 7));
  ASSERT_EQ(D3D_OK, device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER | D3DCLEAR_TARGET, 0, 1.0f, 0));
  ASSERT_EQ(D3D_OK, device_->Clear(1, &part, D3DCLEAR_ZBUFFER, 0, 1.0f, 0));
  EXPECT_EQ(7, stencilAt(15, 15));
  EXPECT_EQ(3, stencilAt(5, 5));
  EXPECT_EQ(3, stencilAt(25, 25));
  // Presenting touches no stencil value (the device's empty clear after the swap included).
  ASSERT_EQ(D3D_OK, device_->Present(nullptr, nullptr, nullptr, nullptr));
  EXPECT_EQ(7, stencilAt(15, 15));
  EXPECT_EQ(3, stencilAt(25, 25));
  // A whole stencil clear makes it one value again, which later depth clears keep.
  ASSERT_EQ(D3D_OK, device_->Clear(0, nullptr, D3DCLEAR_STENCIL | D3DCLEAR_ZBUFFER, 0, 1.0f, 1));
  ASSERT_EQ(D3D_OK, device_->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0));
  EXPECT_EQ(1, stencilAt(15, 15));
  EXPECT_EQ(1, stencilAt(600, 400));
}

// A one-level texture is uploaded only where a draw samples it. Every later draw, wherever it
// looks (another part, the far edge reached by wrapping), must still see the newest texels.
// A large texture made in the shape of one just destroyed may take over its GL storage: it
// shows its own texels wherever it is drawn, never what that storage held.
TEST_F(DrawingTest, ATextureMadeInTheShapeOfADestroyedOneShowsOnlyItsOwnTexels) {
  constexpr UINT kW = 1024, kH = 256;  // 1 MB of texels
  device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
  device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  const auto count = [&](DWORD colour, int w, int h) {
    const auto pixels = Pixels();
    int n = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) n += pixels[y * kWidth + x] == colour;
    return n;
  };
  IDirect3DTexture9* first = MakeTexture(kW, kH, D3DFMT_X8R8G8B8, std::vector<DWORD>(kW * kH, 0xffff0000));
  device_->SetTexture(0, first);
  DrawTexturedQuad(0, 0, 640, 480, 0, 0, 1, 1);
  ASSERT_EQ(640 * 480, count(0xffff0000, 640, 480));
  device_->SetTexture(0, nullptr);
  EXPECT_EQ(first->Release(), 0u);

  IDirect3DTexture9* second = MakeTexture(kW, kH, D3DFMT_X8R8G8B8, std::vector<DWORD>(kW * kH, 0xff00ff00));
  device_->SetTexture(0, second);
  DrawTexturedQuad(0, 0, 64, 64, 0, 0, 64.0f / kW, 64.0f / kH);  // a corner, as through a lens
  EXPECT_EQ(64 * 64, count(0xff00ff00, 64, 64));
  DrawTexturedQuad(0, 0, 640, 480, 0, 0, 1, 1);
  EXPECT_EQ(640 * 480, count(0xff00ff00, 640, 480));
  device_->SetTexture(0, nullptr);
  EXPECT_EQ(second->Release(), 0u);
}

class PartialUploadTest : public DeviceFixture {
 protected:
  static constexpr UINT kTexW = 256, kTexH = 16;

  void SetUp() override {
    DeviceFixture::SetUp();
    texture_ = MakeTexture(kTexW, kTexH, D3DFMT_X8R8G8B8, std::vector<DWORD>(kTexW * kTexH, 0xffff0000));
    ASSERT_NE(texture_, nullptr);
    device_->SetTexture(0, texture_);
    device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device_->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
    device_->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
  }
  void TearDown() override {
    device_->SetTexture(0, nullptr);
    EXPECT_EQ(texture_->Release(), 0u);
    DeviceFixture::TearDown();
  }

  void Fill(DWORD color) {
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture_->LockRect(0, &locked, nullptr, 0), D3D_OK);
    FillLocked(locked, color);
    ASSERT_EQ(texture_->UnlockRect(0), D3D_OK);
  }
  static void FillLocked(const D3DLOCKED_RECT& locked, DWORD color) {
    for (UINT y = 0; y < kTexH; ++y)
      std::fill_n(reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch), kTexW, color);
  }

  // Texels u0..u1 of every row one to one from (x, 100), on black.
  void Draw(float x, float u0, float u1, DWORD address = D3DTADDRESS_CLAMP) {
    device_->SetSamplerState(0, D3DSAMP_ADDRESSU, address);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1.0f, 0);
    const float w = (u1 - u0) * kTexW, du = 0.5f / kTexW, dv = 0.5f / kTexH;
    DrawTexturedQuad(x, 100, x + w, 100 + kTexH, u0 + du, dv, u1 + du, 1 + dv);
  }
  // Pixels of columns [x0, x1) of the drawn rows (or of rows [y0, y1)) that are not `expected`.
  int Wrong(int x0, int x1, DWORD expected, int y0 = 100, int y1 = 100 + int(kTexH)) {
    const auto pixels = Pixels();
    int wrong = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) wrong += pixels[y * kWidth + x] != expected;
    return wrong;
  }
  int Show(float u0, float u1, DWORD address, DWORD expected) {
    Draw(100, u0, u1, address);
    return Wrong(100, 100 + int((u1 - u0) * kTexW), expected);
  }

  IDirect3DTexture9* texture_ = nullptr;
};

TEST_F(PartialUploadTest, EveryDrawSeesTheNewestTexelsWhereverItLooks) {
  EXPECT_EQ(0, Show(0, 0.25f, D3DTADDRESS_CLAMP, 0xffff0000));
  Fill(0xff00ff00);
  EXPECT_EQ(0, Show(0, 0.25f, D3DTADDRESS_CLAMP, 0xff00ff00));
  EXPECT_EQ(0, Show(0.75f, 1, D3DTADDRESS_CLAMP, 0xff00ff00));  // a part not sampled since the rewrite
  Fill(0xff0000ff);
  EXPECT_EQ(0, Show(0.5f, 0.75f, D3DTADDRESS_CLAMP, 0xff0000ff));
  EXPECT_EQ(0, Show(0, 0.25f, D3DTADDRESS_CLAMP, 0xff0000ff));
  Fill(0xffffffff);
  EXPECT_EQ(0, Show(0, 0.25f, D3DTADDRESS_CLAMP, 0xffffffff));
  // Wrapping reaches the right edge from coordinates left of 0.
  EXPECT_EQ(0, Show(-0.25f, 0, D3DTADDRESS_WRAP, 0xffffffff));
  EXPECT_EQ(0, Show(0, 1, D3DTADDRESS_CLAMP, 0xffffffff));
}

// Only the part of a draw inside the scissor rectangle or the target is uploaded; the rest
// follows when another draw shows it.
TEST_F(PartialUploadTest, ScissoredAndOffScreenDrawsUploadWhatTheyShow) {
  EXPECT_EQ(0, Show(0, 1, D3DTADDRESS_CLAMP, 0xffff0000));
  Fill(0xff00ff00);
  device_->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
  for (const RECT& scissor : {RECT{100, 0, 164, 480}, RECT{292, 0, 356, 480}, RECT{180, 104, 200, 108}}) {
    device_->SetScissorRect(&scissor);
    Draw(100, 0, 1);
    EXPECT_EQ(0, Wrong(scissor.left, scissor.right, 0xff00ff00, std::max(100, int(scissor.top)),
                       std::min(100 + int(kTexH), int(scissor.bottom))))
        << scissor.left;
  }
  device_->SetRenderState(D3DRS_SCISSORTESTENABLE, FALSE);
  // Partly off the left edge, then partly off the right one.
  Fill(0xff0000ff);
  Draw(-200, 0, 1);
  EXPECT_EQ(0, Wrong(0, 56, 0xff0000ff));
  Draw(600, 0, 1);
  EXPECT_EQ(0, Wrong(600, 640, 0xff0000ff));
  EXPECT_EQ(0, Show(0, 1, D3DTADDRESS_CLAMP, 0xff0000ff));
}

// What the partial uploads copy: a rewritten texture seen through a small scissor costs about
// that part, and draws taking turns at two parts (two strings of one glyph texture) copy each
// at most once until the next rewrite.
TEST_F(PartialUploadTest, UploadsCopyOnlyWhatIsShownAndEachPartOnce) {
  EXPECT_EQ(0, Show(0, 1, D3DTADDRESS_CLAMP, 0xffff0000));
  const ULONGLONG whole = D3D9TestTexelsUploaded(texture_);
  EXPECT_EQ(ULONGLONG(kTexW) * kTexH, whole);
  Fill(0xff00ff00);
  device_->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
  const RECT lens{150, 0, 166, 480};
  device_->SetScissorRect(&lens);
  Draw(100, 0, 1);
  EXPECT_EQ(0, Wrong(150, 166, 0xff00ff00));
  EXPECT_LE(D3D9TestTexelsUploaded(texture_) - whole, ULONGLONG(16 + 6) * kTexH);
  device_->SetRenderState(D3DRS_SCISSORTESTENABLE, FALSE);
  ULONGLONG afterFirstTurn = 0;
  for (int turn = 0; turn < 3; ++turn) {
    EXPECT_EQ(0, Show(0, 0.25f, D3DTADDRESS_CLAMP, 0xff00ff00));
    EXPECT_EQ(0, Show(0.75f, 1, D3DTADDRESS_CLAMP, 0xff00ff00));
    if (turn == 0) afterFirstTurn = D3D9TestTexelsUploaded(texture_);
  }
  EXPECT_EQ(afterFirstTurn, D3D9TestTexelsUploaded(texture_));
}

// A texture's first draw copies what it shows, not the whole texture (a large picture seen
// through a lens), and a later draw of the rest copies the rest.
TEST_F(PartialUploadTest, TheFirstDrawCopiesOnlyWhatItShows) {
  device_->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
  const RECT lens{150, 0, 166, 480};
  device_->SetScissorRect(&lens);
  Draw(100, 0, 1);
  EXPECT_EQ(0, Wrong(150, 166, 0xffff0000));
  EXPECT_LE(D3D9TestTexelsUploaded(texture_), ULONGLONG(16 + 6) * kTexH);
  device_->SetRenderState(D3DRS_SCISSORTESTENABLE, FALSE);
  EXPECT_EQ(0, Show(0, 1, D3DTADDRESS_CLAMP, 0xffff0000));
}

// A draw that needs texels the GL copy lacks while another thread holds the lock waits for
// the writer, then shows what it wrote.
TEST_F(PartialUploadTest, ADrawWaitsForTheWriterWhenItNeedsTexelsNotYetUploaded) {
  // The latest picture reaches GL only in the left quarter; the rest holds the one before.
  Fill(0xff00ff00);
  EXPECT_EQ(0, Show(0, 0.25f, D3DTADDRESS_CLAMP, 0xff00ff00));
  Fill(0xffffff00);
  EXPECT_EQ(0, Show(0, 0.25f, D3DTADDRESS_CLAMP, 0xffffff00));
  std::mutex mutex;
  std::condition_variable changed;
  bool locked = false, drawing = false;
  std::thread writer([&] {
    D3DLOCKED_RECT rect;
    ASSERT_EQ(texture_->LockRect(0, &rect, nullptr, 0), D3D_OK);
    FillLocked(rect, 0xff0000ff);
    std::unique_lock lock(mutex);
    locked = true;
    changed.notify_all();
    changed.wait(lock, [&] { return drawing; });
    EXPECT_EQ(texture_->UnlockRect(0), D3D_OK);
  });
  {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return locked; });
    drawing = true;
    changed.notify_all();
  }
  EXPECT_EQ(0, Show(0.5f, 0.75f, D3DTADDRESS_CLAMP, 0xff0000ff));
  writer.join();
}
