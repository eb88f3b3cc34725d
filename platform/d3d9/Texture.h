// IDirect3DTexture9: a system-memory copy of every level, uploaded to one GL texture on the
// device thread at the next draw that uses it. A one-level texture is uploaded only where the
// draw can sample it (a video frame seen through a small window costs a small copy), and the
// rest waits for a draw that needs it. LockRect/UnlockRect may run on any thread: one mutex
// guards the lock flags and the upload state, and bytes are never read while a writer holds
// them.
#pragma once

#include <epoxy/gl.h>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/d3d9/DeviceChild.h"
#include "platform/d3d9/Formats.h"
#include "platform/d3d9/TexelStore.h"

namespace d3d9 {

class Texture final : public IDirect3DTexture9, public DeviceChild {
 public:
  // From this size of system copy on, a destroyed one-level texture leaves its GL storage to the
  // next texture of its shape (Device::KeepTextureStorage).
  static constexpr std::size_t kKeptStorageBytes = std::size_t{1} << 20;

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

  // Device thread, context current: brings the GL copy up to date wherever the draw can sample
  // (sampled: a texel rectangle of level 0; null: anywhere) and binds the texture to unit 0.
  // While a writer holds a lock, a draw within the last picture uploaded shows that picture;
  // one that needs texels not uploaded since waits for the writer (at most 100 ms).
  void BindForDraw(const RECT* sampled = nullptr);
  // The texels of level 0 that coordinates within [u0, u1] x [v0, v1] can reach, with a texel
  // to spare for filtering; clampU/clampV: the address mode never wraps to the far edge.
  RECT TexelsUnder(float u0, float u1, float v0, float v1, bool clampU, bool clampV) const;
  // Device thread: forgets the GL copy so that the next use uploads from system memory.
  void DropGlCopy();
  // Device thread: texels copied to GL so far, every level (a test hook).
  std::uint64_t TexelsUploaded() const { return texelsUploaded_; }

 private:
  struct Level {
    UINT width, height, pitch;
    TexelStore bytes;
    bool locked = false;
  };

  Texture(Device* device, const TextureFormat& format, DWORD usage, D3DPOOL pool);
  ~Texture() override;
  // Deletes the GL texture.
  void DeleteGl();
  void Upload();                        // with mutex_ held
  void UploadPart(const RECT& texels);  // level 0 only, allocated, with mutex_ held
  RECT Whole() const { return RECT{0, 0, LONG(levels_[0].width), LONG(levels_[0].height)}; }

  const TextureFormat format_;
  const DWORD usage_;
  const D3DPOOL pool_;
  std::vector<Level> levels_;  // the vector itself never changes after creation
  std::mutex mutex_;
  std::condition_variable unlocked_;
  bool dirty_ = true;                 // guarded by mutex_: system memory holds what GL does not everywhere
  int lockedLevels_ = 0;              // guarded by mutex_
  RECT current_{};                    // guarded by mutex_: where GL holds the latest unlocked content
  RECT previous_{};                   // guarded by mutex_: current_ when a writer last locked
  GLuint name_ = 0;                   // device thread only
  std::uint64_t texelsUploaded_ = 0;  // device thread only
  bool allocated_ = false;
};

}  // namespace d3d9
