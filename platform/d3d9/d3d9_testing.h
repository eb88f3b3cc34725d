// Test hooks of the Direct3D 9 stand-in. Not for program code. Device thread only.
#pragma once

#include <vector>

#include "platform/d3d9/d3d9.h"

// Makes the device behave as lost: the next Present returns D3DERR_DEVICELOST, then
// TestCooperativeLevel returns D3DERR_DEVICELOST once and D3DERR_DEVICENOTRESET until Reset.
// Reset also drops every texture's GL copy, so managed content must come back from the
// system-memory copies.
void D3D9TestSetDeviceLost(IDirect3DDevice9* device);

// The back buffer as ARGB pixels, top row first, with its size. Alpha is 0xff for an
// X8R8G8B8 back buffer.
std::vector<DWORD> D3D9TestReadBackBuffer(IDirect3DDevice9* device, UINT* width, UINT* height);

// The stencil value of the back buffer's pixel (x, y), top row 0.
int D3D9TestReadStencil(IDirect3DDevice9* device, int x, int y);

// With ignore set, the device draws and clears as if D3DRS_SCISSORTESTENABLE were FALSE, while
// the state itself stays as the program set it: the same frame can be rendered with and without
// its scissor limits and the two compared.
void D3D9TestIgnoreScissor(IDirect3DDevice9* device, bool ignore);

// With force set, every frame is drawn into the offscreen back buffer and copied to the window
// at Present, even where the window's own buffer could serve; from the next frame on when unset.
void D3D9TestForceOffscreen(IDirect3DDevice9* device, bool force);

// True while frames are drawn straight into the window rather than the offscreen back buffer.
bool D3D9TestDrawsToWindow(IDirect3DDevice9* device);

// Frames shown by Present on the device so far (the repaints of a window under a modal dialog
// included).
ULONGLONG D3D9TestPresentCount(IDirect3DDevice9* device);

// Texels of the texture (every level) copied from system memory to the GL copy so far.
ULONGLONG D3D9TestTexelsUploaded(IDirect3DTexture9* texture);
