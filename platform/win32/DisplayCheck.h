// Whether a visible display is available to this process. Without one SDL would quietly choose
// its offscreen driver and the program would run in a window nobody can see.
#pragma once

#include <string>

// True when windows will be shown on a real display, or when the caller chose a headless SDL
// video driver on purpose (SDL_VIDEODRIVER set). Otherwise false, with the reason in *why.
bool Win32DisplayAvailable(std::string* why);
