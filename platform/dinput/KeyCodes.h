// SDL scancodes to DirectInput key codes.
#pragma once

#include "platform/dinput/dinput.h"

// The DIK_ code of an SDL scancode (an SDL_Scancode value), or 0 when the key has none.
BYTE DikFromScancode(int scancode);
