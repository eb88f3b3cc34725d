// The scene manager's start and stop on a real device, in the program's data folder.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "app/SceneManager.h"
#include "platform/d3dx9/Font.h"
#include "platform/d3dx9/d3dx9.h"
#include "platform/win32/win32.h"
#include "scene/FontSet.h"
#include "scene/SceneGlobals.h"
#include "scene/TextureTable.h"
#include "support/TempDir.h"
#include "support/TestDevice.h"
#include "ui/QuadBatch.h"

namespace fs = std::filesystem;

namespace {

// Runs each test in the build's program folder, where image\ and font\ are.
class SceneManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous = fs::current_path();
    fs::current_path(ORBELLE_BIN_DIR_DEFAULT);
    ASSERT_NE(nullptr, device.get());
  }
  void TearDown() override { fs::current_path(previous); }

  fs::path previous;
  TestDevice device{640, 480};
};

}  // namespace

TEST_F(SceneManagerTest, StartBuildsTheSharedObjectsAndStopClearsThem) {
  CSceneManager manager;
  manager.StartSceneManager(device.get(), nullptr);
  EXPECT_EQ(device.get(), g_device);
  EXPECT_EQ(640, g_screenWidth);
  EXPECT_EQ(480, g_screenHeight);
  ASSERT_NE(nullptr, g_textures);
  for (int slot : {TEXID_FONT, TEXID_ORBELLE, TEXID_LENSBACK, TEXID_MENU})
    EXPECT_NE(nullptr, g_textures->GetSlotTexture(slot)) << "slot " << slot;
  EXPECT_NE(nullptr, g_quadBatch);
  EXPECT_NE(nullptr, g_input);
  EXPECT_NE(nullptr, g_sound);
  EXPECT_NE(nullptr, g_background);
  ASSERT_NE(nullptr, g_uiFont);
  ASSERT_NE(nullptr, g_uiFont->m_font);
  EXPECT_NE(nullptr, g_uiFont->m_sprite);
  EXPECT_EQ(1, manager.m_queueIndex);          // the first queue entry has been taken
  EXPECT_NE(nullptr, manager.m_currentScene);  // the player

  manager.StopSceneManager();
  EXPECT_EQ(nullptr, manager.m_currentScene);
  EXPECT_EQ(nullptr, g_textures);
  EXPECT_EQ(nullptr, g_uiFont);
  EXPECT_EQ(nullptr, g_sound);
  EXPECT_EQ(nullptr, g_background);
  EXPECT_EQ(nullptr, g_input);
  EXPECT_EQ(nullptr, g_quadBatch);
  EXPECT_EQ(device.get(), g_device);  // the device stays recorded
}

TEST_F(SceneManagerTest, TheUiFontComesFromTheRegisteredFileAndDrawsJapanese) {
  CSceneManager manager;
  manager.StartSceneManager(device.get(), nullptr);
  ASSERT_NE(nullptr, g_uiFont);
  ASSERT_NE(nullptr, g_uiFont->m_font);
  auto* font = static_cast<d3dx::Font*>(g_uiFont->m_font);
  EXPECT_EQ(fs::canonical("font/cinecaption2.24.TTF"), fs::canonical(font->facePath()));

  IDirect3DDevice9* d = device.get();
  d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
  ASSERT_EQ(S_OK, d->BeginScene());
  RECT rc = {10, 10, 300, 40};
  g_uiFont->m_sprite->Begin(D3DXSPRITE_ALPHABLEND | D3DXSPRITE_SORT_TEXTURE);
  g_uiFont->m_font->DrawTextW(g_uiFont->m_sprite, u"カメラ固定：オフ", -1, &rc, DT_LEFT | DT_TOP, 0xFFFFFFFF);
  g_uiFont->m_sprite->End();
  d->EndScene();
  UINT width = 0;
  const std::vector<DWORD> pixels = device.ReadBack(&width);
  // Eight full-width characters of a 16-pixel font: ink spread over about 128 pixels, none outside.
  int ink = 0, outside = 0, minX = 640, maxX = 0;
  for (UINT y = 0; y < 480; ++y) {
    for (UINT x = 0; x < width; ++x) {
      if ((pixels[y * width + x] & 0xFFFFFF) < 0x404040) continue;
      if (x >= 10 && x < 300 && y >= 10 && y < 40) {
        ++ink;
        minX = std::min<int>(minX, x);
        maxX = std::max<int>(maxX, x);
      } else {
        ++outside;
      }
    }
  }
  EXPECT_GT(ink, 200);
  EXPECT_EQ(0, outside);
  EXPECT_GE(maxX - minX, 100);
  manager.StopSceneManager();
}

TEST_F(SceneManagerTest, AMissingImageLeavesOnlyItsSlotEmpty) {
  // A data folder of its own without lensBack.png; the build's folder is shared with other tests.
  const TempDir temp("orbelle_scene");
  const fs::path& data = temp.path();
  fs::create_directories(data / "image");
  for (const char* name : {"font.png", "orbelle.png", "menu.png"})
    fs::create_symlink(fs::absolute("image") / name, data / "image" / name);
  fs::create_directory_symlink(fs::absolute("font"), data / "font");
  fs::current_path(data);
  CSceneManager manager;
  manager.StartSceneManager(device.get(), nullptr);
  EXPECT_NE(nullptr, g_textures->GetSlotTexture(TEXID_FONT));
  EXPECT_NE(nullptr, g_textures->GetSlotTexture(TEXID_ORBELLE));
  EXPECT_EQ(nullptr, g_textures->GetSlotTexture(TEXID_LENSBACK));
  EXPECT_NE(nullptr, g_textures->GetSlotTexture(TEXID_MENU));
  manager.StopSceneManager();
  fs::current_path(previous);
}

TEST_F(SceneManagerTest, AdvancingPastTheQueueLeavesNoSceneAndStaysInBounds) {
  CSceneManager manager;
  manager.StartSceneManager(device.get(), nullptr);
  for (int i = 0; i < SCENE_QUEUE_LENGTH + 4; ++i) manager.AdvanceScene();
  EXPECT_EQ(nullptr, manager.m_currentScene);
  EXPECT_EQ(SCENE_QUEUE_LENGTH, manager.m_queueIndex);
  manager.StopSceneManager();
}
