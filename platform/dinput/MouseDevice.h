// The system mouse: X, Y and the wheel as relative axes (or running sums in absolute mode),
// and 4 or 8 buttons depending on the data format.
#pragma once

#include <array>

#include "platform/dinput/InputDevice.h"

class MouseDevice : public InputDevice {
 public:
  using InputDevice::InputDevice;

 protected:
  bool AcceptsFormat(LPCDIDATAFORMAT format) const override {
    return format == &c_dfDIMouse || format == &c_dfDIMouse2;
  }
  std::vector<Object> Objects() const override;
  void FillCaps(DIDEVCAPS& caps) const override;
  void ReadState(void* data) override;
  HRESULT SetOtherProperty(REFGUID property, LPCDIPROPHEADER header) override;
  void OnEvent(const SDL_Event& event) override;
  void OnAcquired() override;
  void BeforeRead() override;

 private:
  DWORD ButtonCount() const { return Format() == &c_dfDIMouse ? 4 : 8; }
  void Move(int axis, LONG delta, DWORD timestamp, DWORD sequence);

  bool absolute_ = false;
  std::array<LONG, 3> position_{};  // running sums of the motion
  std::array<LONG, 3> readAt_{};    // the sums at the last GetDeviceState (relative mode)
  std::array<BYTE, 8> buttons_{};
  // Buttons already held on the pointer when the device was acquired: their press belongs to
  // the click that brought the window to the front, which a window manager may hand on only
  // after the focus, so that press is not reported; the release is. A button found up again
  // before its press came (a window manager that keeps the focusing click) loses the mark.
  std::array<bool, 8> heldAtAcquire_{};
};
