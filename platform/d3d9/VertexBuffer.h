// IDirect3DVertexBuffer9: a system-memory copy uploaded to a GL buffer on the device thread
// at the next draw after an Unlock. Device thread only.
#pragma once

#include <epoxy/gl.h>

#include <vector>

#include "platform/d3d9/DeviceChild.h"

namespace d3d9 {

class VertexBuffer final : public IDirect3DVertexBuffer9, public DeviceChild {
 public:
  // D3DERR_INVALIDCALL for a zero length; E_OUTOFMEMORY when it cannot be allocated.
  static HRESULT Create(Device* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                        IDirect3DVertexBuffer9** out);

  HRESULT QueryInterface(REFIID riid, void** ppv) override { return QueryChild(this, riid, ppv); }
  ULONG AddRef() override { return AddRefChild(); }
  ULONG Release() override { return ReleaseChild(); }
  HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceChild(ppDevice); }
  HRESULT Lock(UINT OffsetToLock, UINT SizeToLock, void** ppbData, DWORD Flags) override;
  HRESULT Unlock() override;
  HRESULT GetDesc(D3DVERTEXBUFFER_DESC* pDesc) override;

  const IUnknown* Identity() const override { return static_cast<const IDirect3DVertexBuffer9*>(this); }
  void ReleaseGl() override;

  // Context current: uploads pending content and binds the buffer as GL_ARRAY_BUFFER.
  void BindForDraw();
  UINT size() const { return desc_.Size; }
  bool locked() const { return locked_; }

 private:
  explicit VertexBuffer(Device* device) : DeviceChild(device) {}

  D3DVERTEXBUFFER_DESC desc_{};
  std::vector<BYTE> bytes_;
  bool locked_ = false;
  bool dirty_ = true;
  GLuint name_ = 0;
};

}  // namespace d3d9
