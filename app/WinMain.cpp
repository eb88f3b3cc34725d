#include "app/WinMain.h"

#include <memory>

#include "app/MyD3DApplication.h"
#include "platform/win32/win32.h"

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
