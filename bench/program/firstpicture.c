// Watches the screen for the first picture of a program that is about to start: follows the
// next top-level window that is mapped, grabs a square around its centre every couple of
// milliseconds, and reports the CLOCK_MONOTONIC time of the first grab in which enough pixels
// are the test media's marker orange. The test media carry an orange box at their centre; no
// other colour of testsrc2 (its bars are primaries and their mixes), the viewer's welcome
// picture, its black mask nor the desktop passes the test, so the box on the screen is the media
// on the screen. The viewer's lens darkens and tints what it shows a little, hence the ranges.
//
// Usage: firstpicture TIMEOUT_SECONDS [HALF_SIZE [MIN_PIXELS [DUMP.ppm]]]
// Prints "ready" once it listens to the root window (start the program after that), then
// "shown SECONDS" (the monotonic clock at the end of the grab that saw the picture) or
// "timeout" (and writes the last grab to DUMP.ppm when named). Exit status 0 only when shown.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "screen_marker.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: %s TIMEOUT_SECONDS [HALF_SIZE [MIN_PIXELS [DUMP.ppm]]]\n", argv[0]);
    return 2;
  }
  const double timeout = atof(argv[1]);
  const int half = argc > 2 ? atoi(argv[2]) : 80;
  const int minPixels = argc > 3 ? atoi(argv[3]) : 1500;
  const char* dumpPath = argc > 4 ? argv[4] : NULL;

  Display* display = XOpenDisplay(NULL);
  if (!display) {
    fprintf(stderr, "firstpicture: cannot open the display\n");
    return 2;
  }
  const Window root = DefaultRootWindow(display);
  const int screenW = DisplayWidth(display, DefaultScreen(display));
  const int screenH = DisplayHeight(display, DefaultScreen(display));
  XSelectInput(display, root, SubstructureNotifyMask);
  XSync(display, False);
  printf("ready\n");
  fflush(stdout);

  const double end = Now() + timeout;
  Window target = 0;
  int cx = 0, cy = 0;
  XImage* last = NULL;
  while (Now() < end) {
    // The newest mapped top-level window (the window manager's frame around the program's
    // window), and its moves and resizes.
    while (XPending(display)) {
      XEvent e;
      XNextEvent(display, &e);
      if (e.type == MapNotify && e.xmap.event == root && !e.xmap.override_redirect) {
        XWindowAttributes a;
        if (XGetWindowAttributes(display, e.xmap.window, &a)) {
          target = e.xmap.window;
          cx = a.x + a.width / 2;
          cy = a.y + a.height / 2;
        }
      } else if (e.type == ConfigureNotify && e.xconfigure.event == root && e.xconfigure.window == target) {
        cx = e.xconfigure.x + e.xconfigure.width / 2;
        cy = e.xconfigure.y + e.xconfigure.height / 2;
      }
    }
    if (target) {
      int x0 = cx - half, y0 = cy - half, x1 = cx + half, y1 = cy + half;
      if (x0 < 0) x0 = 0;
      if (y0 < 0) y0 = 0;
      if (x1 > screenW) x1 = screenW;
      if (y1 > screenH) y1 = screenH;
      if (x1 > x0 && y1 > y0) {
        XImage* image = XGetImage(display, root, x0, y0, (unsigned)(x1 - x0), (unsigned)(y1 - y0), AllPlanes, ZPixmap);
        const double at = Now();
        if (image) {
          if (CountMarker(image, IsOrange, NULL) >= minPixels) {
            printf("shown %.6f\n", at);
            XDestroyImage(image);
            if (last) XDestroyImage(last);
            XCloseDisplay(display);
            return 0;
          }
          if (last) XDestroyImage(last);
          last = image;
        }
      }
    }
    const struct timespec pause = {0, 2000000};  // 2 ms: fine enough, and leaves the CPUs to the program
    nanosleep(&pause, NULL);
  }
  printf("timeout\n");
  if (dumpPath && last) {
    FILE* f = fopen(dumpPath, "wb");
    if (f) {
      CountMarker(last, IsOrange, f);
      fclose(f);
    }
  }
  if (last) XDestroyImage(last);
  XCloseDisplay(display);
  return 1;
}
