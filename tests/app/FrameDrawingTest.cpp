// The program's frame (background and player scene) drawn limited to the lens gives exactly the
// pixels of the same frame drawn unlimited, whatever the lens, zoom, lock and back-buffer size.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/MyD3DApplication.h"
#include "app/SceneManager.h"
#include "framework/FrameTimer.h"
#include "media/MovieSource.h"
#include "platform/d3d9/d3d9_testing.h"
#include "platform/win32/Paths.h"
#include "platform/win32/win32.h"
#include "scene/SceneGlobals.h"
#include "support/WaitUntil.h"
#include "ui/QoSceneTitle.h"

namespace {

class FrameApp : public CMyD3DApplication {
 public:
  // Re-creates the back buffer at another size through the framework's own reset path.
  HRESULT ResetBackBuffer(UINT width, UINT height) {
    m_d3dpp.BackBufferWidth = width;
    m_d3dpp.BackBufferHeight = height;
    return ResetDevice();
  }

  // The back buffer after one frame, drawn with or without the device's scissor limits. Every
  // pixel starts magenta, so nothing from an earlier frame can stand in for what the frame
  // leaves out.
  std::vector<DWORD> Frame(bool unlimited, UINT* width, UINT* height) {
    IDirect3DDevice9* device = Device();
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, FALSE);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFFFF00FF, 0.5f, 0);
    D3D9TestIgnoreScissor(device, unlimited);
    m_limitDrawing = !unlimited;
    DrawFrameUnpaced();
    m_limitDrawing = true;
    D3D9TestIgnoreScissor(device, false);
    return D3D9TestReadBackBuffer(device, width, height);
  }
};

struct View {
  int x, y;  // lens centre
  int zoom;
  bool locked;
  int zoomFramesLeft = 0;  // > 0: a zoom step is animating
};

const View kViews[] = {
    {320, 240, 100, false},    {10, 10, 23, false},    {-30, 200, 303, false},  {630, 470, 150, true},
    {700, 240, 100, false},    {320, -100, 100, true}, {-200, -200, 50, false}, {320, 460, 250, false},
    {620, 20, 303, true},      {200, 300, 23, true},   {64, 64, 107, false},    {576, 366, 93, true},
    {330, 250, 142, false, 6},
};

std::u16string Fixture(const char* name) {
  const char* dir = std::getenv("ORBELLE_SOURCE_DIR");
  const std::filesystem::path root = dir ? dir : ORBELLE_SOURCE_DIR_DEFAULT;
  return Win32FromNativePath((root / "tests" / "media" / "fixtures" / name).string());
}

void Apply(CQoSceneTitle& scene, const View& v) {
  scene.m_cursorX = v.x;
  scene.m_cursorY = v.y;
  scene.m_cameraLocked = v.locked;
  // Locked, the picture stays anchored where the lock happened, away from the lens.
  scene.m_anchorX = v.locked ? 300 : v.x;
  scene.m_anchorY = v.locked ? 220 : v.y;
  scene.m_pivotX = 70;
  scene.m_pivotY = 50;
  scene.m_zoom = v.zoom;
  scene.m_zoomFramesLeft = v.zoomFramesLeft;
  scene.m_zoomFrom = v.zoomFramesLeft > 0 ? v.zoom - ZOOM_STEP : -1;
  scene.m_zoomDelta = ZOOM_STEP;
}

int Differences(const std::vector<DWORD>& a, const std::vector<DWORD>& b, UINT width) {
  int count = 0;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (a[i] != b[i] && ++count <= 3)
      ADD_FAILURE() << "pixel " << i % width << "," << i / width << ": " << std::hex << a[i] << " unlimited, " << b[i]
                    << " limited";
  return count;
}

TEST(FrameDrawing, LimitedToTheLensEqualsUnlimitedPixelForPixel) {
  FrameApp app;
  ASSERT_EQ(S_OK, app.CreateApp(GetModuleHandleW(nullptr)));
  ASSERT_TRUE(g_sceneManager && g_sceneManager->m_currentScene);
  auto& scene = *static_cast<CQoSceneTitle*>(g_sceneManager->m_currentScene);
  AppFrameTimer().Stop();  // the background stands still between the two drawings
  const struct {
    UINT width, height;
    const char* picture;  // null: the welcome picture
  } targets[] = {{640, 480, nullptr}, {640, 480, "pattern.bmp"}, {1024, 768, "pattern.bmp"}, {320, 240, nullptr}};
  for (const auto& target : targets) {
    if (target.width != app.BackBufferDesc().Width || target.height != app.BackBufferDesc().Height) {
      ASSERT_EQ(S_OK, app.ResetBackBuffer(target.width, target.height));
    }
    if (target.picture) scene.OpenMedia(Fixture(target.picture));
    ASSERT_NE(nullptr, scene.m_media);
    // The picture reaches its texture on the streaming thread; compare only once two frames in a
    // row come out the same.
    Apply(scene, kViews[0]);
    UINT w = 0, h = 0;
    std::vector<DWORD> previous, current = app.Frame(true, &w, &h);
    WaitUntil(
        [&] {
          if (scene.m_media->GetFramesRendered() > 0 && current == previous) return true;
          previous = std::move(current);
          current = app.Frame(true, &w, &h);
          return false;
        },
        20000, 10);
    ASSERT_EQ(previous, current) << "the picture never settled";
    for (const View& v : kViews) {
      SCOPED_TRACE(testing::Message() << target.width << "x" << target.height << ", lens " << v.x << "," << v.y
                                      << ", zoom " << v.zoom << (v.locked ? ", locked" : ""));
      Apply(scene, v);
      const std::vector<DWORD> unlimited = app.Frame(true, &w, &h);
      ASSERT_EQ(target.width, w);
      ASSERT_EQ(target.height, h);
      const std::vector<DWORD> limited = app.Frame(false, &w, &h);
      EXPECT_EQ(0, Differences(unlimited, limited, w));
    }
  }
  AppFrameTimer().Start();
  SendMessageW(app.MainWindow(), WM_CLOSE, 0, 0);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

}  // namespace
