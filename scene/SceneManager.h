// Owns everything that lives as long as one Direct3D device: the shared objects reached through
// the globals of SceneGlobals.h, and the current scene, taken from a fixed queue of scene ids.
// Window thread only.
#pragma once

#include "platform/d3d9/d3d9.h"

class CQoScene;

constexpr int SCENE_QUEUE_LENGTH = 16;
constexpr int SCENE_ID_TITLE = 1;

class CSceneManager {
 public:
  // Builds the shared objects in their fixed order and shows the first scene.
  void StartSceneManager(IDirect3DDevice9* device, HWND window);
  // Destroys the current scene and the shared objects, in their fixed order.
  void StopSceneManager();
  // Replaces the current scene by the next one of the queue (none past its end).
  void AdvanceScene();

  IDirect3DDevice9* m_device = nullptr;
  HWND m_window = nullptr;
  CQoScene* m_currentScene = nullptr;
  int m_request = 0;
  int m_sceneQueue[SCENE_QUEUE_LENGTH] = {};
  int m_queueIndex = 0;
};
