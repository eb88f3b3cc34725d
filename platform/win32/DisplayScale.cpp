#include "platform/win32/DisplayScale.h"

#include <X11/Xlib.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "platform/win32/Win32State.h"

int Win32ParseScale(std::string_view text) {
  if (text.empty() || text.size() > 2) return 0;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value >= 1 && value <= kWin32MaxScale ? value : 0;
}

int Win32ScaleFromDesktop(const char* gdkScale, const char* xftDpi) {
  if (gdkScale && *gdkScale)
    if (const int scale = Win32ParseScale(gdkScale)) return scale;
  if (xftDpi && *xftDpi) {
    char* end = nullptr;
    errno = 0;
    const double dpi = std::strtod(xftDpi, &end);
    if (errno == 0 && end != xftDpi && *end == '\0' && std::isfinite(dpi) && dpi >= 96.0)
      return static_cast<int>(std::min(std::floor(dpi / 96.0), double{kWin32MaxScale}));
  }
  return 1;
}

std::string Win32XftDpi() {
  const char* name = std::getenv("DISPLAY");
  if (!name || !*name) return {};
  Display* display = XOpenDisplay(name);
  if (!display) return {};
  // The resource database the desktop loaded into the server (xrdb), as every X client reads it.
  const char* value = XGetDefault(display, "Xft", "dpi");
  std::string dpi = value ? value : "";
  XCloseDisplay(display);
  return dpi;
}

void Win32SetWindowScale(int scale) {
  Win32State().scale = scale >= 1 && scale <= kWin32MaxScale ? scale : 1;
}

int Win32WindowScale() {
  return Win32State().scale;
}

int Win32Logical(int device) {
  const int scale = Win32State().scale;
  return device >= 0 ? device / scale : -((-device + scale - 1) / scale);
}

int Win32Device(int logical) {
  return logical * Win32State().scale;
}
