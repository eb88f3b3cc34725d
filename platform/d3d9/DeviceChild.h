// Common part of every object a device creates (textures, surfaces, vertex buffers): a
// counted reference, and a reference on the device held until the object is destroyed, so
// that a leaked resource keeps the device's count above 0. The last Release hands the
// object to the device, which destroys it on its own thread (at once, or at its next call
// when the release came from another thread).
#pragma once

#include "platform/d3d9/d3d9.h"
#include "platform/kit/RefCounted.h"

namespace d3d9 {

class Device;

class DeviceChild {
 public:
  explicit DeviceChild(Device* device);
  DeviceChild(const DeviceChild&) = delete;
  DeviceChild& operator=(const DeviceChild&) = delete;
  virtual ~DeviceChild() = default;

  Device* device() const { return device_; }
  // The interface pointer under which the object may be bound to the device.
  virtual const IUnknown* Identity() const = 0;
  // Drops GL objects; called on the device thread with the context current.
  virtual void ReleaseGl() {}

 protected:
  ULONG AddRefChild() { return refs_.Add(); }
  ULONG ReleaseChild();
  HRESULT QueryChild(IUnknown* self, REFIID riid, void** ppv);
  HRESULT GetDeviceChild(IDirect3DDevice9** ppDevice);

 private:
  Device* device_;
  kit::RefCount refs_;
};

}  // namespace d3d9
