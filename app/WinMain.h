// The process entry of the viewer.
#pragma once

#include "platform/win32/wintypes.h"

class CMyD3DApplication;

// Recorded by the entry function for the whole run.
extern CMyD3DApplication* g_pApp;
extern HINSTANCE g_hInst;

// The program's resources that Windows keeps in the executable: accelerator table 113.
void RegisterProgramResources();

INT WINAPI wWinMain(HINSTANCE hInst, HINSTANCE hPrevInstance, LPWSTR cmdLine, INT cmdShow);
