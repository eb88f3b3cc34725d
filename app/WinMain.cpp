#include "app/WinMain.h"

#include <memory>

#include "app/MyD3DApplication.h"
#include "platform/win32/win32.h"
#include "ui/QoSceneTitle.h"

CMyD3DApplication* g_pApp = nullptr;
HINSTANCE g_hInst = nullptr;

void PreferDrawingThreadRasteriser() {
  setenv("LP_NUM_THREADS", "0", 0);
}

void RegisterProgramResources() {
  static const ACCEL kMainAccelerators[] = {
      {FVIRTKEY, VK_ESCAPE, IDM_EXIT},
      {FVIRTKEY | FALT, 'X', IDM_EXIT},
      {FVIRTKEY, VK_F2, IDM_CHANGEDEVICE},
      {FVIRTKEY | FALT, VK_RETURN, IDM_TOGGLEFULLSCREEN},
      // The player's keys. Accelerators see every key repeat, so a held key steps once per repeat.
      {FVIRTKEY, VK_RIGHT, IDM_NEXT_FILE},
      {FVIRTKEY, VK_NEXT, IDM_NEXT_FILE},
      {FVIRTKEY, VK_LEFT, IDM_PREVIOUS_FILE},
      {FVIRTKEY, VK_PRIOR, IDM_PREVIOUS_FILE},
      {FVIRTKEY, VK_SPACE, IDM_PLAY_PAUSE},
      {FVIRTKEY, VK_HOME, IDM_STOP},
      {FVIRTKEY | FCONTROL, 'O', IDM_OPEN},
      {FVIRTKEY, VK_F1, IDM_HELP},
      {FVIRTKEY, 'M', IDM_SOUND},
      // "+" is Shift and the "=" key on many layouts and a key of its own on others.
      {FVIRTKEY, VK_OEM_PLUS, IDM_ZOOM_IN},
      {FVIRTKEY | FSHIFT, VK_OEM_PLUS, IDM_ZOOM_IN},
      {FVIRTKEY, VK_ADD, IDM_ZOOM_IN},
      {FVIRTKEY, VK_OEM_MINUS, IDM_ZOOM_OUT},
      {FVIRTKEY, VK_SUBTRACT, IDM_ZOOM_OUT},
      {FVIRTKEY, '0', IDM_ZOOM_RESET},
      {FVIRTKEY, VK_NUMPAD0, IDM_ZOOM_RESET},
      {FVIRTKEY, 'L', IDM_CAMERA_LOCK},
  };
  Win32RegisterAcceleratorResource(IDR_MAIN_ACCEL, kMainAccelerators,
                                   static_cast<int>(sizeof kMainAccelerators / sizeof kMainAccelerators[0]));
}

INT WINAPI wWinMain(HINSTANCE hInst, HINSTANCE, LPWSTR cmdLine, INT) {
  auto app = std::make_unique<CMyD3DApplication>();
  if (cmdLine && *cmdLine) app->SetStartFile(cmdLine);
  CoInitialize(nullptr);
  g_pApp = app.get();
  g_hInst = hInst;
  InitCommonControls();

  if (FAILED(app->CreateApp(hInst))) {
    app.reset();
    g_pApp = nullptr;
    return 0;
  }
  const INT result = app->RunLoop();
  CoUninitialize();
  app.reset();
  g_pApp = nullptr;
  return result;
}
