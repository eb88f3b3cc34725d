// Limits what the device shades to one rectangle of the back buffer: the scissor rectangle with
// the scissor test on. Used for layers that an opaque mask later covers everywhere else, so
// that the rasteriser does not shade pixels nobody sees. Window thread.
#pragma once

#include "platform/d3d9/d3d9.h"

// Draws and clears after this reach only `area`; a null area lifts the limit.
void LimitDrawing(IDirect3DDevice9* device, const RECT* area);

// True when the back buffer lies within a screen of the given size, so that a scene covering
// that screen covers the whole back buffer.
bool BackBufferWithin(IDirect3DDevice9* device, int width, int height);
