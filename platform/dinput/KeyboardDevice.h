// The system keyboard: one button per DIK_ code, events from SDL key events (repeats skipped).
#pragma once

#include <array>

#include "platform/dinput/InputDevice.h"

class KeyboardDevice : public InputDevice {
 public:
  using InputDevice::InputDevice;

 protected:
  bool AcceptsFormat(LPCDIDATAFORMAT format) const override { return format == &c_dfDIKeyboard; }
  std::vector<Object> Objects() const override;
  void FillCaps(DIDEVCAPS& caps) const override;
  void ReadState(void* data) override;
  void OnEvent(const SDL_Event& event) override;
  void OnAcquired() override;
  void OnUnacquired() override { keys_.fill(0); }

 private:
  std::array<BYTE, 256> keys_{};
};
