#include "platform/dinput/KeyboardDevice.h"

#include <SDL.h>

#include <cstring>

#include "platform/dinput/KeyCodes.h"

namespace {
std::u16string KeyName(int scancode) {
  const char* name = SDL_GetScancodeName(static_cast<SDL_Scancode>(scancode));
  return std::u16string(name, name + std::strlen(name));  // SDL's key names are ASCII
}
}  // namespace

std::vector<InputDevice::Object> KeyboardDevice::Objects() const {
  std::vector<Object> objects;
  std::array<bool, 256> seen{};
  for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode) {
    const BYTE dik = DikFromScancode(scancode);
    if (dik == 0 || seen[dik]) continue;
    seen[dik] = true;
    objects.push_back({GUID_Key, dik, DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(dik), KeyName(scancode)});
  }
  return objects;
}

void KeyboardDevice::FillCaps(DIDEVCAPS& caps) const {
  caps.dwDevType = DI8DEVTYPE_KEYBOARD | (4u << 8);  // enhanced 101/102-key keyboard
  caps.dwButtons = static_cast<DWORD>(Objects().size());
}

void KeyboardDevice::ReadState(void* data) {
  std::memcpy(data, keys_.data(), keys_.size());
}

void KeyboardDevice::OnEvent(const SDL_Event& event) {
  if (event.type != SDL_KEYDOWN && event.type != SDL_KEYUP) return;
  if (event.key.repeat) return;
  const BYTE dik = DikFromScancode(event.key.keysym.scancode);
  if (dik == 0) return;
  const BYTE value = event.type == SDL_KEYDOWN ? 0x80 : 0x00;
  keys_[dik] = value;
  Queue(dik, value, event.key.timestamp, NextSequence());
}

void KeyboardDevice::OnAcquired() {
  int count = 0;
  const Uint8* state = SDL_GetKeyboardState(&count);
  keys_.fill(0);
  for (int scancode = 0; scancode < count; ++scancode)
    if (state[scancode])
      if (const BYTE dik = DikFromScancode(scancode)) keys_[dik] = 0x80;
}
