// The DirectInput object: creates and enumerates the devices and numbers their events.
#pragma once

#include "platform/dinput/dinput.h"
#include "platform/kit/RefCounted.h"

class DirectInput8 : public kit::RefCounted<IDirectInput8W> {
 public:
  DirectInput8();
  ~DirectInput8() override;
  DirectInput8(const DirectInput8&) = delete;
  DirectInput8& operator=(const DirectInput8&) = delete;

  HRESULT QueryInterface(REFIID riid, void** ppv) override;
  HRESULT CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE8W* device, LPUNKNOWN outer) override;
  HRESULT EnumDevices(DWORD devClass, LPDIENUMDEVICESCALLBACKW callback, LPVOID context, DWORD flags) override;

  // Sequence numbers shared by all devices of this object, so their events can be ordered.
  DWORD NextSequence() { return ++sequence_; }

 private:
  bool joystickSubsystem_ = false;
  DWORD sequence_ = 0;
};
