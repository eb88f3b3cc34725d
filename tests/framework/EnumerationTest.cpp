#include <gtest/gtest.h>

#include <algorithm>

#include "ScriptedDirect3D.h"
#include "framework/D3DEnumeration.h"
#include "framework/D3DSettings.h"
#include "framework/FrameworkCodes.h"
#include "platform/d3d9/d3d9.h"

namespace {

constexpr RECT kClient = {0, 0, 640, 480};

ScriptedAdapter DesktopAdapter() {
  ScriptedAdapter a;
  a.modes = {{1024, 768, 75, D3DFMT_X8R8G8B8},
             {640, 480, 60, D3DFMT_X8R8G8B8},
             {1024, 768, 60, D3DFMT_X8R8G8B8},
             {800, 600, 60, D3DFMT_R5G6B5},
             {320, 240, 60, D3DFMT_X8R8G8B8}};
  return a;
}

CD3DEnumeration Enumerate(ScriptedDirect3D& d3d, bool depth = true) {
  CD3DEnumeration e;
  e.AppUsesDepthBuffer = depth;
  e.SetD3D(&d3d);
  EXPECT_EQ(S_OK, e.Enumerate());
  return e;
}

}  // namespace

TEST(Enumeration, KeepsLargeEnoughModesSortedAndRecordsAdapterFormats) {
  ScriptedDirect3D d3d;
  d3d.adapters = {DesktopAdapter()};
  CD3DEnumeration e = Enumerate(d3d);
  ASSERT_EQ(1u, e.AdapterInfoList.size());
  const auto& modes = e.AdapterInfoList[0]->DisplayModes;
  ASSERT_EQ(4u, modes.size());  // 320x240 is below the minimum
  EXPECT_EQ(640u, modes[0].Width);
  EXPECT_EQ(800u, modes[1].Width);
  EXPECT_EQ(D3DFMT_X8R8G8B8, modes[2].Format);
  EXPECT_EQ(60u, modes[2].RefreshRate);  // same size and format: by refresh rate
  EXPECT_EQ(75u, modes[3].RefreshRate);
  // Combos exist for both adapter formats seen in the modes.
  std::set<D3DFORMAT> formats;
  for (auto& combo : e.AdapterInfoList[0]->DeviceInfos[0]->DeviceCombos) formats.insert(combo->AdapterFormat);
  EXPECT_EQ((std::set<D3DFORMAT>{D3DFMT_X8R8G8B8, D3DFMT_R5G6B5}), formats);
}

TEST(Enumeration, WindowedCombosNeverOfferIntervalsTwoToFour) {
  ScriptedDirect3D d3d;
  d3d.adapters = {DesktopAdapter()};
  CD3DEnumeration e = Enumerate(d3d);
  bool sawFullscreenTwo = false;
  for (auto& combo : e.AdapterInfoList[0]->DeviceInfos[0]->DeviceCombos) {
    const auto& in = combo->PresentIntervals;
    const bool hasTwo = std::find(in.begin(), in.end(), D3DPRESENT_INTERVAL_TWO) != in.end();
    if (combo->IsWindowed) {
      EXPECT_FALSE(hasTwo);
    }
    sawFullscreenTwo |= !combo->IsWindowed && hasTwo;
    EXPECT_EQ(D3DPRESENT_INTERVAL_IMMEDIATE, in.front());
  }
  EXPECT_TRUE(sawFullscreenTwo);
}

TEST(Enumeration, RequiredDepthBufferDropsCombosWithoutDepthFormats) {
  ScriptedDirect3D d3d;
  d3d.adapters = {DesktopAdapter()};
  d3d.adapters[0].depthFormats = {};
  CD3DEnumeration withDepth = Enumerate(d3d, true);
  EXPECT_TRUE(withDepth.AdapterInfoList.empty());
  CD3DEnumeration withoutDepth = Enumerate(d3d, false);
  EXPECT_EQ(1u, withoutDepth.AdapterInfoList.size());
}

TEST(Enumeration, VertexProcessingFollowsCapsAndTheAcceptanceFunction) {
  ScriptedDirect3D d3d;
  d3d.adapters = {DesktopAdapter()};
  d3d.adapters[0].devCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_PUREDEVICE;
  CD3DEnumeration e = Enumerate(d3d);
  EXPECT_EQ((std::vector<VertexProcessingType>{PURE_HARDWARE_VP, HARDWARE_VP, SOFTWARE_VP}),
            e.AdapterInfoList[0]->DeviceInfos[0]->DeviceCombos[0]->VertexProcessingTypes);

  CD3DEnumeration refusing;
  refusing.AppUsesDepthBuffer = true;
  refusing.ConfirmDeviceCallback = [](const D3DCAPS9*, VertexProcessingType, D3DFORMAT) { return false; };
  refusing.SetD3D(&d3d);
  ASSERT_EQ(S_OK, refusing.Enumerate());
  EXPECT_TRUE(refusing.AdapterInfoList.empty());
}

TEST(StartSettings, PrefersHalWindowedOnDesktopFormatAndDesktopFullscreenMode) {
  ScriptedDirect3D d3d;
  d3d.adapters = {DesktopAdapter()};
  d3d.adapters[0].deviceTypes = {D3DDEVTYPE_HAL, D3DDEVTYPE_REF};
  d3d.adapters[0].desktop = {1024, 768, 75, D3DFMT_X8R8G8B8};
  CD3DEnumeration e = Enumerate(d3d);
  CD3DSettings s;
  ASSERT_EQ(S_OK, ChooseStartSettings(&d3d, e, s, kClient, false));
  EXPECT_TRUE(s.IsWindowed);
  EXPECT_EQ(D3DDEVTYPE_HAL, s.Windowed.DeviceInfo->DevType);
  EXPECT_EQ(D3DFMT_X8R8G8B8, s.Windowed.DeviceCombo->BackBufferFormat);  // equals the adapter format
  EXPECT_EQ(640, s.WindowedWidth);
  EXPECT_EQ(480, s.WindowedHeight);
  EXPECT_EQ(D3DFMT_D16, s.Windowed.DepthStencilFormat);
  EXPECT_EQ(D3DDEVTYPE_HAL, s.Fullscreen.DeviceInfo->DevType);
  EXPECT_EQ(1024u, s.Fullscreen.DisplayMode.Width);
  EXPECT_EQ(75u, s.Fullscreen.DisplayMode.RefreshRate);  // the desktop's own mode

  ASSERT_EQ(S_OK, ChooseStartSettings(&d3d, e, s, kClient, true));
  EXPECT_FALSE(s.IsWindowed);
}

TEST(StartSettings, FullscreenFallsBackToLastModeOfDesktopWidthThenFirstMode) {
  ScriptedDirect3D d3d;
  d3d.adapters = {DesktopAdapter()};
  d3d.adapters[0].desktop = {1024, 768, 85, D3DFMT_X8R8G8B8};  // no mode has 85 Hz
  CD3DEnumeration e = Enumerate(d3d);
  CD3DSettings s;
  ASSERT_TRUE(FindBestFullscreenMode(&d3d, e, s));
  EXPECT_EQ(1024u, s.Fullscreen.DisplayMode.Width);
  EXPECT_EQ(75u, s.Fullscreen.DisplayMode.RefreshRate);

  d3d.adapters[0].desktop = {1280, 1024, 60, D3DFMT_X8R8G8B8};  // no mode of that width
  ASSERT_TRUE(FindBestFullscreenMode(&d3d, e, s));
  EXPECT_EQ(640u, s.Fullscreen.DisplayMode.Width);
}

TEST(StartSettings, PalettisedDesktopHasNoWindowedModeAndStartsFullscreen) {
  ScriptedDirect3D d3d;
  d3d.adapters = {DesktopAdapter()};
  d3d.adapters[0].desktop = {1024, 768, 60, D3DFMT_P8};
  CD3DEnumeration e = Enumerate(d3d);
  CD3DSettings s;
  EXPECT_FALSE(FindBestWindowedMode(&d3d, e, s, kClient, false));
  ASSERT_EQ(S_OK, ChooseStartSettings(&d3d, e, s, kClient, false));
  EXPECT_FALSE(s.IsWindowed);
}

TEST(StartSettings, NoAdaptersIsNoCompatibleDevices) {
  ScriptedDirect3D d3d;
  CD3DEnumeration e = Enumerate(d3d);
  CD3DSettings s;
  EXPECT_EQ(D3DAPPERR_NOCOMPATIBLEDEVICES, ChooseStartSettings(&d3d, e, s, kClient, false));
}

TEST(StartSettings, OnlyAReferenceDeviceTakesTheFirstMatchingCombo) {
  ScriptedDirect3D d3d;
  d3d.adapters = {DesktopAdapter()};
  d3d.adapters[0].deviceTypes = {D3DDEVTYPE_REF};
  CD3DEnumeration e = Enumerate(d3d);
  CD3DSettings s;
  ASSERT_TRUE(FindBestWindowedMode(&d3d, e, s, kClient, false));
  EXPECT_EQ(D3DDEVTYPE_REF, s.Windowed.DeviceInfo->DevType);
  // No HAL preference: the first windowed combo on the desktop format, A8R8G8B8 comes first.
  EXPECT_EQ(D3DFMT_A8R8G8B8, s.Windowed.DeviceCombo->BackBufferFormat);
  ASSERT_TRUE(FindBestWindowedMode(&d3d, e, s, kClient, true));
}

TEST(FormatNames, WithAndWithoutPrefix) {
  struct Case {
    D3DFORMAT format;
    bool prefix;
    const char16_t* name;
  } cases[] = {
      {D3DFMT_X8R8G8B8, true, u"D3DFMT_X8R8G8B8"},
      {D3DFMT_X8R8G8B8, false, u"X8R8G8B8"},
      {D3DFMT_D24S8, false, u"D24S8"},
      {D3DFMT_DXT5, true, u"D3DFMT_DXT5"},
      {static_cast<D3DFORMAT>(9999), false, u"Unknown format"},
  };
  for (const Case& c : cases) EXPECT_EQ(std::u16string(c.name), D3DFormatName(c.format, c.prefix));
}

TEST(Enumeration, RealAdaptersOfferAWindowedHalModeOnTheDesktop) {
  IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
  ASSERT_NE(nullptr, d3d);
  CD3DEnumeration e;
  e.AppUsesDepthBuffer = true;
  e.SetD3D(d3d);
  ASSERT_EQ(S_OK, e.Enumerate());
  ASSERT_FALSE(e.AdapterInfoList.empty());
  CD3DSettings s;
  ASSERT_EQ(S_OK, ChooseStartSettings(d3d, e, s, kClient, false));
  EXPECT_TRUE(s.IsWindowed);
  EXPECT_EQ(D3DDEVTYPE_HAL, s.Windowed.DeviceInfo->DevType);
  D3DDISPLAYMODE desktop{};
  ASSERT_EQ(S_OK, d3d->GetAdapterDisplayMode(0, &desktop));
  EXPECT_EQ(desktop.Format, s.Windowed.DeviceCombo->AdapterFormat);
  EXPECT_NE(D3DFMT_UNKNOWN, s.Windowed.DepthStencilFormat);
  // The fullscreen half takes the desktop's own mode.
  EXPECT_EQ(desktop.Width, s.Fullscreen.DisplayMode.Width);
  EXPECT_EQ(desktop.Height, s.Fullscreen.DisplayMode.Height);
  d3d->Release();
}
