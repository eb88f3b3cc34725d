// The process-wide objects of one device lifetime. The scene manager sets them when it starts and
// clears the owned ones when it stops; scenes and drawing code read them directly. Window thread.
#pragma once

#include "platform/d3d9/d3d9.h"

class CTextureTable;
class CInputDevices;
struct FontSet;
class CSoundRegistry;
class CMoireScreensaver;
class CQuadBatch;
struct ID3DXFont;

extern IDirect3DDevice9* g_device;
extern HWND g_hWnd;
extern HINSTANCE g_hInstance;
extern int g_screenWidth;
extern int g_screenHeight;
extern CTextureTable* g_textures;
extern CInputDevices* g_input;
extern FontSet* g_uiFont;
extern CSoundRegistry* g_sound;
extern CMoireScreensaver* g_background;
extern CQuadBatch* g_quadBatch;
extern ID3DXFont* g_appFont;
