#include "platform/win32/DisplayCheck.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

bool Win32DisplayAvailable(std::string* why) {
  const char* driver = std::getenv("SDL_VIDEODRIVER");
  if (driver && *driver) return true;
  const char* display = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  if ((!display || !*display) && (!wayland || !*wayland)) {
    if (why) *why = "no display: neither DISPLAY nor WAYLAND_DISPLAY is set";
    return false;
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    if (why) *why = std::string("cannot open the display: ") + SDL_GetError();
    return false;
  }
  const char* current = SDL_GetCurrentVideoDriver();
  const bool visible = current && std::strcmp(current, "offscreen") != 0 && std::strcmp(current, "dummy") != 0;
  if (!visible && why) *why = std::string("cannot open the display ") + (display ? display : wayland);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return visible;
}
