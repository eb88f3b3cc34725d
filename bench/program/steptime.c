// Times a step to the next picture as a person sees it: presses a key in a program's window
// through XTest, then grabs a square around the window's centre every couple of milliseconds
// until enough of its pixels are the next picture's marker colour. The stepping media carry a
// box at their centre, orange (0xFF8000) and blue (0x2050FF) by turns; the viewer's lens darkens
// and tints what it shows a little, hence the ranges.
//
// Usage: steptime WINDOW KEY COLOUR TIMEOUT_SECONDS [HALF_SIZE [MIN_PIXELS]]
//   WINDOW: the window's id (decimal or 0x hex); KEY: a keysym name (Right, space, ...);
//   COLOUR: orange or blue, the marker the step should bring.
// Prints "shown SECONDS" (from just before the key press to the end of the grab that saw the
// marker) or "timeout". Exit status 0 only when shown.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include "screen_marker.h"

int main(int argc, char** argv) {
  if (argc < 5) {
    fprintf(stderr, "usage: %s WINDOW KEY orange|blue TIMEOUT_SECONDS [HALF_SIZE [MIN_PIXELS]]\n", argv[0]);
    return 2;
  }
  const Window window = (Window)strtoul(argv[1], NULL, 0);
  const int blue = strcmp(argv[3], "blue") == 0;
  const double timeout = atof(argv[4]);
  const int half = argc > 5 ? atoi(argv[5]) : 80;
  const int minPixels = argc > 6 ? atoi(argv[6]) : 8000;
  Display* display = XOpenDisplay(NULL);
  if (!display) {
    fprintf(stderr, "cannot open the display\n");
    return 2;
  }
  int event, error, major, minor;
  if (!XTestQueryExtension(display, &event, &error, &major, &minor)) {
    fprintf(stderr, "the X server has no XTest\n");
    return 2;
  }
  const KeySym keysym = XStringToKeysym(argv[2]);
  const KeyCode keycode = keysym == NoSymbol ? 0 : XKeysymToKeycode(display, keysym);
  if (!keycode) {
    fprintf(stderr, "unknown key %s\n", argv[2]);
    return 2;
  }
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes)) {
    fprintf(stderr, "no window %s\n", argv[1]);
    return 2;
  }
  const Window root = DefaultRootWindow(display);
  int cx, cy;
  Window child;
  XTranslateCoordinates(display, window, root, attributes.width / 2, attributes.height / 2, &cx, &cy, &child);

  const double start = Now();
  XTestFakeKeyEvent(display, keycode, True, CurrentTime);
  XTestFakeKeyEvent(display, keycode, False, CurrentTime);
  XFlush(display);
  while (Now() - start < timeout) {
    XImage* image =
        XGetImage(display, root, cx - half, cy - half, (unsigned)(2 * half), (unsigned)(2 * half), AllPlanes, ZPixmap);
    if (image) {
      const int count = CountMarker(image, blue ? IsBlue : IsOrange, NULL);
      XDestroyImage(image);
      if (count >= minPixels) {
        printf("shown %.6f\n", Now() - start);
        return 0;
      }
    }
    struct timespec pause = {0, 2000000};
    nanosleep(&pause, NULL);
  }
  printf("timeout\n");
  return 1;
}
