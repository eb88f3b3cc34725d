// Windows on screens the desktop enlarges. At scale N every window is N times as large on the
// screen as the program asks for, and the Win32 layer shows the program every coordinate divided
// by N (client and window sizes, window and pointer positions, clicks, the screen's size), as
// Windows does for programs that know nothing of screen scaling: the program lays out, draws and
// hit-tests at its own size, and the graphics layer shows each of its pixels as a square of N x N
// screen pixels. Scale 1 changes nothing. Window's thread.
#pragma once

#include <string>
#include <string_view>

constexpr int kWin32MaxScale = 8;

// The scale the desktop asks for, from the raw texts of the environment variable GDK_SCALE and
// the X resource Xft.dpi (null or empty when unset): GDK_SCALE when it is a whole number from 1
// to kWin32MaxScale; otherwise Xft.dpi divided by 96, rounded down, at most kWin32MaxScale;
// otherwise 1.
int Win32ScaleFromDesktop(const char* gdkScale, const char* xftDpi);
// The Xft.dpi resource of the display named by DISPLAY; empty when it is unset or there is no
// display.
std::string Win32XftDpi();
// The scale a text names: a whole number from 1 to kWin32MaxScale, otherwise 0.
int Win32ParseScale(std::string_view text);

// Sets the scale of the program's windows (values outside 1..kWin32MaxScale count as 1). Set it
// before the first window is created: windows already on the screen keep their size.
void Win32SetWindowScale(int scale);
int Win32WindowScale();
