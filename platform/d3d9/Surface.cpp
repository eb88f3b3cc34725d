#include "platform/d3d9/Surface.h"

#include <new>

#include "platform/d3d9/Device.h"
#include "platform/d3d9/Formats.h"

namespace d3d9 {

Surface* Surface::ForBackBuffer(Device* device, const D3DSURFACE_DESC& desc) {
  Surface* surface = new (std::nothrow) Surface(device);
  if (surface) surface->desc_ = desc;
  return surface;
}

Surface* Surface::ForTextureLevel(Device* device, IDirect3DTexture9* texture, UINT level) {
  Surface* surface = new (std::nothrow) Surface(device);
  if (!surface) return nullptr;
  texture->AddRef();
  surface->texture_ = texture;
  surface->level_ = level;
  return surface;
}

HRESULT Surface::CreatePlain(Device* device, UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                             IDirect3DSurface9** out) {
  const TextureFormat* f = FindTextureFormat(format);
  if (!out || !f || width == 0 || height == 0 || width > device->maxTextureSize() || height > device->maxTextureSize())
    return D3DERR_INVALIDCALL;
  Surface* surface = new (std::nothrow) Surface(device);
  if (!surface) return E_OUTOFMEMORY;
  try {
    surface->pitch_ = RowPitch(*f, width);
    surface->bytes_.resize(std::size_t(surface->pitch_) * height);
  } catch (const std::bad_alloc&) {
    surface->Release();
    return E_OUTOFMEMORY;
  }
  surface->desc_ = {format, D3DRTYPE_SURFACE, 0, pool, D3DMULTISAMPLE_NONE, 0, width, height};
  *out = surface;
  return D3D_OK;
}

Surface::~Surface() {
  if (texture_) texture_->Release();
}

HRESULT Surface::GetDesc(D3DSURFACE_DESC* desc) {
  if (!desc) return D3DERR_INVALIDCALL;
  if (texture_) return texture_->GetLevelDesc(level_, desc);
  *desc = desc_;
  return D3D_OK;
}

HRESULT Surface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
  if (texture_) return texture_->LockRect(level_, locked, rect, flags);
  if (!locked || bytes_.empty() || locked_) return D3DERR_INVALIDCALL;
  RECT r = rect ? *rect : RECT{0, 0, LONG(desc_.Width), LONG(desc_.Height)};
  if (r.left < 0 || r.top < 0 || r.left >= r.right || r.top >= r.bottom || r.right > LONG(desc_.Width) ||
      r.bottom > LONG(desc_.Height))
    return D3DERR_INVALIDCALL;
  const UINT bpp = FindTextureFormat(desc_.Format)->bytesPerPixel;
  locked_ = true;
  locked->Pitch = static_cast<INT>(pitch_);
  locked->pBits = bytes_.data() + std::size_t(r.top) * pitch_ + std::size_t(r.left) * bpp;
  return D3D_OK;
}

HRESULT Surface::UnlockRect() {
  if (texture_) return texture_->UnlockRect(level_);
  if (!locked_) return D3DERR_INVALIDCALL;
  locked_ = false;
  return D3D_OK;
}

}  // namespace d3d9
