// Prints the pointer's current image as the X server shows it: "WIDTH HEIGHT OPAQUE", where
// OPAQUE counts the pixels that are not fully transparent (0 for a hidden pointer).
// Usage: cursor_image (on $DISPLAY). Exits 1 when the display or XFixes is unavailable.
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <stdio.h>

int main(void) {
  Display* display = XOpenDisplay(NULL);
  if (!display) return 1;
  int event = 0, error = 0;
  if (!XFixesQueryExtension(display, &event, &error)) return 1;
  XFixesCursorImage* image = XFixesGetCursorImage(display);
  if (!image) return 1;
  unsigned long opaque = 0;
  for (unsigned long i = 0; i < (unsigned long)image->width * image->height; ++i)
    if ((image->pixels[i] >> 24) & 0xFF) ++opaque;
  printf("%u %u %lu\n", image->width, image->height, opaque);
  XFree(image);
  XCloseDisplay(display);
  return 0;
}
