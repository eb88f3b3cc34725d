#include "platform/d3d9/DeviceChild.h"

#include "platform/d3d9/Device.h"

namespace d3d9 {

DeviceChild::DeviceChild(Device* device) : device_(device) {
  device_->AddRef();
}

ULONG DeviceChild::ReleaseChild() {
  const ULONG left = refs_.Drop();
  if (left == 0) device_->DestroyChild(this);
  return left;
}

HRESULT DeviceChild::QueryChild(IUnknown* self, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown) {
    self->AddRef();
    *ppv = self;
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT DeviceChild::GetDeviceChild(IDirect3DDevice9** ppDevice) {
  if (!ppDevice) return D3DERR_INVALIDCALL;
  device_->AddRef();
  *ppDevice = device_;
  return D3D_OK;
}

}  // namespace d3d9
