#include "DeviceFixture.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace {
constexpr WCHAR kClassName[] = u"D3D9TestWindow";
}

void DeviceFixture::SetUp() {
  static const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kClassName;
    return RegisterClassW(&wc) != 0;
  }();
  ASSERT_TRUE(registered);
  window_ = CreateWindowExW(0, kClassName, u"d3d9 test", WS_OVERLAPPEDWINDOW, 0, 0, kWidth, kHeight, nullptr, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window_, nullptr);
  d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(d3d_, nullptr);
  D3DPRESENT_PARAMETERS params = Params();
  ASSERT_EQ(d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window_, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                               &params, &device_),
            D3D_OK);
}

void DeviceFixture::TearDown() {
  if (device_) {
    EXPECT_EQ(device_->Release(), 0u);
  }
  if (d3d_) d3d_->Release();
  if (window_) DestroyWindow(window_);
}

D3DPRESENT_PARAMETERS DeviceFixture::Params() const {
  D3DPRESENT_PARAMETERS params{};
  params.BackBufferWidth = kWidth;
  params.BackBufferHeight = kHeight;
  params.BackBufferFormat = D3DFMT_X8R8G8B8;
  params.BackBufferCount = 1;
  params.SwapEffect = D3DSWAPEFFECT_DISCARD;
  params.hDeviceWindow = window_;
  params.Windowed = TRUE;
  params.EnableAutoDepthStencil = TRUE;
  params.AutoDepthStencilFormat = D3DFMT_D24S8;
  params.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  return params;
}

std::vector<DWORD> DeviceFixture::Pixels() {
  UINT w = 0, h = 0;
  auto pixels = D3D9TestReadBackBuffer(device_, &w, &h);
  EXPECT_EQ(w, kWidth);
  EXPECT_EQ(h, kHeight);
  return pixels;
}

void DeviceFixture::DrawRect(float x, float y, float w, float h, D3DCOLOR color) {
  const ColorVertex v[6] = {{x, y, 0.5f, 1, color},     {x + w, y, 0.5f, 1, color}, {x, y + h, 0.5f, 1, color},
                            {x, y + h, 0.5f, 1, color}, {x + w, y, 0.5f, 1, color}, {x + w, y + h, 0.5f, 1, color}};
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  device_->SetTexture(0, nullptr);
  device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(ColorVertex)), D3D_OK);
  ASSERT_EQ(device_->EndScene(), D3D_OK);
}

void DeviceFixture::DrawTexturedQuad(float x0, float y0, float x1, float y1, float u0, float v0, float u1, float v1,
                                     D3DCOLOR color) {
  const TexturedVertex v[6] = {{x0, y0, 0.5f, 1, color, u0, v0}, {x1, y0, 0.5f, 1, color, u1, v0},
                               {x0, y1, 0.5f, 1, color, u0, v1}, {x0, y1, 0.5f, 1, color, u0, v1},
                               {x1, y0, 0.5f, 1, color, u1, v0}, {x1, y1, 0.5f, 1, color, u1, v1}};
  ASSERT_EQ(device_->BeginScene(), D3D_OK);
  device_->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
  EXPECT_EQ(device_->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, v, sizeof(TexturedVertex)), D3D_OK);
  ASSERT_EQ(device_->EndScene(), D3D_OK);
}

IDirect3DTexture9* DeviceFixture::MakeTexture(UINT w, UINT h, D3DFORMAT format, const std::vector<DWORD>& texels) {
  IDirect3DTexture9* texture = nullptr;
  EXPECT_EQ(device_->CreateTexture(w, h, 1, 0, format, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
  if (!texture) return nullptr;
  D3DLOCKED_RECT locked;
  EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
  for (UINT y = 0; y < h; ++y) std::memcpy(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch, &texels[y * w], w * 4);
  EXPECT_EQ(texture->UnlockRect(0), D3D_OK);
  return texture;
}

int ColorDistance(DWORD a, DWORD b) {
  int worst = 0;
  for (int shift = 0; shift < 32; shift += 8)
    worst = std::max(worst, std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)));
  return worst;
}

namespace {

// SDL video stays up for the whole test program, as it does for the whole run of the
// program: shutting X11 down and reopening it between tests fails now and then.
class VideoEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError(); }
  void TearDown() override { SDL_QuitSubSystem(SDL_INIT_VIDEO); }
};

[[maybe_unused]] ::testing::Environment* const kVideo = ::testing::AddGlobalTestEnvironment(new VideoEnvironment);

}  // namespace
