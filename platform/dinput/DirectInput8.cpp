#include "platform/dinput/DirectInput8.h"

#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/dinput/JoystickDevice.h"
#include "platform/dinput/KeyboardDevice.h"
#include "platform/dinput/MouseDevice.h"
#include "platform/kit/Guarded.h"

namespace {

// A joystick's instance guid carries SDL's instance id, which stays unique while it is attached.
constexpr std::uint32_t kJoystickTag = 0x4F524A53;

GUID JoystickGuid(SDL_JoystickID id) {
  GUID guid{kJoystickTag, 0, 0, {}};
  std::memcpy(guid.Data4, &id, sizeof(id));
  return guid;
}

bool JoystickIdFromGuid(const GUID& guid, SDL_JoystickID* id) {
  if (guid.Data1 != kJoystickTag || guid.Data2 != 0 || guid.Data3 != 0) return false;
  std::memcpy(id, guid.Data4, sizeof(*id));
  return true;
}

void CopyName(const char* utf8, WCHAR* out) {
  char* utf16 = SDL_iconv_string("UTF-16LE", "UTF-8", utf8 ? utf8 : "", std::strlen(utf8 ? utf8 : "") + 1);
  std::size_t n = 0;
  if (utf16) {
    std::size_t length = 0;
    while (length + 1 < MAX_PATH && (utf16[2 * length] || utf16[2 * length + 1])) ++length;
    for (; n < length; ++n)
      out[n] = static_cast<WCHAR>(static_cast<unsigned char>(utf16[2 * n]) |
                                  (static_cast<unsigned char>(utf16[2 * n + 1]) << 8));
    SDL_free(utf16);
  }
  out[n] = 0;
}

DIDEVICEINSTANCEW Instance(const GUID& guid, DWORD devType, const char* name) {
  DIDEVICEINSTANCEW instance{};
  instance.dwSize = sizeof(instance);
  instance.guidInstance = guid;
  instance.guidProduct = guid;
  instance.dwDevType = devType;
  CopyName(name, instance.tszInstanceName);
  CopyName(name, instance.tszProductName);
  return instance;
}

}  // namespace

DirectInput8::DirectInput8() {
  joystickSubsystem_ = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
  if (!joystickSubsystem_) std::fprintf(stderr, "DirectInput8Create: no joysticks: %s\n", SDL_GetError());
}

DirectInput8::~DirectInput8() {
  if (joystickSubsystem_) SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

HRESULT DirectInput8::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  if (riid == IID_IUnknown || riid == IID_IDirectInput8W) {
    AddRef();
    *ppv = static_cast<IDirectInput8W*>(this);
    return S_OK;
  }
  *ppv = nullptr;
  return E_NOINTERFACE;
}

HRESULT DirectInput8::CreateDevice(REFGUID guid, LPDIRECTINPUTDEVICE8W* device, LPUNKNOWN outer) {
  return kit::Guarded([&]() -> HRESULT {
    if (!device) return DIERR_INVALIDPARAM;
    *device = nullptr;
    if (outer) return DIERR_NOAGGREGATION;
    if (guid == GUID_SysKeyboard) {
      *device = new KeyboardDevice(this);
      return DI_OK;
    }
    if (guid == GUID_SysMouse) {
      *device = new MouseDevice(this);
      return DI_OK;
    }
    SDL_JoystickID id = 0;
    if (!joystickSubsystem_ || !JoystickIdFromGuid(guid, &id)) return DIERR_DEVICENOTREG;
    auto joystick = std::make_unique<JoystickDevice>(this, id);
    if (!joystick->Opened()) return DIERR_DEVICENOTREG;
    *device = joystick.release();
    return DI_OK;
  });
}

HRESULT DirectInput8::EnumDevices(DWORD devClass, LPDIENUMDEVICESCALLBACKW callback, LPVOID context, DWORD flags) {
  return kit::Guarded([&]() -> HRESULT {
    if (!callback || devClass > DI8DEVCLASS_GAMECTRL || (flags & ~DIEDFL_ATTACHEDONLY) != 0) return DIERR_INVALIDPARAM;
    // The list is taken first, so a callback may create devices while it runs.
    std::vector<DIDEVICEINSTANCEW> found;
    const bool all = devClass == DI8DEVCLASS_ALL;
    if (all || devClass == DI8DEVCLASS_KEYBOARD)
      found.push_back(Instance(GUID_SysKeyboard, DI8DEVTYPE_KEYBOARD | (4u << 8), "Keyboard"));
    if (all || devClass == DI8DEVCLASS_POINTER)
      found.push_back(Instance(GUID_SysMouse, DI8DEVTYPE_MOUSE | (2u << 8), "Mouse"));
    if ((all || devClass == DI8DEVCLASS_GAMECTRL) && joystickSubsystem_) {
      for (int index = 0; index < SDL_NumJoysticks(); ++index) {
        const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(index);
        if (id < 0) continue;
        const bool gamepad = SDL_JoystickGetDeviceType(index) == SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        found.push_back(Instance(JoystickGuid(id), (gamepad ? DI8DEVTYPE_GAMEPAD : DI8DEVTYPE_JOYSTICK) | (1u << 8),
                                 SDL_JoystickNameForIndex(index)));
        const SDL_JoystickGUID product = SDL_JoystickGetDeviceGUID(index);
        std::memcpy(&found.back().guidProduct, product.data, sizeof(GUID));
      }
    }
    for (const DIDEVICEINSTANCEW& instance : found)
      if (callback(&instance, context) == DIENUM_STOP) break;
    return DI_OK;
  });
}

HRESULT DirectInput8Create(HINSTANCE, DWORD version, REFIID riid, LPVOID* out, LPUNKNOWN outer) {
  return kit::Guarded([&]() -> HRESULT {
    if (!out) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (version < DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
    if (version > DIRECTINPUT_VERSION) return DIERR_BETADIRECTINPUTVERSION;
    if (outer) return DIERR_NOAGGREGATION;
    if (riid != IID_IDirectInput8W) return DIERR_NOINTERFACE;
    *out = static_cast<IDirectInput8W*>(new DirectInput8());
    return DI_OK;
  });
}

UINT joyGetNumDevs() {
  return 16;
}
