// The mouse, keyboard and joysticks through DirectInput, polled once per frame. The scene and
// its buttons read the fields directly: the pointer, the wheel change of the frame and the
// mouse buttons now and in the previous poll (a press is down now and up before). Every
// device is read from its buffer; a press and a release within one poll (a tap) count as a
// press in that poll and a release in the next, so the tap still has its edges. Re-reading a
// device's state after lost events may release a button or key, never press one: a button
// held down while the window was away (the click that brought it to the front) is no press.
// Window thread only.
#pragma once

#include <memory>

#include "input/ButtonLatch.h"
#include "platform/d3d9/d3d9.h"
#include "platform/dinput/dinput.h"

struct JoystickState {
  BYTE buttons[32];            // 1 = pressed in this poll
  BYTE up, down, left, right;  // 1 = the stick is at or beyond the threshold that way
  LONG x, y;                   // last reported axis values, -1000 to 1000
};

class CInputDevices {
 public:
  static constexpr DWORD kMaxJoysticks = 16;
  static constexpr DWORD kBufferSize = 256;

  // The pointer is reported in pixels of the device's back buffer (null device: client pixels).
  explicit CInputDevices(IDirect3DDevice9* device);
  ~CInputDevices();  // releases whatever ReleaseInput has not
  CInputDevices(const CInputDevices&) = delete;
  CInputDevices& operator=(const CInputDevices&) = delete;

  // Creates DirectInput and the keyboard, mouse and joystick devices bound to the window; the
  // first failing call's code, 0 otherwise. A mouse that cannot be set up leaves no joysticks.
  HRESULT InitInput(HINSTANCE instance, HWND window);
  // Each 0, or E_FAIL when a lost device cannot be re-acquired (the fields keep their values).
  HRESULT PollPointer();
  HRESULT PollKeyboard();
  HRESULT PollJoysticks();
  // Unacquires and releases every device and DirectInput; the object may be initialised again.
  void ReleaseInput();

  static BOOL CALLBACK OnJoystickFound(LPCDIDEVICEINSTANCEW instance, LPVOID context);
  static BOOL CALLBACK OnJoystickAxis(LPCDIDEVICEOBJECTINSTANCEW object, LPVOID context);

  BYTE m_keys[256] = {};  // by DIK_ code: 1 down
  LONG m_pointerX = 0;    // the pointer in back-buffer pixels of the window's picture
  LONG m_pointerY = 0;
  LONG m_mouseDx = 0;  // relative motion of this poll, window pixels
  LONG m_mouseDy = 0;
  LONG m_wheel = 0;             // wheel motion of this poll, 120 a notch, positive away from the user
  BYTE m_mouseButtons[8] = {};  // 0 left, 1 right, 2 middle: 1 down
  BYTE m_prevMouseButtons[8] = {};
  DWORD m_joystickCount = 0;
  DWORD m_joystickLimit = 0;
  std::unique_ptr<JoystickState[]> m_joystickStates;
  LONG m_thresholdX = 1000;
  LONG m_thresholdY = 1000;
  LONG m_clientWidth = 0;  // the client area at initialisation
  LONG m_clientHeight = 0;
  HWND m_window = nullptr;
  IDirectInput8W* m_directInput = nullptr;
  IDirectInputDevice8W* m_keyboard = nullptr;
  IDirectInputDevice8W* m_mouse = nullptr;
  IDirectInputDevice8W* m_joysticks[kMaxJoysticks] = {};
  DIDEVCAPS m_devCaps = {sizeof(DIDEVCAPS), 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  DIDEVICEOBJECTDATA m_events[kBufferSize] = {};

 private:
  // Reads the device's buffered events into m_events; on failure re-acquires once and reads
  // again. The number of events read, or -1 when the device stays lost. missedEvents tells
  // that the buffer lost events (overflow, re-acquisition): the caller then re-reads the state.
  int ReadEvents(IDirectInputDevice8W* device, bool* missedEvents);
  // The client position scaled to the back buffer when the two sizes differ.
  void ScaleToBackBuffer(POINT& point) const;

  IDirect3DDevice9* m_device;
  CButtonLatch m_mouseLatch{8};
  CButtonLatch m_keyLatch{256};
};
