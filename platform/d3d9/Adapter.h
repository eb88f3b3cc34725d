// Adapters are SDL's displays. Display modes, the desktop mode and the device capabilities
// as Direct3D reports them. SDL video must be initialised. Device or creating thread only.
#pragma once

#include <vector>

#include "platform/d3d9/d3d9.h"

namespace d3d9 {

// Texture and back-buffer size limit reported in the caps and enforced at creation.
constexpr UINT kMaxTextureSize = 8192;

// The display formats of an SDL pixel format: 24/32-bit RGB is X8R8G8B8, 16-bit R5G6B5,
// 15-bit X1R5G5B5; anything else is D3DFMT_UNKNOWN.
D3DFORMAT DisplayFormatFromSdl(unsigned sdlPixelFormat);

// Every distinct mode of the display, in SDL's order (largest first).
std::vector<D3DDISPLAYMODE> AdapterModes(int display);

// The display's desktop mode; D3DERR_INVALIDCALL for an unknown display or an unusable format.
HRESULT AdapterDesktopMode(int display, D3DDISPLAYMODE* mode);

void FillCaps(UINT adapter, D3DCAPS9* caps);

}  // namespace d3d9
