#include "scene/SceneGlobals.h"

IDirect3DDevice9* g_device = nullptr;
HWND g_hWnd = nullptr;
HINSTANCE g_hInstance = nullptr;
int g_screenWidth = 640;
int g_screenHeight = 480;
CTextureTable* g_textures = nullptr;
CInputDevices* g_input = nullptr;
FontSet* g_uiFont = nullptr;
CSoundRegistry* g_sound = nullptr;
CMoireScreensaver* g_background = nullptr;
CQuadBatch* g_quadBatch = nullptr;
ID3DXFont* g_appFont = nullptr;
