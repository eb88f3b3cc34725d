#include "platform/dinput/JoystickDevice.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/kit/LogOnce.h"

namespace {
constexpr DWORD kAxisOffsets[] = {DIJOFS_X,  DIJOFS_Y,  DIJOFS_Z,         DIJOFS_RX,
                                  DIJOFS_RY, DIJOFS_RZ, DIJOFS_SLIDER(0), DIJOFS_SLIDER(1)};
const GUID* const kAxisTypes[] = {&GUID_XAxis,  &GUID_YAxis,  &GUID_ZAxis,  &GUID_RxAxis,
                                  &GUID_RyAxis, &GUID_RzAxis, &GUID_Slider, &GUID_Slider};
constexpr DWORD kCentred = 0xFFFFFFFFu;

DWORD PovFromHat(Uint8 hat) {
  switch (hat) {
    case SDL_HAT_UP:
      return 0;
    case SDL_HAT_RIGHTUP:
      return 4500;
    case SDL_HAT_RIGHT:
      return 9000;
    case SDL_HAT_RIGHTDOWN:
      return 13500;
    case SDL_HAT_DOWN:
      return 18000;
    case SDL_HAT_LEFTDOWN:
      return 22500;
    case SDL_HAT_LEFT:
      return 27000;
    case SDL_HAT_LEFTUP:
      return 31500;
    default:
      return kCentred;
  }
}

std::u16string Numbered(const char16_t* name, int n) {
  std::u16string text = name;
  for (char c : std::to_string(n)) text.push_back(static_cast<char16_t>(c));
  return text;
}
}  // namespace

JoystickDevice::JoystickDevice(DirectInput8* parent, int instanceId) : InputDevice(parent), instanceId_(instanceId) {
  for (int index = 0; index < SDL_NumJoysticks(); ++index) {
    if (SDL_JoystickGetDeviceInstanceID(index) != instanceId) continue;
    joystick_ = SDL_JoystickOpen(index);
    break;
  }
  if (!joystick_) return;
  axes_ = std::clamp(SDL_JoystickNumAxes(joystick_), 0, kMaxAxes);
  buttons_ = std::clamp(SDL_JoystickNumButtons(joystick_), 0, 128);
  povs_ = std::clamp(SDL_JoystickNumHats(joystick_), 0, kMaxPovs);
}

JoystickDevice::~JoystickDevice() {
  if (joystick_) SDL_JoystickClose(joystick_);
}

bool JoystickDevice::Unplugged() const {
  return !joystick_ || !SDL_JoystickGetAttached(joystick_);
}

std::vector<InputDevice::Object> JoystickDevice::Objects() const {
  std::vector<Object> objects;
  for (int i = 0; i < axes_; ++i)
    objects.push_back({*kAxisTypes[i], kAxisOffsets[i], DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(i), Numbered(u"Axis ", i)});
  for (int i = 0; i < povs_; ++i)
    objects.push_back({GUID_POV, DIJOFS_POV(i), DIDFT_POV | DIDFT_MAKEINSTANCE(i), Numbered(u"Hat ", i)});
  for (int i = 0; i < buttons_; ++i)
    objects.push_back(
        {GUID_Button, DIJOFS_BUTTON(i), DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(i), Numbered(u"Button ", i)});
  return objects;
}

void JoystickDevice::FillCaps(DIDEVCAPS& caps) const {
  const bool gamepad = joystick_ && SDL_JoystickGetType(joystick_) == SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  caps.dwDevType = (gamepad ? DI8DEVTYPE_GAMEPAD : DI8DEVTYPE_JOYSTICK) | (1u << 8);
  caps.dwAxes = static_cast<DWORD>(axes_);
  caps.dwButtons = static_cast<DWORD>(buttons_);
  caps.dwPOVs = static_cast<DWORD>(povs_);
}

LONG JoystickDevice::Scale(int axis, int raw) const {
  // SDL's -32768..32767 onto min..max, rounded, so both ends land exactly on the limits.
  const Range& range = ranges_[axis];
  const std::int64_t span = static_cast<std::int64_t>(range.max) - range.min;
  return static_cast<LONG>(range.min + ((static_cast<std::int64_t>(raw) + 32768) * span + 32767) / 65535);
}

void JoystickDevice::ReadState(void* data) {
  DIJOYSTATE2 state{};
  LONG* axes = &state.lX;  // X, Y, Z, Rx, Ry, Rz, then the two sliders
  for (int i = 0; i < axes_; ++i) axes[i] = Scale(i, SDL_JoystickGetAxis(joystick_, i));
  for (int i = 0; i < kMaxPovs; ++i)
    state.rgdwPOV[i] = i < povs_ ? PovFromHat(SDL_JoystickGetHat(joystick_, i)) : kCentred;
  for (int i = 0; i < std::min(buttons_, ButtonLimit()); ++i)
    state.rgbButtons[i] = SDL_JoystickGetButton(joystick_, i) ? 0x80 : 0;
  std::memcpy(data, &state, Format()->dwDataSize);
}

int JoystickDevice::AxisOf(const DIPROPHEADER& header) const {
  if (header.dwHow == DIPH_BYID) {
    const int axis = DIDFT_GETINSTANCE(header.dwObj);
    return (DIDFT_GETTYPE(header.dwObj) & DIDFT_AXIS) && axis < axes_ ? axis : -1;
  }
  if (header.dwHow == DIPH_BYOFFSET)
    for (int i = 0; i < axes_; ++i)
      if (kAxisOffsets[i] == header.dwObj) return i;
  return -1;
}

HRESULT JoystickDevice::SetOtherProperty(REFGUID property, LPCDIPROPHEADER header) {
  if (property == DIPROP_AXISMODE) {
    if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE) return DIERR_INVALIDPARAM;
    if (reinterpret_cast<const DIPROPDWORD*>(header)->dwData == DIPROPAXISMODE_ABS) return DI_OK;
    kit::LogOnce("dinput", "SetProperty", "relative joystick axes are not supported");
    return DIERR_UNSUPPORTED;
  }
  if (property != DIPROP_RANGE) {
    kit::LogOnce("dinput", "SetProperty",
                 "joystick properties other than the buffer size, axis mode and range are not supported");
    return DIERR_UNSUPPORTED;
  }
  if (header->dwSize != sizeof(DIPROPRANGE)) return DIERR_INVALIDPARAM;
  const auto* range = reinterpret_cast<const DIPROPRANGE*>(header);
  if (range->lMin >= range->lMax) return DIERR_INVALIDPARAM;
  if (header->dwHow == DIPH_DEVICE) {
    if (header->dwObj != 0) return DIERR_INVALIDPARAM;
    ranges_.fill({range->lMin, range->lMax});
    return DI_OK;
  }
  if (header->dwHow != DIPH_BYID && header->dwHow != DIPH_BYOFFSET) return DIERR_INVALIDPARAM;
  const int axis = AxisOf(*header);
  if (axis < 0) return DIERR_OBJECTNOTFOUND;
  ranges_[axis] = {range->lMin, range->lMax};
  return DI_OK;
}

void JoystickDevice::OnEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_JOYAXISMOTION:
      if (event.jaxis.which != instanceId_ || event.jaxis.axis >= axes_) break;
      Queue(kAxisOffsets[event.jaxis.axis], static_cast<DWORD>(Scale(event.jaxis.axis, event.jaxis.value)),
            event.jaxis.timestamp, NextSequence());
      break;
    case SDL_JOYHATMOTION:
      if (event.jhat.which != instanceId_ || event.jhat.hat >= povs_) break;
      Queue(DIJOFS_POV(event.jhat.hat), PovFromHat(event.jhat.value), event.jhat.timestamp, NextSequence());
      break;
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP:
      if (event.jbutton.which != instanceId_ || event.jbutton.button >= std::min(buttons_, ButtonLimit())) break;
      Queue(DIJOFS_BUTTON(event.jbutton.button), event.jbutton.state == SDL_PRESSED ? 0x80u : 0u,
            event.jbutton.timestamp, NextSequence());
      break;
    case SDL_JOYDEVICEREMOVED:
      if (event.jdevice.which == instanceId_) LoseAcquisition();
      break;
    default:
      break;
  }
}
