// Virtual-key codes from SDL keys, and the key state queries.
#include <SDL.h>

#include "platform/win32/Win32State.h"

namespace {

struct KeyPair {
  int vk;
  SDL_Keycode sdl;
};

constexpr KeyPair kKeys[] = {
    {VK_BACK, SDLK_BACKSPACE},
    {VK_TAB, SDLK_TAB},
    {VK_RETURN, SDLK_RETURN},
    {VK_RETURN, SDLK_KP_ENTER},
    {VK_PAUSE, SDLK_PAUSE},
    {VK_CAPITAL, SDLK_CAPSLOCK},
    {VK_ESCAPE, SDLK_ESCAPE},
    {VK_SPACE, SDLK_SPACE},
    {VK_PRIOR, SDLK_PAGEUP},
    {VK_NEXT, SDLK_PAGEDOWN},
    {VK_END, SDLK_END},
    {VK_HOME, SDLK_HOME},
    {VK_LEFT, SDLK_LEFT},
    {VK_UP, SDLK_UP},
    {VK_RIGHT, SDLK_RIGHT},
    {VK_DOWN, SDLK_DOWN},
    {VK_SNAPSHOT, SDLK_PRINTSCREEN},
    {VK_INSERT, SDLK_INSERT},
    {VK_DELETE, SDLK_DELETE},
    {VK_LWIN, SDLK_LGUI},
    {VK_RWIN, SDLK_RGUI},
    {VK_APPS, SDLK_APPLICATION},
    {VK_MULTIPLY, SDLK_KP_MULTIPLY},
    {VK_ADD, SDLK_KP_PLUS},
    {VK_SUBTRACT, SDLK_KP_MINUS},
    {VK_DECIMAL, SDLK_KP_PERIOD},
    {VK_DIVIDE, SDLK_KP_DIVIDE},
    {VK_NUMLOCK, SDLK_NUMLOCKCLEAR},
    {VK_SCROLL, SDLK_SCROLLLOCK},
    {VK_SHIFT, SDLK_LSHIFT},
    {VK_SHIFT, SDLK_RSHIFT},
    {VK_CONTROL, SDLK_LCTRL},
    {VK_CONTROL, SDLK_RCTRL},
    {VK_MENU, SDLK_LALT},
    {VK_MENU, SDLK_RALT},
    {VK_OEM_1, SDLK_SEMICOLON},
    {VK_OEM_PLUS, SDLK_EQUALS},
    {VK_OEM_PLUS, SDLK_PLUS},  // layouts where "+" is a key of its own
    {VK_OEM_COMMA, SDLK_COMMA},
    {VK_OEM_MINUS, SDLK_MINUS},
    {VK_OEM_PERIOD, SDLK_PERIOD},
    {VK_OEM_2, SDLK_SLASH},
    {VK_OEM_3, SDLK_BACKQUOTE},
    {VK_OEM_4, SDLK_LEFTBRACKET},
    {VK_OEM_5, SDLK_BACKSLASH},
    {VK_OEM_6, SDLK_RIGHTBRACKET},
    {VK_OEM_7, SDLK_QUOTE},
};

SDL_Keycode SdlFromVk(int vk) {
  if (vk >= 'A' && vk <= 'Z') return SDLK_a + (vk - 'A');
  if (vk >= '0' && vk <= '9') return vk;
  if (vk >= VK_F1 && vk <= VK_F12) return SDLK_F1 + (vk - VK_F1);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) return vk == VK_NUMPAD0 ? SDLK_KP_0 : SDLK_KP_1 + (vk - VK_NUMPAD0 - 1);
  for (const auto& k : kKeys)
    if (k.vk == vk) return k.sdl;
  return SDLK_UNKNOWN;
}

}  // namespace

int Win32VkFromSdl(const SDL_Keysym& key) {
  const SDL_Keycode c = key.sym;
  if (c >= SDLK_a && c <= SDLK_z) return 'A' + (c - SDLK_a);
  if (c >= SDLK_0 && c <= SDLK_9) return c;
  if (c >= SDLK_F1 && c <= SDLK_F12) return VK_F1 + (c - SDLK_F1);
  if (c == SDLK_KP_0) return VK_NUMPAD0;
  if (c >= SDLK_KP_1 && c <= SDLK_KP_9) return VK_NUMPAD0 + 1 + (c - SDLK_KP_1);
  for (const auto& k : kKeys)
    if (k.sdl == c) return k.vk;
  // Layouts whose keys give no Latin key symbols: fall back on the key's position.
  const SDL_Scancode sc = key.scancode;
  if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z) return 'A' + (sc - SDL_SCANCODE_A);
  if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9) return '1' + (sc - SDL_SCANCODE_1);
  if (sc == SDL_SCANCODE_0) return '0';
  return 0;
}

SHORT GetAsyncKeyState(int vk) {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return 0;
  bool down = false;
  if (vk == VK_LBUTTON || vk == VK_RBUTTON || vk == VK_MBUTTON) {
    const Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
    const int b = vk == VK_LBUTTON ? SDL_BUTTON_LEFT : vk == VK_RBUTTON ? SDL_BUTTON_RIGHT : SDL_BUTTON_MIDDLE;
    down = buttons & SDL_BUTTON(b);
  } else if (vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU) {
    const SDL_Keymod mod = SDL_GetModState();
    down = vk == VK_SHIFT ? (mod & KMOD_SHIFT) : vk == VK_CONTROL ? (mod & KMOD_CTRL) : (mod & KMOD_ALT);
  } else {
    const SDL_Keycode key = SdlFromVk(vk);
    if (key == SDLK_UNKNOWN) return 0;
    int count = 0;
    const Uint8* state = SDL_GetKeyboardState(&count);
    const SDL_Scancode sc = SDL_GetScancodeFromKey(key);
    down = sc > 0 && sc < count && state[sc];
  }
  return down ? static_cast<SHORT>(0x8000) : 0;
}

SHORT GetKeyState(int vk) {
  return GetAsyncKeyState(vk);
}
