// The seam between the Win32 stand-in and the other stand-in layers that need SDL directly
// (the graphics device draws into the window; the input devices read its events).
// Not for code above platform/. All calls on the window's thread.
#pragma once

#include <functional>

#include "platform/kit/wintypes.h"

struct SDL_Window;
union SDL_Event;

// The SDL window behind a window handle; null for null or an unknown handle.
SDL_Window* Win32SdlWindow(HWND hwnd);
// The window handle of an SDL window the Win32 layer created; null otherwise.
HWND Win32WindowFromSdl(SDL_Window* window);

// Every SDL event the message pump takes from SDL is shown to each listener, in the order
// registered, before it is translated into window messages. Returns an id for removal.
using SdlEventListener = std::function<void(const SDL_Event& event)>;
int Win32AddSdlEventListener(SdlEventListener listener);
void Win32RemoveSdlEventListener(int id);

// A layer that draws into a window registers how to show the window's last picture again. While
// a modal wait (a dialog run by the window layer) keeps the window's thread from drawing frames,
// the window layer calls the handler registered last for a window whenever that window needs
// painting. Returns an id for removal.
int Win32AddRepaintHandler(HWND hwnd, std::function<void()> repaint);
void Win32RemoveRepaintHandler(int id);
