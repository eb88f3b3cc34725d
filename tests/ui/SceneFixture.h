// The player scene on a real 640 x 480 device with the shared objects it reads: the start-up
// textures from the built image folder, the quad batch, the UI font and an input object whose
// fields the test sets as a poll would. Message boxes are captured, not shown.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "input/InputDevices.h"
#include "media/MovieSource.h"
#include "platform/win32/Paths.h"
#include "platform/win32/win32.h"
#include "scene/FontSet.h"
#include "scene/SceneGlobals.h"
#include "scene/TextureTable.h"
#include "support/BuildPaths.h"
#include "support/TestDevice.h"
#include "support/WaitUntil.h"
#include "ui/QoSceneTitle.h"
#include "ui/QuadBatch.h"

inline std::u16string WinPath(const std::filesystem::path& native) {
  return Win32FromNativePath(native.string());
}
inline std::u16string MediaFixture(const char* name) {
  return WinPath(SourceDir() / "tests" / "media" / "fixtures" / name);
}

class SceneFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(nullptr, device.get()) << "no Direct3D device (is DISPLAY set?)";
    previousHook = SetMessageBoxHook([this](HWND, std::u16string_view text, std::u16string_view, UINT) {
      boxes.emplace_back(text);
      return IDOK;
    });
    g_device = device.get();
    g_screenWidth = 640;
    g_screenHeight = 480;
    g_textures = new CTextureTable(device.get());
    const char* images[] = {"font.png", "orbelle.png", "lensBack.png", "menu.png"};
    for (int slot = 0; slot < 4; ++slot)
      g_textures->LoadTextureIntoSlot(WinPath(BinDir() / "image" / images[slot]).c_str(), slot);
    ASSERT_NE(nullptr, g_textures->GetSlotTexture(TEXID_MENU)) << "images not built";
    CreateQuadBatch(device.get());
    fontFile = WinPath(BinDir() / "font" / "cinecaption2.24.TTF");
    AddFontResourceW(fontFile.c_str());
    g_uiFont = new FontSet();
    g_uiFont->Create(device.get());
    g_input = new CInputDevices(nullptr);
    MovePointer(320, 240);
  }
  void TearDown() override {
    scene.reset();
    delete g_input;
    g_input = nullptr;
    delete g_uiFont;
    g_uiFont = nullptr;
    RemoveFontResourceW(fontFile.c_str());
    DestroyQuadBatch();
    delete g_textures;
    g_textures = nullptr;
    g_device = nullptr;
    SetMessageBoxHook(previousHook);
  }

  // A scene after Init, with the pictures beside the built program (the test program's own
  // folder has none) and the welcome picture open.
  CQoSceneTitle& StartScene() {
    scene = std::make_unique<CQoSceneTitle>();
    scene->Init(0);
    scene->m_programFolder = WinPath(BinDir());
    scene->OpenMedia(scene->m_programFolder + WELCOME_PICTURE);
    boxes.clear();
    return *scene;
  }

  // One poll: the pointer, the wheel and the mouse buttons (left, right) now; the previous
  // buttons are those of the last poll.
  void MovePointer(int x, int y) { Poll(x, y, 0, held[0], held[1]); }
  void Poll(int x, int y, int wheel, bool left, bool right) {
    g_input->m_prevMouseButtons[0] = held[0];
    g_input->m_prevMouseButtons[1] = held[1];
    held[0] = left;
    held[1] = right;
    g_input->m_mouseButtons[0] = left;
    g_input->m_mouseButtons[1] = right;
    g_input->m_pointerX = x;
    g_input->m_pointerY = y;
    g_input->m_wheel = wheel;
  }
  // A poll followed by the scene's update.
  void Frame(int x, int y, int wheel = 0, bool left = false, bool right = false) {
    Poll(x, y, wheel, left, right);
    scene->Update();
  }

  // Draws the scene as a frame does (cleared to white first) and reads the back buffer.
  std::vector<DWORD> DrawScene() {
    device.get()->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
    device.get()->BeginScene();
    device.get()->SetRenderState(D3DRS_ZENABLE, FALSE);
    scene->Draw();
    device.get()->EndScene();
    UINT width = 0;
    std::vector<DWORD> pixels = device.ReadBack(&width);
    EXPECT_EQ(640u, width);
    return pixels;
  }
  static DWORD At(const std::vector<DWORD>& pixels, int x, int y) { return pixels[y * 640 + x] & 0xFFFFFF; }

  TestDevice device{640, 480};
  std::unique_ptr<CQoSceneTitle> scene;
  std::vector<std::u16string> boxes;
  bool held[2] = {false, false};

 private:
  MessageBoxHook previousHook;
  std::u16string fontFile;
};
