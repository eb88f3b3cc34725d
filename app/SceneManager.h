// Owns everything that lives as long as one Direct3D device: the shared objects reached through
// the globals of SceneGlobals.h, and the current scene, taken from a fixed queue of scene ids.
// Window thread only.
#pragma once

#include <string>

#include "platform/d3d9/d3d9.h"

class CQoScene;

constexpr int SCENE_QUEUE_LENGTH = 16;
constexpr int SCENE_ID_TITLE = 1;

class CSceneManager {
 public:
  // Builds the shared objects in their fixed order and shows the first scene. startFile (a
  // file named on the command line, Windows form) opens in the player scene's first open, in
  // place of the welcome picture; one that cannot be opened leaves the welcome picture after its
  // message.
  void StartSceneManager(IDirect3DDevice9* device, HWND window, std::u16string startFile = {});
  // Destroys the current scene and the shared objects, in their fixed order.
  void StopSceneManager();
  // Replaces the current scene by the next one of the queue (none past its end).
  void AdvanceScene();
  // The player scene opens a file named from outside the program (a file dropped on the window)
  // as if it had been picked in its dialog. False when there is no player scene or the file did
  // not open (its error box has been shown).
  bool OpenFile(const std::u16string& path);
  // Hands a WM_COMMAND id to the player scene, which runs it in its next update if it is one of
  // its key commands. False when there is no player scene or the id is not its own.
  bool QueueCommand(WORD command);

  IDirect3DDevice9* m_device = nullptr;
  HWND m_window = nullptr;
  CQoScene* m_currentScene = nullptr;
  int m_request = 0;
  int m_sceneQueue[SCENE_QUEUE_LENGTH] = {};
  int m_queueIndex = 0;
  std::u16string m_startFile;  // for the next player scene made
};

// The program's one scene manager, made and destroyed with the device by the application.
extern CSceneManager* g_sceneManager;
