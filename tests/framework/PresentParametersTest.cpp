#include <gtest/gtest.h>

#include "framework/D3DApplication.h"

namespace {

// The framework's present parameters for hand-made settings, without a window or device.
class PresentingApp : public CD3DApplication {
 public:
  PresentingApp() {
    m_combo.AdapterFormat = D3DFMT_X8R8G8B8;
    m_combo.BackBufferFormat = D3DFMT_A8R8G8B8;  // a back-buffer format other than the display's
    for (D3DModeSettings* mode : {&m_d3dSettings.Windowed, &m_d3dSettings.Fullscreen}) {
      mode->DeviceCombo = &m_combo;
      mode->PresentInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    }
    m_d3dSettings.Fullscreen.DisplayMode = {1024, 768, 75, D3DFMT_X8R8G8B8};
    m_rcWindowClient = {0, 0, 640, 480};
  }
  const D3DPRESENT_PARAMETERS& Build(bool windowed) {
    m_d3dSettings.IsWindowed = windowed;
    m_bWindowed = windowed;
    BuildPresentParameters();
    return m_d3dpp;
  }

 private:
  D3DDeviceCombo m_combo;
};

}  // namespace

TEST(PresentParameters, FullscreenTakesTheDisplayModeWindowedTheCombosBackBuffer) {
  PresentingApp app;
  const D3DPRESENT_PARAMETERS fullscreen = app.Build(false);
  EXPECT_FALSE(fullscreen.Windowed);
  EXPECT_EQ(1024u, fullscreen.BackBufferWidth);
  EXPECT_EQ(768u, fullscreen.BackBufferHeight);
  EXPECT_EQ(D3DFMT_X8R8G8B8, fullscreen.BackBufferFormat);
  EXPECT_EQ(75u, fullscreen.FullScreen_RefreshRateInHz);

  const D3DPRESENT_PARAMETERS windowed = app.Build(true);
  EXPECT_TRUE(windowed.Windowed);
  EXPECT_EQ(640u, windowed.BackBufferWidth);
  EXPECT_EQ(480u, windowed.BackBufferHeight);
  EXPECT_EQ(D3DFMT_A8R8G8B8, windowed.BackBufferFormat);
  EXPECT_EQ(0u, windowed.FullScreen_RefreshRateInHz);
}
