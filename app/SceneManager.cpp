#include "app/SceneManager.h"

#include <utility>

#include "background/MoireScreensaver.h"
#include "input/InputDevices.h"
#include "platform/win32/win32.h"
#include "scene/FontSet.h"
#include "scene/QoScene.h"
#include "scene/SceneGlobals.h"
#include "scene/TextureTable.h"
#include "sound/SoundRegistry.h"
#include "ui/QoSceneTitle.h"
#include "ui/QuadBatch.h"

CSceneManager* g_sceneManager = nullptr;

namespace {

constexpr const char16_t* kStartupImages[] = {u"image\\font.png", u"image\\orbelle.png", u"image\\lensBack.png",
                                              u"image\\menu.png"};
constexpr const char16_t* kUiFontFile = u".\\font\\cinecaption2.24.TTF";
constexpr const char16_t* kSymbolFontFile = u".\\font\\FAMania2.6.TTF";

// Scenes by id; ids without a scene give none.
CQoScene* CreateScene(int id) {
  switch (id) {
    case SCENE_ID_TITLE:
      return new CQoSceneTitle();
    default:
      return nullptr;
  }
}

}  // namespace

void CSceneManager::StartSceneManager(IDirect3DDevice9* device, HWND window, std::u16string startFile) {
  m_startFile = std::move(startFile);
  m_device = device;
  m_window = window;

  g_hWnd = window;
  g_hInstance = GetModuleHandleW(nullptr);
  g_device = device;
  g_screenWidth = 640;
  g_screenHeight = 480;

  g_textures = new CTextureTable(device);
  for (int slot = 0; slot < 4; ++slot) g_textures->LoadTextureIntoSlot(kStartupImages[slot], slot);

  CreateQuadBatch(device);

  g_input = new CInputDevices(device);
  g_input->InitInput(g_hInstance, g_hWnd);

  AddFontResourceW(kUiFontFile);
  AddFontResourceW(kSymbolFontFile);

  g_uiFont = new FontSet();
  g_uiFont->Create(device);

  g_sound = new CSoundRegistry();
  g_sound->Init(g_hWnd);

  g_background = new CMoireScreensaver(device, window);

  for (int& id : m_sceneQueue) id = 0;
  m_sceneQueue[0] = SCENE_ID_TITLE;
  m_queueIndex = 0;
  AdvanceScene();
}

void CSceneManager::AdvanceScene() {
  if (m_currentScene) {
    delete m_currentScene;
    m_currentScene = nullptr;
  }
  // Past the end of the queue there is no further scene.
  const int id = m_queueIndex < SCENE_QUEUE_LENGTH ? m_sceneQueue[m_queueIndex] : 0;
  m_currentScene = CreateScene(id);
  if (auto* player = dynamic_cast<CQoSceneTitle*>(m_currentScene); player && !m_startFile.empty())
    player->SetStartFile(std::exchange(m_startFile, {}));
  if (m_currentScene) m_currentScene->Init(0);
  if (m_queueIndex < SCENE_QUEUE_LENGTH) ++m_queueIndex;
}

bool CSceneManager::OpenFile(const std::u16string& path) {
  auto* player = dynamic_cast<CQoSceneTitle*>(m_currentScene);
  return player && player->OpenNamedFile(path);
}

bool CSceneManager::QueueCommand(WORD command) {
  auto* player = dynamic_cast<CQoSceneTitle*>(m_currentScene);
  return player && player->QueueCommand(command);
}

void CSceneManager::StopSceneManager() {
  if (m_currentScene) {
    delete m_currentScene;
    m_currentScene = nullptr;
  }
  if (g_textures) {
    delete g_textures;  // releases every texture it holds
    g_textures = nullptr;
  }
  if (g_uiFont) {
    delete g_uiFont;  // sprite, then font
    g_uiFont = nullptr;
  }
  RemoveFontResourceW(kUiFontFile);
  RemoveFontResourceW(kSymbolFontFile);
  if (g_sound) {
    delete g_sound;
    g_sound = nullptr;
  }
  if (g_background) {
    delete g_background;  // releases its meshes and textures
    g_background = nullptr;
  }
  if (g_input) {
    g_input->ReleaseInput();
    delete g_input;
    g_input = nullptr;
  }
  if (g_quadBatch) DestroyQuadBatch();
}
