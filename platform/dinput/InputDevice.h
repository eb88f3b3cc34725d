// What the keyboard, mouse and joystick devices share: reference counting, the cooperative
// level and foreground acquisition, the event buffer fed from the window layer's SDL events,
// and the argument checks at the API edge. Each kind of device supplies its data format, its
// objects, its state and the translation of SDL events.
#pragma once

#include <string>
#include <vector>

#include "platform/dinput/EventQueue.h"
#include "platform/dinput/dinput.h"
#include "platform/kit/RefCounted.h"

union SDL_Event;
class DirectInput8;

class InputDevice : public kit::RefCounted<IDirectInputDevice8W> {
 public:
  explicit InputDevice(DirectInput8* parent);
  ~InputDevice() override;
  InputDevice(const InputDevice&) = delete;
  InputDevice& operator=(const InputDevice&) = delete;

  HRESULT QueryInterface(REFIID riid, void** ppv) override;

  HRESULT GetCapabilities(LPDIDEVCAPS caps) override;
  HRESULT EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKW callback, LPVOID context, DWORD flags) override;
  HRESULT SetProperty(REFGUID property, LPCDIPROPHEADER header) override;
  HRESULT Acquire() override;
  HRESULT Unacquire() override;
  HRESULT GetDeviceState(DWORD size, LPVOID data) override;
  HRESULT GetDeviceData(DWORD objectSize, LPDIDEVICEOBJECTDATA data, DWORD* count, DWORD flags) override;
  HRESULT SetDataFormat(LPCDIDATAFORMAT format) override;
  HRESULT SetCooperativeLevel(HWND window, DWORD flags) override;
  HRESULT Poll() override;

 protected:
  struct Object {
    GUID type;
    DWORD offset;
    DWORD typeId;  // DIDFT_ type | DIDFT_MAKEINSTANCE(n)
    std::u16string name;
  };

  virtual bool AcceptsFormat(LPCDIDATAFORMAT format) const = 0;
  virtual std::vector<Object> Objects() const = 0;
  virtual void FillCaps(DIDEVCAPS& caps) const = 0;
  // Copies the current state in the layout of the data format (size already checked).
  virtual void ReadState(void* data) = 0;
  // Properties other than the buffer size; called only while not acquired.
  virtual HRESULT SetOtherProperty(REFGUID property, LPCDIPROPHEADER header);
  // An SDL event, shown only while the device is acquired.
  virtual void OnEvent(const SDL_Event& event) = 0;
  // The device was just acquired: take the current state from SDL.
  virtual void OnAcquired() {}
  // The device was unacquired (by the caller or by the layer).
  virtual void OnUnacquired() {}
  // Before each read of an acquired device's state or data (the window's thread).
  virtual void BeforeRead() {}
  virtual bool Unplugged() const { return false; }

  LPCDIDATAFORMAT Format() const { return format_; }
  DWORD NextSequence();
  void Queue(DWORD offset, DWORD value, DWORD timestamp, DWORD sequence);
  // The layer takes acquisition away (focus lost, joystick removed): reads report INPUTLOST.
  void LoseAcquisition();

 private:
  void HandleEvent(const SDL_Event& event);
  // A foreground device whose window no longer has the focus loses its acquisition.
  void CheckFocus();
  bool WindowHasFocus() const;
  HRESULT NotAcquiredResult();

  DirectInput8* parent_;
  int listener_ = 0;
  LPCDIDATAFORMAT format_ = nullptr;
  HWND window_ = nullptr;
  bool foreground_ = false;
  bool acquired_ = false;
  bool lost_ = false;
  EventQueue queue_;
};
