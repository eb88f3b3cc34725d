// DirectInput 8 stand-in on SDL2: the contract of the layer.
//
// Only what the program calls: the DirectInput object, the system keyboard and mouse and the
// attached joysticks, with buffered data and immediate state. Names, arguments, structures and
// result codes are DirectInput 8's.
//
// Events: every device listens to the SDL events that the window layer's message pump takes
// (Win32AddSdlEventListener). While a device is acquired, each event for it is queued in its
// buffer (DIPROP_BUFFERSIZE events, at most 256); when the buffer is full, further events are
// dropped and the next GetDeviceData returns DI_BUFFEROVERFLOW (a success code) with the events
// that were kept. Events that arrive while a device is not acquired are not queued.
//
// Acquisition: a DISCL_FOREGROUND device can be acquired only while its window has the
// keyboard focus (otherwise Acquire returns DIERR_OTHERAPPHASPRIO). When the window loses the
// focus the device is unacquired by the layer: the next read returns DIERR_INPUTLOST, later
// reads DIERR_NOTACQUIRED, until Acquire succeeds again. Acquire on an acquired device returns
// DI_NOEFFECT (S_FALSE). Exclusive levels are not supported (DIERR_UNSUPPORTED).
//
// Units: keyboard events carry the DIK_ code as offset and 0x80 (down) or 0 (up); mouse
// motion is in window pixels, relative by default (DIPROPAXISMODE_ABS reports the running
// sum); the wheel (DIMOFS_Z) moves 120 a notch, positive away from the user; mouse buttons
// 0 left, 1 right, 2 middle, 3 and 4 the side buttons, up to 7. Joystick axes are scaled to
// the range set with DIPROP_RANGE (default 0 to 65535); axes 0-5 are X, Y, Z, Rx, Ry, Rz,
// 6-7 the sliders; hats are POVs in hundredths of a degree clockwise from north (0xFFFFFFFF
// centred). Joysticks are SDL's (SDL_INIT_JOYSTICK is started by DirectInput8Create).
//
// Data formats: only the predefined c_dfDIKeyboard, c_dfDIMouse, c_dfDIMouse2, c_dfDIJoystick
// and c_dfDIJoystick2, each on its kind of device; any other gives DIERR_INVALIDPARAM.
//
// Threads: every call, and every callback, runs on the window's thread (the one that pumps
// the window layer's messages). Objects count references; a device holds a reference on the
// DirectInput object that created it. Errors never cross this edge as exceptions.
#pragma once

#include "platform/kit/wintypes.h"

#define DIRECTINPUT_VERSION 0x0800

// Result codes.
#define MAKE_DIHRESULT(code) MAKE_HRESULT(1, 4, code)
constexpr HRESULT DI_OK = S_OK;
constexpr HRESULT DI_NOEFFECT = S_FALSE;
constexpr HRESULT DI_PROPNOEFFECT = S_FALSE;
constexpr HRESULT DI_BUFFEROVERFLOW = S_FALSE;
constexpr HRESULT DIERR_INVALIDPARAM = E_INVALIDARG;
constexpr HRESULT DIERR_NOINTERFACE = E_NOINTERFACE;
constexpr HRESULT DIERR_UNSUPPORTED = E_NOTIMPL;
constexpr HRESULT DIERR_OUTOFMEMORY = E_OUTOFMEMORY;
constexpr HRESULT DIERR_GENERIC = E_FAIL;
constexpr HRESULT DIERR_OLDDIRECTINPUTVERSION = static_cast<HRESULT>(0x8007047Eu);
constexpr HRESULT DIERR_BETADIRECTINPUTVERSION = static_cast<HRESULT>(0x80070481u);
constexpr HRESULT DIERR_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
constexpr HRESULT DIERR_DEVICENOTREG = REGDB_E_CLASSNOTREG;
constexpr HRESULT DIERR_OBJECTNOTFOUND = static_cast<HRESULT>(0x80070002u);
constexpr HRESULT DIERR_OTHERAPPHASPRIO = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT DIERR_NOTACQUIRED = static_cast<HRESULT>(0x8007000Cu);
constexpr HRESULT DIERR_INPUTLOST = static_cast<HRESULT>(0x8007001Eu);
constexpr HRESULT DIERR_ACQUIRED = static_cast<HRESULT>(0x800700AAu);
constexpr HRESULT DIERR_NOTBUFFERED = MAKE_DIHRESULT(0x207);
constexpr HRESULT DIERR_UNPLUGGED = MAKE_DIHRESULT(0x209);

// Class and interface ids.
inline constexpr IID IID_IDirectInput8W = {
    0xBF798031, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};
inline constexpr IID IID_IDirectInputDevice8W = {
    0x54D41081, 0xDC15, 0x4833, {0xA4, 0x1B, 0x74, 0x8F, 0x73, 0xA3, 0x81, 0x79}};
inline constexpr GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// Object types reported by EnumObjects.
inline constexpr GUID GUID_XAxis = {0xA36D02E0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_YAxis = {0xA36D02E1, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_ZAxis = {0xA36D02E2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_RxAxis = {0xA36D02F4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_RyAxis = {0xA36D02F5, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_RzAxis = {0xA36D02E3, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Slider = {0xA36D02E4, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Button = {0xA36D02F0, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_Key = {0x55728220, 0xD33C, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr GUID GUID_POV = {0xA36D02F2, 0xC9F3, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// Properties. The layer gives each property a GUID of its own; SetProperty compares by value.
inline constexpr GUID DIPROP_BUFFERSIZE = {
    0x4F524201, 0x0000, 0x0000, {0x44, 0x49, 0x50, 0x52, 0x4F, 0x50, 0x00, 0x01}};
inline constexpr GUID DIPROP_AXISMODE = {0x4F524202, 0x0000, 0x0000, {0x44, 0x49, 0x50, 0x52, 0x4F, 0x50, 0x00, 0x02}};
inline constexpr GUID DIPROP_RANGE = {0x4F524204, 0x0000, 0x0000, {0x44, 0x49, 0x50, 0x52, 0x4F, 0x50, 0x00, 0x04}};
#define DIPROPAXISMODE_ABS 0u
#define DIPROPAXISMODE_REL 1u
#define DIPH_DEVICE 0u
#define DIPH_BYOFFSET 1u
#define DIPH_BYID 2u

// Enumeration.
#define DIENUM_STOP 0
#define DIENUM_CONTINUE 1
#define DI8DEVCLASS_ALL 0u
#define DI8DEVCLASS_DEVICE 1u
#define DI8DEVCLASS_POINTER 2u
#define DI8DEVCLASS_KEYBOARD 3u
#define DI8DEVCLASS_GAMECTRL 4u
#define DI8DEVTYPE_MOUSE 0x12u
#define DI8DEVTYPE_KEYBOARD 0x13u
#define DI8DEVTYPE_JOYSTICK 0x14u
#define DI8DEVTYPE_GAMEPAD 0x15u
#define DIEDFL_ALLDEVICES 0u
#define DIEDFL_ATTACHEDONLY 1u
#define DIDC_ATTACHED 0x1u
#define DIDC_POLLEDDEVICE 0x2u

// Object type flags (the dwType of an object and the filter of EnumObjects).
#define DIDFT_ALL 0x00000000u
#define DIDFT_RELAXIS 0x00000001u
#define DIDFT_ABSAXIS 0x00000002u
#define DIDFT_AXIS 0x00000003u
#define DIDFT_PSHBUTTON 0x00000004u
#define DIDFT_TGLBUTTON 0x00000008u
#define DIDFT_BUTTON 0x0000000Cu
#define DIDFT_POV 0x00000010u
#define DIDFT_MAKEINSTANCE(n) (static_cast<DWORD>(static_cast<WORD>(n)) << 8)
#define DIDFT_GETINSTANCE(n) (static_cast<WORD>((static_cast<DWORD>(n) >> 8) & 0xFFFF))
#define DIDFT_GETTYPE(n) (static_cast<BYTE>((n)&0xFF))

// Cooperative levels.
#define DISCL_EXCLUSIVE 0x1u
#define DISCL_NONEXCLUSIVE 0x2u
#define DISCL_FOREGROUND 0x4u
#define DISCL_BACKGROUND 0x8u
#define DISCL_NOWINKEY 0x10u

// GetDeviceData flags.
#define DIGDD_PEEK 0x1u
#define INFINITE 0xFFFFFFFFu

struct DIDEVICEOBJECTDATA {
  DWORD dwOfs;        // the object: DIK_ code, DIMOFS_ or DIJOFS_ offset
  DWORD dwData;       // the value; signed values (motion, axes) are a LONG in two's complement
  DWORD dwTimeStamp;  // milliseconds (SDL's event clock)
  DWORD dwSequence;   // increasing across all devices of one DirectInput object; equal = simultaneous
  UINT_PTR uAppData;
};
using LPDIDEVICEOBJECTDATA = DIDEVICEOBJECTDATA*;

struct DIDEVCAPS {
  DWORD dwSize;  // must be sizeof(DIDEVCAPS)
  DWORD dwFlags;
  DWORD dwDevType;
  DWORD dwAxes;
  DWORD dwButtons;
  DWORD dwPOVs;
  DWORD dwFFSamplePeriod;
  DWORD dwFFMinTimeResolution;
  DWORD dwFirmwareRevision;
  DWORD dwHardwareRevision;
  DWORD dwFFDriverVersion;
};
using LPDIDEVCAPS = DIDEVCAPS*;

struct DIDEVICEINSTANCEW {
  DWORD dwSize;
  GUID guidInstance;  // what CreateDevice takes
  GUID guidProduct;
  DWORD dwDevType;
  WCHAR tszInstanceName[MAX_PATH];
  WCHAR tszProductName[MAX_PATH];
  GUID guidFFDriver;
  WORD wUsagePage;
  WORD wUsage;
};
using LPCDIDEVICEINSTANCEW = const DIDEVICEINSTANCEW*;

struct DIDEVICEOBJECTINSTANCEW {
  DWORD dwSize;
  GUID guidType;
  DWORD dwOfs;   // offset in the device's data format; 0xFFFFFFFF before SetDataFormat
  DWORD dwType;  // DIDFT_ type | DIDFT_MAKEINSTANCE(n): what DIPH_BYID takes
  DWORD dwFlags;
  WCHAR tszName[MAX_PATH];
  DWORD dwFFMaxForce;
  DWORD dwFFForceResolution;
  WORD wCollectionNumber;
  WORD wDesignatorIndex;
  WORD wUsagePage;
  WORD wUsage;
  DWORD dwDimension;
  WORD wExponent;
  WORD wReportId;
};
using LPCDIDEVICEOBJECTINSTANCEW = const DIDEVICEOBJECTINSTANCEW*;

using LPDIENUMDEVICESCALLBACKW = BOOL(CALLBACK*)(LPCDIDEVICEINSTANCEW instance, LPVOID context);
using LPDIENUMDEVICEOBJECTSCALLBACKW = BOOL(CALLBACK*)(LPCDIDEVICEOBJECTINSTANCEW object, LPVOID context);

struct DIPROPHEADER {
  DWORD dwSize;        // size of the whole property structure
  DWORD dwHeaderSize;  // sizeof(DIPROPHEADER)
  DWORD dwObj;         // 0 for DIPH_DEVICE, an offset for DIPH_BYOFFSET, a dwType for DIPH_BYID
  DWORD dwHow;
};
using LPDIPROPHEADER = DIPROPHEADER*;
using LPCDIPROPHEADER = const DIPROPHEADER*;
struct DIPROPDWORD {
  DIPROPHEADER diph;
  DWORD dwData;
};
struct DIPROPRANGE {
  DIPROPHEADER diph;
  LONG lMin;
  LONG lMax;
};

struct DIOBJECTDATAFORMAT {
  const GUID* pguid;
  DWORD dwOfs;
  DWORD dwType;
  DWORD dwFlags;
};
// The predefined formats below carry their size only; their object lists are not exposed.
struct DIDATAFORMAT {
  DWORD dwSize;
  DWORD dwObjSize;
  DWORD dwFlags;
  DWORD dwDataSize;  // bytes GetDeviceState fills
  DWORD dwNumObjs;
  DIOBJECTDATAFORMAT* rgodf;
};
using LPCDIDATAFORMAT = const DIDATAFORMAT*;
extern const DIDATAFORMAT c_dfDIKeyboard;   // 256 bytes, one per DIK_ code
extern const DIDATAFORMAT c_dfDIMouse;      // DIMOUSESTATE: 3 axes, 4 buttons
extern const DIDATAFORMAT c_dfDIMouse2;     // DIMOUSESTATE2: 3 axes, 8 buttons
extern const DIDATAFORMAT c_dfDIJoystick;   // DIJOYSTATE: 8 axes, 4 POVs, 32 buttons
extern const DIDATAFORMAT c_dfDIJoystick2;  // DIJOYSTATE2: as DIJOYSTATE with 128 buttons (rest 0)

struct DIMOUSESTATE {
  LONG lX, lY, lZ;
  BYTE rgbButtons[4];
};
struct DIMOUSESTATE2 {
  LONG lX, lY, lZ;
  BYTE rgbButtons[8];
};
struct DIJOYSTATE {
  LONG lX, lY, lZ;
  LONG lRx, lRy, lRz;
  LONG rglSlider[2];
  DWORD rgdwPOV[4];
  BYTE rgbButtons[32];
};
struct DIJOYSTATE2 {
  LONG lX, lY, lZ;
  LONG lRx, lRy, lRz;
  LONG rglSlider[2];
  DWORD rgdwPOV[4];
  BYTE rgbButtons[128];
  LONG lVX, lVY, lVZ, lVRx, lVRy, lVRz;
  LONG rglVSlider[2];
  LONG lAX, lAY, lAZ, lARx, lARy, lARz;
  LONG rglASlider[2];
  LONG lFX, lFY, lFZ, lFRx, lFRy, lFRz;
  LONG rglFSlider[2];
};

// Offsets of the objects in the predefined formats (the dwOfs of buffered events).
#define DIMOFS_X 0u
#define DIMOFS_Y 4u
#define DIMOFS_Z 8u
#define DIMOFS_BUTTON0 12u
#define DIMOFS_BUTTON1 13u
#define DIMOFS_BUTTON2 14u
#define DIMOFS_BUTTON3 15u
#define DIMOFS_BUTTON4 16u
#define DIMOFS_BUTTON5 17u
#define DIMOFS_BUTTON6 18u
#define DIMOFS_BUTTON7 19u
#define DIJOFS_X 0u
#define DIJOFS_Y 4u
#define DIJOFS_Z 8u
#define DIJOFS_RX 12u
#define DIJOFS_RY 16u
#define DIJOFS_RZ 20u
#define DIJOFS_SLIDER(n) (24u + 4u * (n))
#define DIJOFS_POV(n) (32u + 4u * (n))
#define DIJOFS_BUTTON(n) (48u + (n))
#define DIJOFS_BUTTON0 DIJOFS_BUTTON(0)
#define DIJOFS_BUTTON31 DIJOFS_BUTTON(31)

struct IDirectInputDevice8W : IUnknown {
  // Fills caps (dwSize must be sizeof(DIDEVCAPS), else DIERR_INVALIDPARAM).
  virtual HRESULT GetCapabilities(LPDIDEVCAPS caps) = 0;
  // Calls back once per object whose type matches the DIDFT_ filter (DIDFT_ALL: every one)
  // until the callback returns DIENUM_STOP.
  virtual HRESULT EnumObjects(LPDIENUMDEVICEOBJECTSCALLBACKW callback, LPVOID context, DWORD flags) = 0;
  // DIPROP_BUFFERSIZE (device; 0-256, larger values hold 256), DIPROP_AXISMODE (device; mouse
  // both modes, joystick ABS), DIPROP_RANGE (joystick axes; lMin < lMax). Only while not
  // acquired (DIERR_ACQUIRED); an unknown object gives DIERR_OBJECTNOTFOUND, a bad header or
  // value DIERR_INVALIDPARAM, a property the device lacks DIERR_UNSUPPORTED.
  virtual HRESULT SetProperty(REFGUID property, LPCDIPROPHEADER header) = 0;
  // DI_OK, DI_NOEFFECT when already acquired, DIERR_INVALIDPARAM before SetDataFormat,
  // DIERR_OTHERAPPHASPRIO for a foreground device whose window lacks the focus, DIERR_UNPLUGGED
  // for a joystick that was removed. Acquiring starts with an empty buffer.
  virtual HRESULT Acquire() = 0;
  virtual HRESULT Unacquire() = 0;  // DI_OK, or DI_NOEFFECT when not acquired
  // Copies the current state in the data format's layout; size must equal the format's size.
  virtual HRESULT GetDeviceState(DWORD size, LPVOID data) = 0;
  // Takes up to *count queued events (oldest first) into data (null data: discards them
  // without copying) and sets *count to the number taken; DIGDD_PEEK leaves them queued.
  // objectSize must be sizeof(DIDEVICEOBJECTDATA). Returns DI_OK, DI_BUFFEROVERFLOW once after
  // events were dropped, DIERR_NOTBUFFERED with buffer size 0, DIERR_INPUTLOST/NOTACQUIRED
  // while not acquired; on failure *count is 0.
  virtual HRESULT GetDeviceData(DWORD objectSize, LPDIDEVICEOBJECTDATA data, DWORD* count, DWORD flags) = 0;
  // Only while not acquired; only the format of the device's kind.
  virtual HRESULT SetDataFormat(LPCDIDATAFORMAT format) = 0;
  // window must be a window of the window layer; flags one of FOREGROUND/BACKGROUND with
  // NONEXCLUSIVE (DISCL_NOWINKEY is ignored).
  virtual HRESULT SetCooperativeLevel(HWND window, DWORD flags) = 0;
  // Events arrive through the message pump, so there is nothing to fetch: DI_NOEFFECT while
  // acquired, DIERR_INPUTLOST/NOTACQUIRED otherwise.
  virtual HRESULT Poll() = 0;
};
using LPDIRECTINPUTDEVICE8W = IDirectInputDevice8W*;

struct IDirectInput8W : IUnknown {
  // GUID_SysKeyboard, GUID_SysMouse or the guidInstance of an enumerated joystick; any other
  // gives DIERR_DEVICENOTREG, an outer object DIERR_NOAGGREGATION.
  virtual HRESULT CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE8W* device, LPUNKNOWN outer) = 0;
  // Calls back for the keyboard (DI8DEVCLASS_KEYBOARD), the mouse (DI8DEVCLASS_POINTER) and each
  // attached joystick (DI8DEVCLASS_GAMECTRL), DI8DEVCLASS_ALL for all, until DIENUM_STOP.
  virtual HRESULT EnumDevices(DWORD devClass, LPDIENUMDEVICESCALLBACKW callback, LPVOID context, DWORD flags) = 0;
};
using LPDIRECTINPUT8W = IDirectInput8W*;

// Creates the DirectInput object. version must be DIRECTINPUT_VERSION
// (DIERR_OLDDIRECTINPUTVERSION / DIERR_BETADIRECTINPUTVERSION otherwise), riid
// IID_IDirectInput8W (DIERR_NOINTERFACE), out non-null (DIERR_INVALIDPARAM), outer null
// (DIERR_NOAGGREGATION). The instance handle is not used. Starts SDL's joystick subsystem;
// when that fails the object works with no joysticks.
HRESULT DirectInput8Create(HINSTANCE instance, DWORD version, REFIID riid, LPVOID* out, LPUNKNOWN outer);

// Key codes (the keyboard's offsets and the index into its 256-byte state).
#define DIK_ESCAPE 0x01
#define DIK_1 0x02
#define DIK_2 0x03
#define DIK_3 0x04
#define DIK_4 0x05
#define DIK_5 0x06
#define DIK_6 0x07
#define DIK_7 0x08
#define DIK_8 0x09
#define DIK_9 0x0A
#define DIK_0 0x0B
#define DIK_MINUS 0x0C
#define DIK_EQUALS 0x0D
#define DIK_BACK 0x0E
#define DIK_TAB 0x0F
#define DIK_Q 0x10
#define DIK_W 0x11
#define DIK_E 0x12
#define DIK_R 0x13
#define DIK_T 0x14
#define DIK_Y 0x15
#define DIK_U 0x16
#define DIK_I 0x17
#define DIK_O 0x18
#define DIK_P 0x19
#define DIK_LBRACKET 0x1A
#define DIK_RBRACKET 0x1B
#define DIK_RETURN 0x1C
#define DIK_LCONTROL 0x1D
#define DIK_A 0x1E
#define DIK_S 0x1F
#define DIK_D 0x20
#define DIK_F 0x21
#define DIK_G 0x22
#define DIK_H 0x23
#define DIK_J 0x24
#define DIK_K 0x25
#define DIK_L 0x26
#define DIK_SEMICOLON 0x27
#define DIK_APOSTROPHE 0x28
#define DIK_GRAVE 0x29
#define DIK_LSHIFT 0x2A
#define DIK_BACKSLASH 0x2B
#define DIK_Z 0x2C
#define DIK_X 0x2D
#define DIK_C 0x2E
#define DIK_V 0x2F
#define DIK_B 0x30
#define DIK_N 0x31
#define DIK_M 0x32
#define DIK_COMMA 0x33
#define DIK_PERIOD 0x34
#define DIK_SLASH 0x35
#define DIK_RSHIFT 0x36
#define DIK_MULTIPLY 0x37
#define DIK_LMENU 0x38
#define DIK_SPACE 0x39
#define DIK_CAPITAL 0x3A
#define DIK_F1 0x3B
#define DIK_F2 0x3C
#define DIK_F3 0x3D
#define DIK_F4 0x3E
#define DIK_F5 0x3F
#define DIK_F6 0x40
#define DIK_F7 0x41
#define DIK_F8 0x42
#define DIK_F9 0x43
#define DIK_F10 0x44
#define DIK_NUMLOCK 0x45
#define DIK_SCROLL 0x46
#define DIK_NUMPAD7 0x47
#define DIK_NUMPAD8 0x48
#define DIK_NUMPAD9 0x49
#define DIK_SUBTRACT 0x4A
#define DIK_NUMPAD4 0x4B
#define DIK_NUMPAD5 0x4C
#define DIK_NUMPAD6 0x4D
#define DIK_ADD 0x4E
#define DIK_NUMPAD1 0x4F
#define DIK_NUMPAD2 0x50
#define DIK_NUMPAD3 0x51
#define DIK_NUMPAD0 0x52
#define DIK_DECIMAL 0x53
#define DIK_OEM_102 0x56
#define DIK_F11 0x57
#define DIK_F12 0x58
#define DIK_F13 0x64
#define DIK_F14 0x65
#define DIK_F15 0x66
#define DIK_KANA 0x70
#define DIK_ABNT_C1 0x73
#define DIK_CONVERT 0x79
#define DIK_NOCONVERT 0x7B
#define DIK_YEN 0x7D
#define DIK_ABNT_C2 0x7E
#define DIK_NUMPADEQUALS 0x8D
#define DIK_PREVTRACK 0x90
#define DIK_NEXTTRACK 0x99
#define DIK_NUMPADENTER 0x9C
#define DIK_RCONTROL 0x9D
#define DIK_MUTE 0xA0
#define DIK_CALCULATOR 0xA1
#define DIK_PLAYPAUSE 0xA2
#define DIK_MEDIASTOP 0xA4
#define DIK_VOLUMEDOWN 0xAE
#define DIK_VOLUMEUP 0xB0
#define DIK_WEBHOME 0xB2
#define DIK_NUMPADCOMMA 0xB3
#define DIK_DIVIDE 0xB5
#define DIK_SYSRQ 0xB7
#define DIK_RMENU 0xB8
#define DIK_PAUSE 0xC5
#define DIK_HOME 0xC7
#define DIK_UP 0xC8
#define DIK_PRIOR 0xC9
#define DIK_LEFT 0xCB
#define DIK_RIGHT 0xCD
#define DIK_END 0xCF
#define DIK_DOWN 0xD0
#define DIK_NEXT 0xD1
#define DIK_INSERT 0xD2
#define DIK_DELETE 0xD3
#define DIK_LWIN 0xDB
#define DIK_RWIN 0xDC
#define DIK_APPS 0xDD
#define DIK_POWER 0xDE
#define DIK_SLEEP 0xDF
#define DIK_WEBSEARCH 0xE5
#define DIK_WEBFORWARD 0xE9
#define DIK_WEBBACK 0xEA
#define DIK_MAIL 0xEC

// The number of joysticks the system's joystick driver supports (the Windows multimedia call):
// 16, the most the joystick driver numbers. Any thread.
UINT joyGetNumDevs();
