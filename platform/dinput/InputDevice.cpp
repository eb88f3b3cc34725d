#include "platform/dinput/InputDevice.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "platform/dinput/DirectInput8.h"
#include "platform/kit/LogOnce.h"
#include "platform/win32/SdlWindow.h"

InputDevice::InputDevice(DirectInput8* parent) : m_parent(parent) {
  // The parent's reference is taken last, once nothing can fail any more.
  m_listener = Win32AddSdlEventListener([this](const SDL_Event& event) { HandleEvent(event); });
  m_parent->AddRef();
}

InputDevice::~InputDevice() {
  Win32RemoveSdlEventListener(m_listener);
  m_parent->Release();
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
  if (m_acquired) return DIERR_ACQUIRED;
  if (property == DIPROP_BUFFERSIZE) {
    if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE || header->dwObj != 0)
      return DIERR_INVALIDPARAM;
    m_queue.SetCapacity(reinterpret_cast<const DIPROPDWORD*>(header)->dwData);
    return DI_OK;
  }
  return SetOtherProperty(property, header);
}

HRESULT InputDevice::SetOtherProperty(REFGUID, LPCDIPROPHEADER) {
  kit::LogOnce("dinput", "SetProperty", "properties other than DIPROP_BUFFERSIZE are not supported on this device");
  return DIERR_UNSUPPORTED;
}

HRESULT InputDevice::Acquire() {
  if (!m_format) return DIERR_INVALIDPARAM;
  CheckFocus();
  if (m_acquired) return DI_NOEFFECT;
  if (Unplugged()) return DIERR_UNPLUGGED;
  if (m_foreground && !WindowHasFocus()) return DIERR_OTHERAPPHASPRIO;
  m_acquired = true;
  m_lost = false;
  m_queue.Clear();
  OnAcquired();
  return DI_OK;
}

HRESULT InputDevice::Unacquire() {
  m_lost = false;
  if (!m_acquired) return DI_NOEFFECT;
  m_acquired = false;
  OnUnacquired();
  return DI_OK;
}

HRESULT InputDevice::GetDeviceState(DWORD size, LPVOID data) {
  CheckFocus();
  if (!m_acquired) return NotAcquiredResult();
  if (!data || size != m_format->dwDataSize) return DIERR_INVALIDPARAM;
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
  if (!m_acquired) return NotAcquiredResult();
  if (m_queue.Capacity() == 0) return DIERR_NOTBUFFERED;
  BeforeRead();
  *count = m_queue.Take(data, wanted, (flags & DIGDD_PEEK) != 0);
  if ((flags & DIGDD_PEEK) == 0 && m_queue.TakeOverflow()) return DI_BUFFEROVERFLOW;
  return DI_OK;
}

HRESULT InputDevice::SetDataFormat(LPCDIDATAFORMAT format) {
  if (!format || !AcceptsFormat(format)) return DIERR_INVALIDPARAM;
  if (m_acquired) return DIERR_ACQUIRED;
  m_format = format;
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
  if (m_acquired) return DIERR_ACQUIRED;
  m_window = window;
  m_foreground = (level & DISCL_FOREGROUND) != 0;
  return DI_OK;
}

HRESULT InputDevice::Poll() {
  CheckFocus();
  return m_acquired ? DI_NOEFFECT : NotAcquiredResult();
}

DWORD InputDevice::NextSequence() {
  return m_parent->NextSequence();
}

void InputDevice::Queue(DWORD offset, DWORD value, DWORD timestamp, DWORD sequence) {
  m_queue.Push({offset, value, timestamp, sequence, 0});
}

void InputDevice::LoseAcquisition() {
  if (!m_acquired) return;
  m_acquired = false;
  m_lost = true;
  m_queue.Clear();
  OnUnacquired();
}

void InputDevice::HandleEvent(const SDL_Event& event) {
  if (!m_acquired) return;
  if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_FOCUS_LOST && m_foreground &&
      event.window.windowID == SDL_GetWindowID(Win32SdlWindow(m_window))) {
    LoseAcquisition();
    return;
  }
  OnEvent(event);
}

void InputDevice::CheckFocus() {
  if (m_acquired && m_foreground && !WindowHasFocus()) LoseAcquisition();
}

bool InputDevice::WindowHasFocus() const {
  SDL_Window* window = Win32SdlWindow(m_window);
  return window && (SDL_GetWindowFlags(window) & SDL_WINDOW_INPUT_FOCUS) != 0;
}

HRESULT InputDevice::NotAcquiredResult() {
  if (!m_lost) return DIERR_NOTACQUIRED;
  m_lost = false;
  return DIERR_INPUTLOST;
}
