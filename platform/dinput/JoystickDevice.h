// A joystick from SDL: up to 8 absolute axes scaled to their DIPROP_RANGE, up to 4 hats as
// POVs, up to 32 (c_dfDIJoystick) or 128 (c_dfDIJoystick2) buttons.
#pragma once

#include <array>

#include "platform/dinput/InputDevice.h"

struct _SDL_Joystick;

class JoystickDevice : public InputDevice {
 public:
  // Opens SDL's joystick with this instance id; Opened() tells whether that worked.
  JoystickDevice(DirectInput8* parent, int instanceId);
  ~JoystickDevice() override;
  bool Opened() const { return joystick_ != nullptr; }

 protected:
  bool AcceptsFormat(LPCDIDATAFORMAT format) const override {
    return format == &c_dfDIJoystick || format == &c_dfDIJoystick2;
  }
  std::vector<Object> Objects() const override;
  void FillCaps(DIDEVCAPS& caps) const override;
  void ReadState(void* data) override;
  HRESULT SetOtherProperty(REFGUID property, LPCDIPROPHEADER header) override;
  void OnEvent(const SDL_Event& event) override;
  bool Unplugged() const override;

 private:
  static constexpr int kMaxAxes = 8;
  static constexpr int kMaxPovs = 4;
  struct Range {
    LONG min = 0;
    LONG max = 65535;
  };

  int ButtonLimit() const { return Format() == &c_dfDIJoystick ? 32 : 128; }
  LONG Scale(int axis, int raw) const;
  // The axis an object id (DIPH_BYID) or offset (DIPH_BYOFFSET) names, or -1.
  int AxisOf(const DIPROPHEADER& header) const;

  _SDL_Joystick* joystick_ = nullptr;
  int instanceId_;
  int axes_ = 0;
  int buttons_ = 0;
  int povs_ = 0;
  std::array<Range, kMaxAxes> ranges_{};
};
