// IDirect3DTexture9: a system-memory copy of every level, uploaded to one GL texture on the
// device thread at the next draw that uses it. LockRect/UnlockRect may run on any thread:
// one mutex guards the lock flags and the dirty mark, and the upload skips a texture while
// any level is locked, so the bytes are never read while a writer holds them.
#pragma once

#include <epoxy/gl.h>

#include <mutex>
#include <vector>

#include "platform/d3d9/DeviceChild.h"
#include "platform/d3d9/Formats.h"

namespace d3d9 {

class Texture final : public IDirect3DTexture9, public DeviceChild {
 public:
  // Device thread. Levels 0 gives one level. D3DERR_INVALIDCALL for a size outside
  // 1..max texture size; E_OUTOFMEMORY when the copy cannot be allocated.
  static HRESULT Create(Device* device, UINT width, UINT height, UINT levels, DWORD usage, const TextureFormat& format,
                        D3DPOOL pool, IDirect3DTexture9** out);

  HRESULT QueryInterface(REFIID riid, void** ppv) override { return QueryChild(this, riid, ppv); }
  ULONG AddRef() override { return AddRefChild(); }
  ULONG Release() override { return ReleaseChild(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceChild(ppDevice); }
  DWORD GetLevelCount() override { return static_cast<DWORD>(levels_.size()); }
  HRESULT GetLevelDesc(UINT Level, D3DSURFACE_DESC* pDesc) override;
  HRESULT GetSurfaceLevel(UINT Level, IDirect3DSurface9** ppSurfaceLevel) override;
  HRESULT LockRect(UINT Level, D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
  HRESULT UnlockRect(UINT Level) override;

  const IUnknown* Identity() const override { return static_cast<const IDirect3DTexture9*>(this); }
  void ReleaseGl() override;

  // Device thread, context current: uploads pending content and binds the texture to unit 0.
  void BindForDraw();
  // Device thread: forgets the GL copy so that the next use uploads from system memory.
  void DropGlCopy();

 private:
  struct Level {
    UINT width, height, pitch;
    std::vector<BYTE> bytes;
    bool locked = false;
  };

  Texture(Device* device, const TextureFormat& format, DWORD usage, D3DPOOL pool);
  ~Texture() override;
  void Upload();  // with mutex_ held

  const TextureFormat format_;
  const DWORD usage_;
  const D3DPOOL pool_;
  std::vector<Level> levels_;  // the vector itself never changes after creation
  std::mutex mutex_;
  bool dirty_ = true;     // guarded by mutex_
  int lockedLevels_ = 0;  // guarded by mutex_
  GLuint name_ = 0;       // device thread only
  bool allocated_ = false;
};

}  // namespace d3d9
