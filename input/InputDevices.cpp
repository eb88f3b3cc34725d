#include "input/InputDevices.h"

#include <cstring>

#include "platform/win32/win32.h"

namespace {

constexpr BYTE Bit7(DWORD value) {
  return (value & 0x80) ? 1 : 0;
}

HRESULT SetDword(IDirectInputDevice8W* device, REFGUID property, DWORD value) {
  DIPROPDWORD prop{};
  prop.diph.dwSize = sizeof(prop);
  prop.diph.dwHeaderSize = sizeof(prop.diph);
  prop.diph.dwObj = 0;
  prop.diph.dwHow = DIPH_DEVICE;
  prop.dwData = value;
  return device->SetProperty(property, &prop.diph);
}

template <typename T>
void ReleaseDevice(T*& device) {
  if (!device) return;
  device->Unacquire();
  device->Release();
  device = nullptr;
}

// floor(a / b) for b > 0.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) {
  return a >= 0 ? a / b : -((-a + b - 1) / b);
}

}  // namespace

CInputDevices::CInputDevices(IDirect3DDevice9* device) : m_device(device) {}

CInputDevices::~CInputDevices() {
  ReleaseInput();
}

HRESULT CInputDevices::InitInput(HINSTANCE instance, HWND window) {
  m_window = window;
  HRESULT hr = DirectInput8Create(instance, DIRECTINPUT_VERSION, IID_IDirectInput8W,
                                  reinterpret_cast<void**>(&m_directInput), nullptr);
  if (FAILED(hr)) return hr;

  if (FAILED(hr = m_directInput->CreateDevice(GUID_SysKeyboard, &m_keyboard, nullptr))) return hr;
  if (FAILED(hr = m_keyboard->SetDataFormat(&c_dfDIKeyboard))) return hr;
  if (FAILED(hr = m_keyboard->SetCooperativeLevel(window, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE))) return hr;
  if (FAILED(hr = SetDword(m_keyboard, DIPROP_BUFFERSIZE, kBufferSize))) return hr;
  m_keyboard->Acquire();

  if (FAILED(hr = m_directInput->CreateDevice(GUID_SysMouse, &m_mouse, nullptr))) return hr;
  // A mouse that cannot be set up ends initialisation as a success, without joysticks.
  if (FAILED(m_mouse->SetDataFormat(&c_dfDIMouse2))) return S_OK;
  if (FAILED(m_mouse->SetCooperativeLevel(window, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE))) return S_OK;
  if (FAILED(SetDword(m_mouse, DIPROP_AXISMODE, DIPROPAXISMODE_REL))) return S_OK;
  if (FAILED(SetDword(m_mouse, DIPROP_BUFFERSIZE, kBufferSize))) return S_OK;
  m_mouse->Acquire();

  m_joystickLimit = joyGetNumDevs();
  if (FAILED(hr = m_directInput->EnumDevices(DI8DEVCLASS_GAMECTRL, OnJoystickFound, this, DIEDFL_ATTACHEDONLY)))
    return hr;
  if (m_joystickCount > 0) m_joystickStates = std::make_unique<JoystickState[]>(m_joystickCount);
  for (DWORD i = 0; i < m_joystickCount; ++i) {
    IDirectInputDevice8W* joystick = m_joysticks[i];
    if (FAILED(hr = joystick->SetDataFormat(&c_dfDIJoystick))) return hr;
    if (FAILED(hr = joystick->SetCooperativeLevel(window, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE))) return hr;
    if (FAILED(hr = joystick->EnumObjects(OnJoystickAxis, joystick, DIDFT_AXIS))) return hr;
    if (FAILED(hr = SetDword(joystick, DIPROP_AXISMODE, DIPROPAXISMODE_ABS))) return hr;
    if (FAILED(hr = SetDword(joystick, DIPROP_BUFFERSIZE, kBufferSize))) return hr;
    joystick->Acquire();
    m_joystickStates[i] = JoystickState{};
  }

  RECT client{};
  GetClientRect(window, &client);
  m_clientWidth = client.right - client.left;
  m_clientHeight = client.bottom - client.top;
  return S_OK;
}

BOOL CALLBACK CInputDevices::OnJoystickFound(LPCDIDEVICEINSTANCEW instance, LPVOID context) {
  auto* self = static_cast<CInputDevices*>(context);
  IDirectInputDevice8W*& slot = self->m_joysticks[self->m_joystickCount];
  if (FAILED(self->m_directInput->CreateDevice(instance->guidInstance, &slot, nullptr))) {
    slot = nullptr;
    return DIENUM_CONTINUE;
  }
  slot->GetCapabilities(&self->m_devCaps);
  ++self->m_joystickCount;
  return self->m_joystickCount != self->m_joystickLimit && self->m_joystickCount < kMaxJoysticks ? DIENUM_CONTINUE
                                                                                                 : DIENUM_STOP;
}

BOOL CALLBACK CInputDevices::OnJoystickAxis(LPCDIDEVICEOBJECTINSTANCEW object, LPVOID context) {
  auto* joystick = static_cast<IDirectInputDevice8W*>(context);
  DIPROPRANGE range{};
  range.diph.dwSize = sizeof(range);
  range.diph.dwHeaderSize = sizeof(range.diph);
  range.diph.dwObj = object->dwType;
  range.diph.dwHow = DIPH_BYID;
  range.lMin = -1000;
  range.lMax = 1000;
  return FAILED(joystick->SetProperty(DIPROP_RANGE, &range.diph)) ? DIENUM_STOP : DIENUM_CONTINUE;
}

int CInputDevices::ReadEvents(IDirectInputDevice8W* device, bool* missedEvents) {
  DWORD count = kBufferSize;
  HRESULT hr = device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), m_events, &count, 0);
  *missedEvents = false;
  if (FAILED(hr)) {
    // Lost or not yet acquired: one attempt to get the device back per poll. Whatever
    // happened while it was away was not buffered.
    if (device->Acquire() != DI_OK) return -1;
    *missedEvents = true;
    count = kBufferSize;
    hr = device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), m_events, &count, 0);
    if (FAILED(hr)) return 0;
  }
  // An overflow still delivers the events kept, in order; only later ones were dropped.
  if (hr == DI_BUFFEROVERFLOW) *missedEvents = true;
  return static_cast<int>(count);
}

HRESULT CInputDevices::PollPointer() {
  std::memcpy(m_prevMouseButtons, m_mouseButtons, sizeof(m_mouseButtons));
  m_mouseLatch.StartPoll(m_mouseButtons);
  POINT cursor{};
  GetCursorPos(&cursor);
  ScreenToClient(m_window, &cursor);
  ScaleToBackBuffer(cursor);
  m_pointerX = cursor.x;
  m_pointerY = cursor.y;
  m_mouseDx = m_mouseDy = m_wheel = 0;
  if (!m_mouse) return S_OK;

  bool overflowed = false;
  const int count = ReadEvents(m_mouse, &overflowed);
  if (count < 0) return E_FAIL;
  for (int i = 0; i < count; ++i) {
    const DIDEVICEOBJECTDATA& event = m_events[i];
    const LONG value = static_cast<LONG>(event.dwData);
    if (event.dwOfs == DIMOFS_X)
      m_mouseDx += value;
    else if (event.dwOfs == DIMOFS_Y)
      m_mouseDy += value;
    else if (event.dwOfs == DIMOFS_Z)
      m_wheel += value;
    else if (event.dwOfs >= DIMOFS_BUTTON0 && event.dwOfs <= DIMOFS_BUTTON7)
      m_mouseLatch.Apply(m_mouseButtons, event.dwOfs - DIMOFS_BUTTON0, Bit7(event.dwData));
  }
  // Events were dropped or missed, a release among them perhaps: a button that is up now is
  // released so that none stays stuck down. One that is down now stays as it was: its press
  // was not seen here (it may be the click that brought the window to the front).
  DIMOUSESTATE2 state{};
  if (overflowed && SUCCEEDED(m_mouse->GetDeviceState(sizeof(state), &state)))
    for (int i = 0; i < 8; ++i)
      if (!Bit7(state.rgbButtons[i])) m_mouseLatch.Apply(m_mouseButtons, i, 0);
  return S_OK;
}

HRESULT CInputDevices::PollKeyboard() {
  if (!m_keyboard) return S_OK;
  m_keyLatch.StartPoll(m_keys);
  bool overflowed = false;
  const int count = ReadEvents(m_keyboard, &overflowed);
  if (count < 0) return E_FAIL;
  for (int i = 0; i < count; ++i) m_keyLatch.Apply(m_keys, m_events[i].dwOfs, Bit7(m_events[i].dwData));
  // As for the mouse: the state read now releases keys, never presses one.
  BYTE state[256];
  if (overflowed && SUCCEEDED(m_keyboard->GetDeviceState(sizeof(state), state)))
    for (int i = 0; i < 256; ++i)
      if (!Bit7(state[i])) m_keyLatch.Apply(m_keys, i, 0);
  return S_OK;
}

HRESULT CInputDevices::PollJoysticks() {
  for (DWORD j = 0; j < m_joystickCount; ++j) {
    IDirectInputDevice8W* joystick = m_joysticks[j];
    if (FAILED(joystick->Poll())) {
      if (joystick->Acquire() != DI_OK) return E_FAIL;
      joystick->Poll();
    }
    DWORD count = kBufferSize;
    if (FAILED(joystick->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), m_events, &count, 0))) count = 0;

    JoystickState& state = m_joystickStates[j];
    std::memset(state.buttons, 0, sizeof(state.buttons));
    state.up = state.down = state.left = state.right = 0;
    for (DWORD i = 0; i < count; ++i) {
      const DIDEVICEOBJECTDATA& event = m_events[i];
      if (event.dwOfs == DIJOFS_X)
        state.x = static_cast<LONG>(event.dwData);
      else if (event.dwOfs == DIJOFS_Y)
        state.y = static_cast<LONG>(event.dwData);
      else if (event.dwOfs >= DIJOFS_BUTTON0 && event.dwOfs <= DIJOFS_BUTTON31 && Bit7(event.dwData))
        state.buttons[event.dwOfs - DIJOFS_BUTTON0] = 1;  // a release in the same poll leaves the press
    }
    state.up = state.y <= -m_thresholdY;
    state.down = state.y >= m_thresholdY;
    state.right = state.x >= m_thresholdX;
    state.left = state.x <= -m_thresholdX;
  }
  return S_OK;
}

void CInputDevices::ReleaseInput() {
  ReleaseDevice(m_keyboard);
  ReleaseDevice(m_mouse);
  for (DWORD j = 0; j < kMaxJoysticks; ++j) ReleaseDevice(m_joysticks[j]);
  m_joystickStates.reset();
  m_joystickCount = 0;
  m_mouseLatch.Clear();
  m_keyLatch.Clear();
  if (m_directInput) {
    m_directInput->Release();
    m_directInput = nullptr;
  }
}

void CInputDevices::ScaleToBackBuffer(POINT& point) const {
  if (!m_device) return;
  RECT client{};
  if (!GetClientRect(m_window, &client)) return;
  const std::int64_t clientWidth = client.right - client.left;
  const std::int64_t clientHeight = client.bottom - client.top;
  IDirect3DSurface9* backBuffer = nullptr;
  if (FAILED(m_device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer)) || !backBuffer) return;
  D3DSURFACE_DESC desc{};
  const HRESULT hr = backBuffer->GetDesc(&desc);
  backBuffer->Release();
  if (FAILED(hr) || clientWidth <= 0 || clientHeight <= 0) return;
  // The back buffer is stretched over the client area: a client pixel shows the back-buffer
  // pixel that its top-left corner falls in.
  if (desc.Width != clientWidth) point.x = static_cast<LONG>(FloorDiv(std::int64_t{point.x} * desc.Width, clientWidth));
  if (desc.Height != clientHeight)
    point.y = static_cast<LONG>(FloorDiv(std::int64_t{point.y} * desc.Height, clientHeight));
}
