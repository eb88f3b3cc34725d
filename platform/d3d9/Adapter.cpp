#include "platform/d3d9/Adapter.h"

#include <SDL.h>

#include <algorithm>

namespace d3d9 {

D3DFORMAT DisplayFormatFromSdl(unsigned sdlPixelFormat) {
  if (SDL_ISPIXELFORMAT_INDEXED(sdlPixelFormat) || SDL_ISPIXELFORMAT_FOURCC(sdlPixelFormat)) return D3DFMT_UNKNOWN;
  switch (SDL_BITSPERPIXEL(sdlPixelFormat)) {
    case 24:
    case 32:
      return D3DFMT_X8R8G8B8;
    case 16:
      return D3DFMT_R5G6B5;
    case 15:
      return D3DFMT_X1R5G5B5;
    default:
      return D3DFMT_UNKNOWN;
  }
}

std::vector<D3DDISPLAYMODE> AdapterModes(int display) {
  std::vector<D3DDISPLAYMODE> modes;
  const int count = SDL_GetNumDisplayModes(display);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode sdl;
    if (SDL_GetDisplayMode(display, i, &sdl) != 0) continue;
    D3DDISPLAYMODE mode{static_cast<UINT>(sdl.w), static_cast<UINT>(sdl.h), static_cast<UINT>(sdl.refresh_rate),
                        DisplayFormatFromSdl(sdl.format)};
    if (mode.Format == D3DFMT_UNKNOWN) continue;
    auto same = [&](const D3DDISPLAYMODE& m) {
      return m.Width == mode.Width && m.Height == mode.Height && m.RefreshRate == mode.RefreshRate &&
             m.Format == mode.Format;
    };
    if (std::none_of(modes.begin(), modes.end(), same)) modes.push_back(mode);
  }
  return modes;
}

HRESULT AdapterDesktopMode(int display, D3DDISPLAYMODE* mode) {
  SDL_DisplayMode sdl;
  if (!mode || SDL_GetDesktopDisplayMode(display, &sdl) != 0) return D3DERR_INVALIDCALL;
  *mode = {static_cast<UINT>(sdl.w), static_cast<UINT>(sdl.h), static_cast<UINT>(sdl.refresh_rate),
           DisplayFormatFromSdl(sdl.format)};
  return mode->Format == D3DFMT_UNKNOWN ? D3DERR_INVALIDCALL : D3D_OK;
}

void FillCaps(UINT adapter, D3DCAPS9* caps) {
  *caps = {};
  caps->DeviceType = D3DDEVTYPE_HAL;
  caps->AdapterOrdinal = adapter;
  caps->PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
  caps->DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
  caps->MaxTextureWidth = kMaxTextureSize;
  caps->MaxTextureHeight = kMaxTextureSize;
  caps->MaxActiveLights = 8;
}

}  // namespace d3d9
