// Device lifetime: lost and reset, reference counts, scene pairing and argument checks.
#include <atomic>
#include <thread>

#include "support/DeviceFixture.h"

namespace {

using DeviceLifetimeTest = DeviceFixture;

constexpr DWORD kTexels[4] = {0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffffff};

void SetPointSampling(IDirect3DDevice9* device) {
  device->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
  device->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
}

TEST_F(DeviceLifetimeTest, LostDeviceResetKeepsManagedTextureContent) {
  IDirect3DTexture9* texture = MakeTexture(2, 2, D3DFMT_A8R8G8B8, {kTexels, kTexels + 4});
  auto drawAndCheck = [&] {
    device_->SetTexture(0, texture);
    SetPointSampling(device_);
    device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1.0f, 0);
    DrawTexturedQuad(0, 0, 2, 2, 0.25f, 0.25f, 1.25f, 1.25f);
    const auto pixels = Pixels();
    EXPECT_EQ(pixels[0], kTexels[0]);
    EXPECT_EQ(pixels[1], kTexels[1]);
    EXPECT_EQ(pixels[kWidth], kTexels[2]);
    EXPECT_EQ(pixels[kWidth + 1], kTexels[3]);
  };
  drawAndCheck();
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

  D3D9TestSetDeviceLost(device_);
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_DEVICELOST);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICELOST);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3DERR_DEVICENOTRESET);
  D3DPRESENT_PARAMETERS params = Params();
  ASSERT_EQ(device_->Reset(&params), D3D_OK);
  EXPECT_EQ(device_->TestCooperativeLevel(), D3D_OK);
  // Reset returns every state to its default, the texture binding included.
  DWORD lighting = 0;
  device_->GetRenderState(D3DRS_LIGHTING, &lighting);
  EXPECT_EQ(lighting, DWORD(TRUE));
  drawAndCheck();
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
  device_->SetTexture(0, nullptr);
  EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(DeviceLifetimeTest, ResetResizesTheBackBuffer) {
  D3DPRESENT_PARAMETERS params = Params();
  params.BackBufferWidth = 200;
  params.BackBufferHeight = 100;
  ASSERT_EQ(device_->Reset(&params), D3D_OK);
  IDirect3DSurface9* back = nullptr;
  ASSERT_EQ(device_->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
  D3DSURFACE_DESC desc;
  ASSERT_EQ(back->GetDesc(&desc), D3D_OK);
  EXPECT_EQ(desc.Width, 200u);
  EXPECT_EQ(desc.Height, 100u);
  EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
  EXPECT_EQ(back->Release(), 0u);
  // The pixel-centre rule follows the new size.
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1.0f, 0);
  DrawRect(199, 99, 1, 1, 0xffffffff);
  UINT w = 0, h = 0;
  const auto pixels = D3D9TestReadBackBuffer(device_, &w, &h);
  ASSERT_EQ(w * h, 200u * 100u);
  EXPECT_EQ(pixels.back(), 0xffffffffu);
  EXPECT_EQ(pixels[pixels.size() - 2], 0xff000000u);
}

TEST_F(DeviceLifetimeTest, HeldResourcesKeepTheDeviceCountAboveZero) {
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
  IDirect3DVertexBuffer9* buffer = nullptr;
  ASSERT_EQ(device_->CreateVertexBuffer(60, D3DUSAGE_WRITEONLY, 0x102, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
  device_->SetTexture(0, texture);
  device_->SetStreamSource(0, buffer, 0, 20);
  IDirect3DDevice9* owner = nullptr;
  ASSERT_EQ(texture->GetDevice(&owner), D3D_OK);
  EXPECT_EQ(owner, device_);
  EXPECT_EQ(owner->Release(), 3u);  // ours, the texture's, the buffer's
  EXPECT_EQ(buffer->Release(), 0u);
  EXPECT_EQ(device_->Release(), 1u);  // the leak that the framework reports
  // The texture still works with the device it keeps alive, and releasing it ends both.
  D3DSURFACE_DESC desc;
  EXPECT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
  EXPECT_EQ(desc.Width, 8u);
  device_ = nullptr;
  EXPECT_EQ(texture->Release(), 0u);
}

TEST_F(DeviceLifetimeTest, TextureReleasedOnAnotherThreadIsDestroyedByTheDevice) {
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
  device_->SetTexture(0, texture);
  std::thread([texture] { texture->Release(); }).join();
  // The binding is dropped before the next draw uses it; the count settles on our reference.
  DrawTexturedQuad(0, 0, 4, 4, 0, 0, 1, 1);
  EXPECT_EQ(Pixels()[0], 0xffffffffu);  // no texture: white
  device_->AddRef();
  EXPECT_EQ(device_->Release(), 1u);
}

TEST_F(DeviceLifetimeTest, SceneAndArgumentChecks) {
  EXPECT_EQ(device_->EndScene(), D3DERR_INVALIDCALL);
  const ColorVertex tri[3] = {};
  device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ColorVertex)), D3DERR_INVALIDCALL);
  // Two begin/end pairs in one frame, as the background and the scene make them.
  for (int pair = 0; pair < 2; ++pair) {
    ASSERT_EQ(device_->BeginScene(), D3D_OK);
    EXPECT_EQ(device_->BeginScene(), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(ColorVertex)), D3D_OK);
    EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, 4), D3DERR_INVALIDCALL);  // stride too short
    ASSERT_EQ(device_->EndScene(), D3D_OK);
  }
  EXPECT_EQ(device_->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);

  // A draw that would read past the end of the vertex buffer is refused.
  IDirect3DVertexBuffer9* buffer = nullptr;
  ASSERT_EQ(device_->CreateVertexBuffer(3 * 20, D3DUSAGE_WRITEONLY, 0x102, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
  device_->SetFVF(0x102);
  device_->SetStreamSource(0, buffer, 0, 20);
  device_->BeginScene();
  EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK);
  EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 1), D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3DERR_INVALIDCALL);
  device_->EndScene();
  void* data = nullptr;
  EXPECT_EQ(buffer->Lock(40, 40, &data, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(buffer->Release(), 0u);

  // Textures: sizes, formats and lock rectangles.
  IDirect3DTexture9* texture = nullptr;
  EXPECT_EQ(device_->CreateTexture(0, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->CreateTexture(100000, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(device_->CreateTexture(8, 8, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &texture, nullptr), D3DERR_INVALIDCALL);
  ASSERT_EQ(device_->CreateTexture(8, 4, 0, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
  EXPECT_EQ(texture->GetLevelCount(), 1u);
  D3DLOCKED_RECT locked;
  const RECT outside{4, 0, 9, 4};
  EXPECT_EQ(texture->LockRect(0, &locked, &outside, 0), D3DERR_INVALIDCALL);
  EXPECT_EQ(texture->LockRect(1, &locked, nullptr, 0), D3DERR_INVALIDCALL);
  ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
  EXPECT_GE(locked.Pitch, 16);
  EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3DERR_INVALIDCALL);  // already locked
  EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
  EXPECT_EQ(texture->UnlockRect(0), D3DERR_INVALIDCALL);
  IDirect3DSurface9* level = nullptr;
  ASSERT_EQ(texture->GetSurfaceLevel(0, &level), D3D_OK);
  D3DSURFACE_DESC desc;
  ASSERT_EQ(level->GetDesc(&desc), D3D_OK);
  EXPECT_EQ(desc.Format, D3DFMT_R5G6B5);
  EXPECT_EQ(desc.Pool, D3DPOOL_MANAGED);
  EXPECT_EQ(level->Release(), 0u);
  EXPECT_EQ(texture->Release(), 0u);
}

// A streaming thread rewrites an X8R8G8B8 texture frame after frame while this thread draws
// with it. Run under ThreadSanitizer, this shows the two never touch the bytes at once.
TEST_F(DeviceLifetimeTest, TextureWrittenFromAnotherThreadWhileDrawing) {
  constexpr UINT kSize = 32;
  constexpr DWORD kFrames = 200;
  IDirect3DTexture9* texture = nullptr;
  ASSERT_EQ(device_->CreateTexture(kSize, kSize, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
  // Alpha blending is on: an X8 texel's unused top byte (0 here) must read as opaque.
  device_->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
  device_->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
  device_->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
  device_->SetTexture(0, texture);
  SetPointSampling(device_);
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (DWORD frame = 1; frame <= kFrames; ++frame) {
      D3DLOCKED_RECT locked;
      if (texture->LockRect(0, &locked, nullptr, 0) != D3D_OK) continue;
      for (UINT y = 0; y < kSize; ++y) {
        auto* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch);
        for (UINT x = 0; x < kSize; ++x) row[x] = frame << 8 | y;  // alpha byte left 0
      }
      texture->UnlockRect(0);
    }
    done = true;
  });
  while (!done) {
    DrawTexturedQuad(0, 0, kSize, kSize, 0, 0, 1, 1);
    device_->Present(nullptr, nullptr, nullptr, nullptr);
  }
  writer.join();
  device_->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000, 1.0f, 0);
  DrawTexturedQuad(-0.5f, -0.5f, kSize - 0.5f, kSize - 0.5f, 0, 0, 1, 1);
  const auto pixels = Pixels();
  EXPECT_EQ(pixels[0], 0xff000000u | kFrames << 8);
  EXPECT_EQ(pixels[(kSize - 1) * kWidth + kSize - 1], 0xff000000u | kFrames << 8 | (kSize - 1));
  device_->SetTexture(0, nullptr);
  EXPECT_EQ(texture->Release(), 0u);
}

}  // namespace
