#include "platform/dinput/InputDevice.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "platform/dinput/DirectInput8.h"
#include "platform/kit/LogOnce.h"
#include "platform/win32/SdlWindow.h"

InputDevice::InputDevice(DirectInput8* parent) : parent_(parent) {
  // The parent's reference is taken last, once nothing can fail any more.
  listener_ = Win32AddSdlEventListener([this](const SDL_Event& event) { HandleEvent(event); });
  parent_->AddRef();
}

InputDevice::~InputDevice() {
  Win32RemoveSdlEventListener(listener_);
  parent_->Release();
}

HRESULT InputDevice::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDirectInputDevice8W) {
    AddRef();
    *ppv = static_cast<IDirectInputDevice8W*>(this);
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT InputDevice::GetCapabilities(LPDIDEVCAPS caps) {
  if (!caps || caps->dwSize != sizeof(DIDEVCAPS)) return DIERR_INVALIDPARAM;
  std::memset(caps, 0, sizeof(DIDEVCAPS));
  caps->dwSize = sizeof(DIDEVCAPS);
  caps->dwFlags = Unplugged() ? 0 : DIDC_ATTACHED;
  FillCaps(*caps);
  return DI_OK;
}

HRESULT InputDevice::EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKW callback, LPVOID context, DWORD flags) {
  if (!callback) return DIERR_INVALIDPARAM;
  const DWORD kinds = DIDFT_GETTYPE(flags);
  for (const Object& object : Objects()) {
    if (kinds != DIDFT_ALL && (DIDFT_GETTYPE(object.typeId) & kinds) == 0) continue;
    DIDEVICEOBJECTINSTANCEW instance{};
    instance.dwSize = sizeof(instance);
    instance.guidType = object.type;
    instance.dwOfs = object.offset;
    instance.dwType = object.typeId;
    const std::size_t n = std::min<std::size_t>(object.name.size(), MAX_PATH - 1);
    std::copy_n(object.name.begin(), n, instance.tszName);
    if (callback(&instance, context) == DIENUM_STOP) break;
  }
  return DI_OK;
}

HRESULT InputDevice::SetProperty(REFGUID property, LPCDIPROPHEADER header) {
  if (!header || header->dwHeaderSize != sizeof(DIPROPHEADER)) return DIERR_INVALIDPARAM;
  if (acquired_) return DIERR_ACQUIRED;
  if (property == DIPROP_BUFFERSIZE) {
    if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE || header->dwObj != 0)
      return DIERR_INVALIDPARAM;
    queue_.SetCapacity(reinterpret_cast<const DIPROPDWORD*>(header)->dwData);
    return DI_OK;
  }
  return SetOtherProperty(property, header);
}

HRESULT InputDevice::SetOtherProperty(REFGUID, LPCDIPROPHEADER) {
  kit::LogOnce("dinput", "SetProperty", "properties other than DIPROP_BUFFERSIZE are not supported on this device");
  return DIERR_UNSUPPORTED;
}

HRESULT InputDevice::Acquire() {
  if (!format_) return DIERR_INVALIDPARAM;
  CheckFocus();
  if (acquired_) return DI_NOEFFECT;
  if (Unplugged()) return DIERR_UNPLUGGED;
  if (foreground_ && !WindowHasFocus()) return DIERR_OTHERAPPHASPRIO;
  acquired_ = true;
  lost_ = false;
  queue_.Clear();
  OnAcquired();
  return DI_OK;
}

HRESULT InputDevice::Unacquire() {
  lost_ = false;
  if (!acquired_) return DI_NOEFFECT;
  acquired_ = false;
  OnUnacquired();
  return DI_OK;
}

HRESULT InputDevice::GetDeviceState(DWORD size, LPVOID data) {
  CheckFocus();
  if (!acquired_) return NotAcquiredResult();
  if (!data || size != format_->dwDataSize) return DIERR_INVALIDPARAM;
  BeforeRead();
  ReadState(data);
  return DI_OK;
}

HRESULT InputDevice::GetDeviceData(DWORD objectSize, LPDIDEVICEOBJECTDATA data, DWORD* count, DWORD flags) {
  if (!count) return DIERR_INVALIDPARAM;
  const DWORD wanted = *count;
  *count = 0;
  if (objectSize != sizeof(DIDEVICEOBJECTDATA) || (flags & ~DIGDD_PEEK) != 0) return DIERR_INVALIDPARAM;
  CheckFocus();
  if (!acquired_) return NotAcquiredResult();
  if (queue_.Capacity() == 0) return DIERR_NOTBUFFERED;
  BeforeRead();
  *count = queue_.Take(data, wanted, (flags & DIGDD_PEEK) != 0);
  if ((flags & DIGDD_PEEK) == 0 && queue_.TakeOverflow()) return DI_BUFFEROVERFLOW;
  return DI_OK;
}

HRESULT InputDevice::SetDataFormat(LPCDIDATAFORMAT format) {
  if (!format || !AcceptsFormat(format)) return DIERR_INVALIDPARAM;
  if (acquired_) return DIERR_ACQUIRED;
  format_ = format;
  return DI_OK;
}

HRESULT InputDevice::SetCooperativeLevel(HWND window, DWORD flags) {
  if (!Win32SdlWindow(window)) return DIERR_INVALIDPARAM;
  const DWORD level = flags & ~DISCL_NOWINKEY;
  if (level & DISCL_EXCLUSIVE) {
    kit::LogOnce("dinput", "SetCooperativeLevel", "exclusive access is not supported");
    return DIERR_UNSUPPORTED;
  }
  if (level != (DISCL_FOREGROUND | DISCL_NONEXCLUSIVE) && level != (DISCL_BACKGROUND | DISCL_NONEXCLUSIVE))
    return DIERR_INVALIDPARAM;
  if (acquired_) return DIERR_ACQUIRED;
  window_ = window;
  foreground_ = (level & DISCL_FOREGROUND) != 0;
  return DI_OK;
}

HRESULT InputDevice::Poll() {
  CheckFocus();
  return acquired_ ? DI_NOEFFECT : NotAcquiredResult();
}

DWORD InputDevice::NextSequence() {
  return parent_->NextSequence();
}

void InputDevice::Queue(DWORD offset, DWORD value, DWORD timestamp, DWORD sequence) {
  queue_.Push({offset, value, timestamp, sequence, 0});
}

void InputDevice::LoseAcquisition() {
  if (!acquired_) return;
  acquired_ = false;
  lost_ = true;
  queue_.Clear();
  OnUnacquired();
}

void InputDevice::HandleEvent(const SDL_Event& event) {
  if (!acquired_) return;
  if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_FOCUS_LOST && foreground_ &&
      event.window.windowID == SDL_GetWindowID(Win32SdlWindow(window_))) {
    LoseAcquisition();
    return;
  }
  OnEvent(event);
}

void InputDevice::CheckFocus() {
  if (acquired_ && foreground_ && !WindowHasFocus()) LoseAcquisition();
}

bool InputDevice::WindowHasFocus() const {
  SDL_Window* window = Win32SdlWindow(window_);
  return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

HRESULT InputDevice::NotAcquiredResult() {
  if (!lost_) return DIERR_NOTACQUIRED;
  lost_ = false;
  return DIERR_INPUTLOST;
}
