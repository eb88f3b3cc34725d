// IDirect3D9: adapters are SDL's displays, the device type is HAL only.

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/d3d9/Adapter.h"
#include "platform/d3d9/Device.h"
#include "platform/d3d9/Formats.h"
#include "platform/kit/Guarded.h"
#include "platform/kit/RefCounted.h"

namespace d3d9 {

namespace {

class Direct3D9 final : public kit::RefCounted<IDirect3D9> {
 public:
  // SDL video is initialised for as long as the object lives (SDL counts the calls).
  static IDirect3D9* Create() {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return nullptr;
    return new (std::nothrow) Direct3D9();
  }

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown) {
      AddRef();
      *ppv = static_cast<IUnknown*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }

  UINT GetAdapterCount() override { return static_cast<UINT>(std::max(0, SDL_GetNumVideoDisplays())); }

  HRESULT GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER9* id) override {
    if (!id || adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
    *id = {};
    const char* name = SDL_GetDisplayName(int(adapter));
    std::snprintf(id->Description, sizeof(id->Description), "OpenGL 3.3 on %s", name ? name : "display");
    std::snprintf(id->Driver, sizeof(id->Driver), "SDL %s", SDL_GetCurrentVideoDriver());
    std::snprintf(id->DeviceName, sizeof(id->DeviceName), "DISPLAY%u", adapter + 1);
    return D3D_OK;
  }

  UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override {
    if (adapter >= GetAdapterCount()) return 0;
    const auto modes = AdapterModes(int(adapter));
    return UINT(std::count_if(modes.begin(), modes.end(), [&](const D3DDISPLAYMODE& m) { return m.Format == format; }));
  }

  HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT index, D3DDISPLAYMODE* mode) override {
    if (!mode || adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
    for (const D3DDISPLAYMODE& m : AdapterModes(int(adapter))) {
      if (m.Format != format) continue;
      if (index-- == 0) {
        *mode = m;
        return D3D_OK;
      }
    }
    return D3DERR_INVALIDCALL;
  }

  HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override {
    if (adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
    return AdapterDesktopMode(int(adapter), mode);
  }

  HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat,
                          BOOL) override {
    if (adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
    if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
    if (!IsDisplayFormat(adapterFormat) || !IsBackBufferFormat(backBufferFormat)) return D3DERR_NOTAVAILABLE;
    return D3D_OK;
  }

  HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                            D3DRESOURCETYPE resourceType, D3DFORMAT format) override {
    if (adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
    if (type != D3DDEVTYPE_HAL || !IsDisplayFormat(adapterFormat)) return D3DERR_NOTAVAILABLE;
    if (usage & D3DUSAGE_DEPTHSTENCIL)
      return resourceType == D3DRTYPE_SURFACE && IsDepthFormat(format) ? D3D_OK : D3DERR_NOTAVAILABLE;
    if (usage & D3DUSAGE_RENDERTARGET)
      return resourceType == D3DRTYPE_SURFACE && IsBackBufferFormat(format) ? D3D_OK : D3DERR_NOTAVAILABLE;
    if (resourceType == D3DRTYPE_TEXTURE || resourceType == D3DRTYPE_SURFACE)
      return FindTextureFormat(format) ? D3D_OK : D3DERR_NOTAVAILABLE;
    return D3DERR_NOTAVAILABLE;
  }

  HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE type, D3DFORMAT, BOOL, D3DMULTISAMPLE_TYPE multiSample,
                                     DWORD* qualityLevels) override {
    if (adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
    if (type != D3DDEVTYPE_HAL || multiSample != D3DMULTISAMPLE_NONE) return D3DERR_NOTAVAILABLE;
    if (qualityLevels) *qualityLevels = 1;
    return D3D_OK;
  }

  HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, D3DFORMAT renderTarget,
                                 D3DFORMAT depthStencil) override {
    if (adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
    if (type != D3DDEVTYPE_HAL || !IsDisplayFormat(adapterFormat) || !IsBackBufferFormat(renderTarget) ||
        !IsDepthFormat(depthStencil))
      return D3DERR_NOTAVAILABLE;
    return D3D_OK;
  }

  HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override {
    if (!caps || adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
    if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
    FillCaps(adapter, caps);
    return D3D_OK;
  }

  HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD, D3DPRESENT_PARAMETERS* params,
                       IDirect3DDevice9** out) override {
    if (!out || !params || adapter >= GetAdapterCount()) return D3DERR_INVALIDCALL;
    *out = nullptr;
    if (type != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
    HWND window = params->hDeviceWindow ? params->hDeviceWindow : focusWindow;
    return kit::Guarded([&] { return Device::Create(this, adapter, window, params, out); });
  }

 private:
  Direct3D9() = default;
  ~Direct3D9() override { SDL_QuitSubSystem(SDL_INIT_VIDEO); }
};

}  // namespace

}  // namespace d3d9

IDirect3D9* Direct3DCreate9(UINT SDKVersion) {
  if (SDKVersion != D3D_SDK_VERSION) return nullptr;
  return d3d9::Direct3D9::Create();
}
