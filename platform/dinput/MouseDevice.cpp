#include "platform/dinput/MouseDevice.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>

#include "platform/kit/LogOnce.h"

namespace {
constexpr LONG kWheelNotch = 120;

// SDL numbers buttons 1 left, 2 middle, 3 right, 4 and 5 the side buttons; DirectInput
// 0 left, 1 right, 2 middle.
int ButtonIndex(Uint8 sdlButton) {
  switch (sdlButton) {
    case SDL_BUTTON_LEFT:
      return 0;
    case SDL_BUTTON_RIGHT:
      return 1;
    case SDL_BUTTON_MIDDLE:
      return 2;
    default:
      return sdlButton - 1;
  }
}
}  // namespace

std::vector<InputDevice::Object> MouseDevice::Objects() const {
  std::vector<Object> objects = {
      {GUID_XAxis, DIMOFS_X, DIDFT_RELAXIS | DIDFT_MAKEINSTANCE(0), u"X-axis"},
      {GUID_YAxis, DIMOFS_Y, DIDFT_RELAXIS | DIDFT_MAKEINSTANCE(1), u"Y-axis"},
      {GUID_ZAxis, DIMOFS_Z, DIDFT_RELAXIS | DIDFT_MAKEINSTANCE(2), u"Wheel"},
  };
  for (DWORD i = 0; i < ButtonCount(); ++i)
    objects.push_back({GUID_Button, DIMOFS_BUTTON0 + i, DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(3 + i),
                       u"Button " + std::u16string(1, static_cast<char16_t>(u'0' + i))});
  return objects;
}

void MouseDevice::FillCaps(DIDEVCAPS& caps) const {
  caps.dwDevType = DI8DEVTYPE_MOUSE | (2u << 8);  // ordinary mouse
  caps.dwAxes = 3;
  caps.dwButtons = ButtonCount();
}

void MouseDevice::ReadState(void* data) {
  DIMOUSESTATE2 state{};
  for (int axis = 0; axis < 3; ++axis) {
    (&state.lX)[axis] = absolute_ ? position_[axis] : position_[axis] - readAt_[axis];
    readAt_[axis] = position_[axis];
  }
  std::memcpy(state.rgbButtons, buttons_.data(), ButtonCount());
  std::memcpy(data, &state, Format()->dwDataSize);
}

HRESULT MouseDevice::SetOtherProperty(REFGUID property, LPCDIPROPHEADER header) {
  if (property != DIPROP_AXISMODE) {
    kit::LogOnce("dinput", "SetProperty",
                 "mouse properties other than the buffer size and axis mode are not supported");
    return DIERR_UNSUPPORTED;
  }
  if (header->dwSize != sizeof(DIPROPDWORD) || header->dwHow != DIPH_DEVICE || header->dwObj != 0)
    return DIERR_INVALIDPARAM;
  const DWORD mode = reinterpret_cast<const DIPROPDWORD*>(header)->dwData;
  if (mode != DIPROPAXISMODE_ABS && mode != DIPROPAXISMODE_REL) return DIERR_INVALIDPARAM;
  absolute_ = mode == DIPROPAXISMODE_ABS;
  return DI_OK;
}

void MouseDevice::Move(int axis, LONG delta, DWORD timestamp, DWORD sequence) {
  if (delta == 0) return;
  position_[axis] += delta;
  const LONG value = absolute_ ? position_[axis] : delta;
  Queue(static_cast<DWORD>(axis) * 4, static_cast<DWORD>(value), timestamp, sequence);
}

void MouseDevice::OnEvent(const SDL_Event& event) {
  switch (event.type) {
    case SDL_MOUSEMOTION: {
      const DWORD sequence = NextSequence();  // X and Y of one motion are simultaneous
      Move(0, event.motion.xrel, event.motion.timestamp, sequence);
      Move(1, event.motion.yrel, event.motion.timestamp, sequence);
      break;
    }
    case SDL_MOUSEWHEEL: {
      LONG notches = event.wheel.y;
      if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) notches = -notches;
      Move(2, notches * kWheelNotch, event.wheel.timestamp, NextSequence());
      break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
      const int index = ButtonIndex(event.button.button);
      if (index < 0 || static_cast<DWORD>(index) >= ButtonCount()) break;
      const BYTE value = event.type == SDL_MOUSEBUTTONDOWN ? 0x80 : 0x00;
      if (heldAtAcquire_[index]) {
        heldAtAcquire_[index] = false;
        if (value) break;  // the focusing press, arriving after the focus
      }
      buttons_[index] = value;
      Queue(DIMOFS_BUTTON0 + index, value, event.button.timestamp, NextSequence());
      break;
    }
    default:
      break;
  }
}

void MouseDevice::BeforeRead() {
  if (std::find(heldAtAcquire_.begin(), heldAtAcquire_.end(), true) == heldAtAcquire_.end()) return;
  // Every event the display had sent was handled before this read: a press still to come now
  // is a new one.
  const Uint32 held = SDL_GetGlobalMouseState(nullptr, nullptr);
  for (Uint8 sdlButton = 1; sdlButton <= 8; ++sdlButton) {
    const int index = ButtonIndex(sdlButton);
    if (index >= 0 && index < 8 && !(held & SDL_BUTTON(sdlButton))) heldAtAcquire_[index] = false;
  }
}

void MouseDevice::OnAcquired() {
  // The buttons whose press was seen, and those the pointer holds down right now (asked of the
  // display, not of the events handled so far).
  const Uint32 seen = SDL_GetMouseState(nullptr, nullptr);
  const Uint32 held = SDL_GetGlobalMouseState(nullptr, nullptr);
  buttons_.fill(0);
  heldAtAcquire_.fill(false);
  for (Uint8 sdlButton = 1; sdlButton <= 8; ++sdlButton) {
    const int index = ButtonIndex(sdlButton);
    if (index < 0 || index >= 8) continue;
    if ((seen | held) & SDL_BUTTON(sdlButton)) buttons_[index] = 0x80;
    // Its press may still be on its way, or already gone by unreported: either way the next
    // event of this button that counts is its release.
    heldAtAcquire_[index] = (held & SDL_BUTTON(sdlButton)) != 0;
  }
  readAt_ = position_;
}
