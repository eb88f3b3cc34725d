#include "platform/dinput/dinput.h"

namespace {
constexpr DIDATAFORMAT Format(DWORD dataSize) {
  return {sizeof(DIDATAFORMAT), sizeof(DIOBJECTDATAFORMAT), 0, dataSize, 0, nullptr};
}
}  // namespace

const DIDATAFORMAT c_dfDIKeyboard = Format(256);
const DIDATAFORMAT c_dfDIMouse = Format(sizeof(DIMOUSESTATE));
const DIDATAFORMAT c_dfDIMouse2 = Format(sizeof(DIMOUSESTATE2));
const DIDATAFORMAT c_dfDIJoystick = Format(sizeof(DIJOYSTATE));
const DIDATAFORMAT c_dfDIJoystick2 = Format(sizeof(DIJOYSTATE2));
