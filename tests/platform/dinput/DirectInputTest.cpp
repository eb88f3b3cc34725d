// The DirectInput stand-in on a real focused X window, driven with xdotool (and SDL's
// virtual joysticks, the one joystick that can exist here).
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/InputTestWindow.h"

namespace {

struct Event {
  DWORD offset;
  LONG value;
  bool operator==(const Event&) const = default;
};

class DirectInputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(w.hwnd, nullptr);
    ASSERT_EQ(DirectInput8Create(GetModuleHandleW(nullptr), DIRECTINPUT_VERSION, IID_IDirectInput8W,
                                 reinterpret_cast<void**>(&di), nullptr),
              DI_OK);
  }
  void TearDown() override {
    for (IDirectInputDevice8W* device : devices) EXPECT_EQ(device->Release(), 0u);
    if (di) {
      EXPECT_EQ(di->Release(), 0u);
    }
  }

  IDirectInputDevice8W* Open(REFGUID guid, LPCDIDATAFORMAT format, DWORD bufferSize = 256) {
    IDirectInputDevice8W* device = nullptr;
    EXPECT_EQ(di->CreateDevice(guid, &device, nullptr), DI_OK);
    if (!device) return nullptr;
    devices.push_back(device);
    EXPECT_EQ(device->SetDataFormat(format), DI_OK);
    EXPECT_EQ(device->SetCooperativeLevel(w.hwnd, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE), DI_OK);
    EXPECT_EQ(SetBufferSize(device, bufferSize), DI_OK);
    EXPECT_EQ(device->Acquire(), DI_OK);
    return device;
  }
  static HRESULT SetBufferSize(IDirectInputDevice8W* device, DWORD size) {
    DIPROPDWORD prop{{sizeof(DIPROPDWORD), sizeof(DIPROPHEADER), 0, DIPH_DEVICE}, size};
    return device->SetProperty(DIPROP_BUFFERSIZE, &prop.diph);
  }
  // Takes every queued event.
  static std::vector<Event> Take(IDirectInputDevice8W* device, HRESULT* result = nullptr) {
    DIDEVICEOBJECTDATA data[512];
    DWORD count = 512;
    const HRESULT hr = device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA), data, &count, 0);
    if (result) *result = hr;
    std::vector<Event> events;
    for (DWORD i = 0; i < count; ++i) events.push_back({data[i].dwOfs, static_cast<LONG>(data[i].dwData)});
    return events;
  }
  static std::vector<Event> Without(std::vector<Event> events, std::initializer_list<DWORD> offsets) {
    std::erase_if(events, [&](const Event& e) {
      for (DWORD offset : offsets)
        if (e.offset == offset) return true;
      return false;
    });
    return events;
  }

  InputTestWindow w;
  IDirectInput8W* di = nullptr;
  std::vector<IDirectInputDevice8W*> devices;
};

TEST_F(DirectInputTest, KeysArriveAsTheirDikCodesAndStayDownUntilReleased) {
  IDirectInputDevice8W* keyboard = Open(GUID_SysKeyboard, &c_dfDIKeyboard);
  ASSERT_NE(keyboard, nullptr);
  const struct {
    const char* keysym;
    DWORD dik;
  } keys[] = {{"a", DIK_A},           {"Return", DIK_RETURN},        {"Left", DIK_LEFT},
              {"F12", DIK_F12},       {"KP_Enter", DIK_NUMPADENTER}, {"Control_R", DIK_RCONTROL},
              {"Delete", DIK_DELETE}, {"KP_Divide", DIK_DIVIDE},     {"space", DIK_SPACE}};
  for (const auto& key : keys) {
    SCOPED_TRACE(key.keysym);
    w.Xdo({"keydown", key.keysym});
    ASSERT_TRUE(w.WaitQueued(keyboard, 1, key.dik));
    BYTE state[256];
    ASSERT_EQ(keyboard->GetDeviceState(sizeof(state), state), DI_OK);
    EXPECT_EQ(state[key.dik], 0x80);
    w.Xdo({"keyup", key.keysym});
    ASSERT_TRUE(w.WaitQueued(keyboard, 2, key.dik));
    std::vector<Event> events = Take(keyboard);
    std::erase_if(events, [&](const Event& e) { return e.offset != key.dik; });  // modifiers xdotool adds
    EXPECT_EQ(events, (std::vector<Event>{{key.dik, 0x80}, {key.dik, 0}}));
    ASSERT_EQ(keyboard->GetDeviceState(sizeof(state), state), DI_OK);
    EXPECT_EQ(state[key.dik], 0);
  }
}

TEST_F(DirectInputTest, MouseReportsMotionWheelAndButtonsInDirectInputUnits) {
  w.MoveTo(300, 200);
  IDirectInputDevice8W* mouse = Open(GUID_SysMouse, &c_dfDIMouse2);
  ASSERT_NE(mouse, nullptr);

  w.Xdo({"mousemove_relative", "--sync", "--", "7", "-3"});
  ASSERT_TRUE(w.WaitQueued(mouse, 1, DIMOFS_Y));
  LONG dx = 0, dy = 0;
  for (const Event& e : Take(mouse)) (e.offset == DIMOFS_X ? dx : dy) += e.value;
  EXPECT_EQ(dx, 7);
  EXPECT_EQ(dy, -3);

  // Wheel away from the user (X button 4), towards (5), then left, right and middle clicks.
  for (const char* button : {"4", "5", "1", "3", "2"}) w.Xdo({"click", button});
  ASSERT_TRUE(w.WaitQueued(mouse, 2, DIMOFS_BUTTON2));
  const std::vector<Event> expected = {{DIMOFS_Z, 120},        {DIMOFS_Z, -120},       {DIMOFS_BUTTON0, 0x80},
                                       {DIMOFS_BUTTON0, 0},    {DIMOFS_BUTTON1, 0x80}, {DIMOFS_BUTTON1, 0},
                                       {DIMOFS_BUTTON2, 0x80}, {DIMOFS_BUTTON2, 0}};
  EXPECT_EQ(Without(Take(mouse), {DIMOFS_X, DIMOFS_Y}), expected);
}

TEST_F(DirectInputTest, AFullBufferKeepsTheOldest256AndReportsTheOverflowOnce) {
  w.MoveTo(300, 200);
  IDirectInputDevice8W* keyboard = Open(GUID_SysKeyboard, &c_dfDIKeyboard);
  IDirectInputDevice8W* mouse = Open(GUID_SysMouse, &c_dfDIMouse2, 1000);  // holds 256 at most
  ASSERT_TRUE(keyboard && mouse);

  w.Xdo({"click", "--repeat", "300", "--delay", "0", "4"});
  // X delivers in order: once the key is in, every wheel event has been seen.
  w.Xdo({"key", "x"});
  ASSERT_TRUE(w.WaitQueued(keyboard, 2, DIK_X));

  HRESULT hr = DI_OK;
  const std::vector<Event> kept = Take(mouse, &hr);
  EXPECT_EQ(hr, DI_BUFFEROVERFLOW);
  EXPECT_EQ(kept, std::vector<Event>(256, Event{DIMOFS_Z, 120}));
  EXPECT_TRUE(Take(mouse, &hr).empty());
  EXPECT_EQ(hr, DI_OK);
}

TEST_F(DirectInputTest, ForegroundDevicesFollowTheWindowFocus) {
  IDirectInputDevice8W* keyboard = Open(GUID_SysKeyboard, &c_dfDIKeyboard);
  ASSERT_NE(keyboard, nullptr);
  EXPECT_EQ(keyboard->Acquire(), DI_NOEFFECT);

  HWND other = w.CreateOther();
  ASSERT_TRUE(w.Focus(other));
  HRESULT hr = DI_OK;
  Take(keyboard, &hr);
  EXPECT_EQ(hr, DIERR_INPUTLOST);
  Take(keyboard, &hr);
  EXPECT_EQ(hr, DIERR_NOTACQUIRED);
  EXPECT_EQ(keyboard->Acquire(), DIERR_OTHERAPPHASPRIO);
  w.Xdo({"key", "b"});  // typed into the other window: never queued

  ASSERT_TRUE(w.Focus(w.hwnd));
  EXPECT_EQ(keyboard->Acquire(), DI_OK);
  EXPECT_TRUE(Take(keyboard, &hr).empty());
  EXPECT_EQ(hr, DI_OK);
  w.Xdo({"key", "c"});
  ASSERT_TRUE(w.WaitQueued(keyboard, 2, DIK_C));
  EXPECT_EQ(Take(keyboard), (std::vector<Event>{{DIK_C, 0x80}, {DIK_C, 0}}));
}

TEST_F(DirectInputTest, JoystickAxesScaleToTheirRangeAndHatsButtonsQueue) {
  const int index = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, 2, 3, 1);
  ASSERT_GE(index, 0) << SDL_GetError();
  SDL_Joystick* stick = SDL_JoystickOpen(index);
  ASSERT_NE(stick, nullptr);

  std::vector<DIDEVICEINSTANCEW> found;
  ASSERT_EQ(di->EnumDevices(
                DI8DEVCLASS_GAMECTRL,
                [](LPCDIDEVICEINSTANCEW instance, LPVOID context) -> BOOL {
                  static_cast<std::vector<DIDEVICEINSTANCEW>*>(context)->push_back(*instance);
                  return DIENUM_CONTINUE;
                },
                &found, DIEDFL_ATTACHEDONLY),
            DI_OK);
  ASSERT_EQ(found.size(), 1u);
  IDirectInputDevice8W* joystick = nullptr;
  ASSERT_EQ(di->CreateDevice(found[0].guidInstance, &joystick, nullptr), DI_OK);
  devices.push_back(joystick);
  ASSERT_EQ(joystick->SetDataFormat(&c_dfDIJoystick), DI_OK);
  ASSERT_EQ(joystick->SetCooperativeLevel(w.hwnd, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE), DI_OK);

  // Axis 0 by id to -1000..1000, axis 1 by offset to 0..100; an object that is no axis fails.
  std::vector<DWORD> axes;
  joystick->EnumObjects(
      [](LPCDIDEVICEOBJECTINSTANCEW object, LPVOID context) -> BOOL {
        static_cast<std::vector<DWORD>*>(context)->push_back(object->dwType);
        return DIENUM_CONTINUE;
      },
      &axes, DIDFT_AXIS);
  ASSERT_EQ(axes.size(), 2u);
  DIPROPRANGE range{{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), axes[0], DIPH_BYID}, -1000, 1000};
  EXPECT_EQ(joystick->SetProperty(DIPROP_RANGE, &range.diph), DI_OK);
  range = {{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), DIJOFS_Y, DIPH_BYOFFSET}, 0, 100};
  EXPECT_EQ(joystick->SetProperty(DIPROP_RANGE, &range.diph), DI_OK);
  range = {{sizeof(DIPROPRANGE), sizeof(DIPROPHEADER), DIJOFS_Z, DIPH_BYOFFSET}, 0, 100};
  EXPECT_EQ(joystick->SetProperty(DIPROP_RANGE, &range.diph), DIERR_OBJECTNOTFOUND);
  ASSERT_EQ(SetBufferSize(joystick, 256), DI_OK);
  ASSERT_EQ(joystick->Acquire(), DI_OK);

  SDL_JoystickSetVirtualAxis(stick, 0, -32768);
  SDL_JoystickSetVirtualAxis(stick, 1, 32767);
  SDL_JoystickSetVirtualButton(stick, 2, SDL_PRESSED);
  SDL_JoystickSetVirtualHat(stick, 0, SDL_HAT_RIGHT);
  ASSERT_TRUE(w.WaitQueued(joystick, 1, DIJOFS_POV(0)));
  // SDL reports the axes' starting values first; the last event of each object counts.
  std::map<DWORD, LONG> last;
  for (const Event& e : Take(joystick)) last[e.offset] = e.value;
  const std::map<DWORD, LONG> expected = {
      {DIJOFS_X, -1000}, {DIJOFS_Y, 100}, {DIJOFS_BUTTON(2), 0x80}, {DIJOFS_POV(0), 9000}};
  EXPECT_EQ(last, expected);
  EXPECT_EQ(joystick->Poll(), DI_NOEFFECT);
  DIJOYSTATE state{};
  ASSERT_EQ(joystick->GetDeviceState(sizeof(state), &state), DI_OK);
  EXPECT_EQ(state.lX, -1000);
  EXPECT_EQ(state.lY, 100);
  EXPECT_EQ(state.rgbButtons[2], 0x80);
  EXPECT_EQ(state.rgdwPOV[0], 9000u);
  EXPECT_EQ(state.rgdwPOV[1], 0xFFFFFFFFu);

  SDL_JoystickSetVirtualAxis(stick, 0, 0);
  ASSERT_TRUE(w.WaitQueued(joystick, 1, DIJOFS_X));
  EXPECT_EQ(Take(joystick), (std::vector<Event>{{DIJOFS_X, 0}}));
  SDL_JoystickClose(stick);
  SDL_JoystickDetachVirtual(index);
}

TEST_F(DirectInputTest, CallsOutsideTheContractFailWithTheirCodes) {
  void* out = nullptr;
  EXPECT_EQ(DirectInput8Create(nullptr, 0x0700, IID_IDirectInput8W, &out, nullptr), DIERR_OLDDIRECTINPUTVERSION);
  EXPECT_EQ(DirectInput8Create(nullptr, 0x0900, IID_IDirectInput8W, &out, nullptr), DIERR_BETADIRECTINPUTVERSION);
  EXPECT_EQ(DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IUnknown, &out, nullptr), DIERR_NOINTERFACE);
  EXPECT_EQ(out, nullptr);
  IDirectInputDevice8W* device = nullptr;
  EXPECT_EQ(di->CreateDevice(IID_IUnknown, &device, nullptr), DIERR_DEVICENOTREG);
  EXPECT_EQ(device, nullptr);

  ASSERT_EQ(di->CreateDevice(GUID_SysKeyboard, &device, nullptr), DI_OK);
  devices.push_back(device);
  EXPECT_EQ(device->Acquire(), DIERR_INVALIDPARAM);  // no data format yet
  EXPECT_EQ(device->SetDataFormat(&c_dfDIMouse), DIERR_INVALIDPARAM);
  EXPECT_EQ(device->SetDataFormat(&c_dfDIKeyboard), DI_OK);
  EXPECT_EQ(device->SetCooperativeLevel(w.hwnd, DISCL_FOREGROUND | DISCL_EXCLUSIVE), DIERR_UNSUPPORTED);
  EXPECT_EQ(device->SetCooperativeLevel(nullptr, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE), DIERR_INVALIDPARAM);
  EXPECT_EQ(device->SetCooperativeLevel(w.hwnd, DISCL_FOREGROUND | DISCL_NONEXCLUSIVE), DI_OK);
  HRESULT hr = DI_OK;
  Take(device, &hr);
  EXPECT_EQ(hr, DIERR_NOTACQUIRED);
  ASSERT_EQ(device->Acquire(), DI_OK);
  Take(device, &hr);
  EXPECT_EQ(hr, DIERR_NOTBUFFERED);  // no buffer size set
  EXPECT_EQ(SetBufferSize(device, 16), DIERR_ACQUIRED);
  DIDEVICEOBJECTDATA data[4];
  DWORD count = 4;
  EXPECT_EQ(device->GetDeviceData(sizeof(DIDEVICEOBJECTDATA) - 4, data, &count, 0), DIERR_INVALIDPARAM);
  EXPECT_EQ(count, 0u);
  BYTE state[128];
  EXPECT_EQ(device->GetDeviceState(sizeof(state), state), DIERR_INVALIDPARAM);
  DIDEVCAPS caps{};
  EXPECT_EQ(device->GetCapabilities(&caps), DIERR_INVALIDPARAM);  // dwSize not set
}

}  // namespace
