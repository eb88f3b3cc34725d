// The process entry of the viewer.
#pragma once

#include "platform/kit/wintypes.h"

class CMyD3DApplication;

// Recorded by the entry function for the whole run.
extern CMyD3DApplication* g_pApp;
extern HINSTANCE g_hInst;

// The program's resources that Windows keeps in the executable: accelerator table 113.
void RegisterProgramResources();

// Mesa's software rasteriser runs on the drawing thread unless the user chose a thread count
// (LP_NUM_THREADS). Call before the first device is made. A windowed frame shades little more
// than the lens and the control strip; for so little work waking the rasteriser's worker threads
// costs more than they save. Hardware drivers ignore the variable.
void PreferDrawingThreadRasteriser();

// cmdLine: the file to open at start, an absolute path in Windows form, or null for none (the
// Linux entry has already checked and resolved the arguments).
INT WINAPI wWinMain(HINSTANCE hInst, HINSTANCE hPrevInstance, LPWSTR cmdLine, INT cmdShow);
