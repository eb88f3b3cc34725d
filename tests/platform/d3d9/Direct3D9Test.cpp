// The Direct3D object on SDL's displays: version check, adapters, modes, format checks, caps
// and device creation failures.
#include <gtest/gtest.h>

#include "platform/d3d9/d3d9.h"
#include "platform/win32/win32.h"

namespace {

class Direct3D9Test : public ::testing::Test {
 protected:
  void SetUp() override {
    d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(d3d_, nullptr);
  }
  void TearDown() override { EXPECT_EQ(d3d_->Release(), 0u); }
  IDirect3D9* d3d_ = nullptr;
};

TEST(Direct3DCreate9Test, OtherSdkVersionGivesNull) {
  EXPECT_EQ(Direct3DCreate9(D3D_SDK_VERSION - 1), nullptr);
}

TEST_F(Direct3D9Test, AdaptersAndModesComeFromTheDisplay) {
  ASSERT_GE(d3d_->GetAdapterCount(), 1u);
  D3DADAPTER_IDENTIFIER9 id;
  ASSERT_EQ(d3d_->GetAdapterIdentifier(0, 0, &id), D3D_OK);
  EXPECT_NE(id.Description[0], '\0');
  D3DDISPLAYMODE desktop;
  ASSERT_EQ(d3d_->GetAdapterDisplayMode(0, &desktop), D3D_OK);
  EXPECT_EQ(desktop.Format, D3DFMT_X8R8G8B8);  // the test display is 24-bit
  EXPECT_GT(desktop.Width, 0u);
  // The desktop mode is among the enumerated ones, and enumeration stops at the count.
  const UINT count = d3d_->GetAdapterModeCount(0, D3DFMT_X8R8G8B8);
  ASSERT_GE(count, 1u);
  bool found = false;
  for (UINT i = 0; i < count; ++i) {
    D3DDISPLAYMODE mode;
    ASSERT_EQ(d3d_->EnumAdapterModes(0, D3DFMT_X8R8G8B8, i, &mode), D3D_OK);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    found |= mode.Width == desktop.Width && mode.Height == desktop.Height;
  }
  EXPECT_TRUE(found);
  D3DDISPLAYMODE mode;
  EXPECT_EQ(d3d_->EnumAdapterModes(0, D3DFMT_X8R8G8B8, count, &mode), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d_->GetAdapterModeCount(0, D3DFMT_A2R10G10B10), 0u);
  const UINT past = d3d_->GetAdapterCount();
  EXPECT_EQ(d3d_->GetAdapterDisplayMode(past, &mode), D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d_->GetAdapterIdentifier(past, 0, &id), D3DERR_INVALIDCALL);
}

TEST_F(Direct3D9Test, OnlyTheHalDeviceHasCaps) {
  D3DCAPS9 caps;
  ASSERT_EQ(d3d_->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
  EXPECT_TRUE(caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT);
  EXPECT_FALSE(caps.DevCaps & D3DDEVCAPS_PUREDEVICE);
  EXPECT_EQ(caps.PresentationIntervals, D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE);
  EXPECT_GE(caps.MaxTextureWidth, 2048u);
  EXPECT_EQ(d3d_->GetDeviceCaps(0, D3DDEVTYPE_REF, &caps), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d_->GetDeviceCaps(0, D3DDEVTYPE_SW, &caps), D3DERR_NOTAVAILABLE);
}

TEST_F(Direct3D9Test, FormatChecks) {
  struct TypeCase {
    D3DFORMAT adapter, backBuffer;
    BOOL windowed;
    HRESULT expected;
  } types[] = {
      {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, TRUE, D3D_OK},
      {D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, FALSE, D3D_OK},
      {D3DFMT_R5G6B5, D3DFMT_X8R8G8B8, TRUE, D3D_OK},
      {D3DFMT_X1R5G5B5, D3DFMT_A8R8G8B8, FALSE, D3D_OK},
      {D3DFMT_A2R10G10B10, D3DFMT_A8R8G8B8, FALSE, D3DERR_NOTAVAILABLE},
      {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, TRUE, D3DERR_NOTAVAILABLE},
  };
  for (const TypeCase& c : types)
    EXPECT_EQ(d3d_->CheckDeviceType(0, D3DDEVTYPE_HAL, c.adapter, c.backBuffer, c.windowed), c.expected)
        << c.adapter << " " << c.backBuffer;
  EXPECT_EQ(d3d_->CheckDeviceType(0, D3DDEVTYPE_REF, D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8, TRUE), D3DERR_NOTAVAILABLE);

  struct DepthCase {
    D3DFORMAT format;
    HRESULT expected;
  } depths[] = {{D3DFMT_D16, D3D_OK},
                {D3DFMT_D24X8, D3D_OK},
                {D3DFMT_D24S8, D3D_OK},
                {D3DFMT_D32, D3D_OK},
                {D3DFMT_D15S1, D3DERR_NOTAVAILABLE},
                {D3DFMT_D24X4S4, D3DERR_NOTAVAILABLE}};
  for (const DepthCase& c : depths) {
    EXPECT_EQ(
        d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, c.format),
        c.expected)
        << c.format;
    EXPECT_EQ(d3d_->CheckDepthStencilMatch(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8, c.format), c.expected);
  }
  EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8), D3D_OK);
  EXPECT_EQ(d3d_->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_DXT1),
            D3DERR_NOTAVAILABLE);

  DWORD quality = 0;
  EXPECT_EQ(d3d_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_A8R8G8B8, TRUE, D3DMULTISAMPLE_NONE, &quality),
            D3D_OK);
  EXPECT_EQ(quality, 1u);
  EXPECT_EQ(
      d3d_->CheckDeviceMultiSampleType(0, D3DDEVTYPE_HAL, D3DFMT_A8R8G8B8, TRUE, D3DMULTISAMPLE_2_SAMPLES, &quality),
      D3DERR_NOTAVAILABLE);
}

TEST_F(Direct3D9Test, CreateDeviceRefusesWhatItCannotDrive) {
  D3DPRESENT_PARAMETERS params{};
  params.BackBufferFormat = D3DFMT_X8R8G8B8;
  params.Windowed = TRUE;
  IDirect3DDevice9* device = reinterpret_cast<IDirect3DDevice9*>(1);
  // No window at all, and a handle that is no window.
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, &params, &device), D3DERR_INVALIDCALL);
  EXPECT_EQ(device, nullptr);
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, reinterpret_cast<HWND>(&params), 0, &params, &device),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_REF, nullptr, 0, &params, &device), D3DERR_NOTAVAILABLE);
  EXPECT_EQ(d3d_->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0, nullptr, &device), D3DERR_INVALIDCALL);
}

}  // namespace
