// IDirect3DSurface9 in three kinds: the back buffer (description only; not lockable), a
// level of a texture (forwards to the texture, holding a reference on it) and an offscreen
// plain surface in system memory (lockable, used for cursor images).
#pragma once

#include <vector>

#include "platform/d3d9/DeviceChild.h"

namespace d3d9 {

class Surface final : public IDirect3DSurface9, public DeviceChild {
 public:
  // Null when out of memory.
  static Surface* ForBackBuffer(Device* device, const D3DSURFACE_DESC& desc);
  static Surface* ForTextureLevel(Device* device, IDirect3DTexture9* texture, UINT level);
  static HRESULT CreatePlain(Device* device, UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                             IDirect3DSurface9** out);

  HRESULT QueryInterface(REFIID riid, void** ppv) override { return QueryChild(this, riid, ppv); }
  ULONG AddRef() override { return AddRefChild(); }
  ULONG Release() override { return ReleaseChild(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceChild(ppDevice); }
  HRESULT GetDesc(D3DSURFACE_DESC* pDesc) override;
  HRESULT LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
  HRESULT UnlockRect() override;

  const IUnknown* Identity() const override { return static_cast<const IDirect3DSurface9*>(this); }

 private:
  explicit Surface(Device* device) : DeviceChild(device) {}
  ~Surface() override;

  D3DSURFACE_DESC desc_{};
  IDirect3DTexture9* texture_ = nullptr;  // counted reference for a texture level
  UINT level_ = 0;
  std::vector<BYTE> bytes_;  // plain surfaces only
  UINT pitch_ = 0;
  bool locked_ = false;
};

}  // namespace d3d9
