/* Adds a WIDTHxHEIGHT video mode to every output of the display, so that a test display can
   switch to it. A mode made by `xrandr --newmode` in one process and added by another is freed in
   between on Xvfb; creating and adding it in one connection keeps it. */
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: %s WIDTH HEIGHT\n", argv[0]);
    return 2;
  }
  const unsigned width = (unsigned)atoi(argv[1]), height = (unsigned)atoi(argv[2]);
  Display* display = XOpenDisplay(NULL);
  if (!display) return 1;
  Window root = DefaultRootWindow(display);
  XRRScreenResources* resources = XRRGetScreenResourcesCurrent(display, root);
  if (!resources) return 1;
  char name[32];
  snprintf(name, sizeof name, "%ux%u", width, height);
  for (int i = 0; i < resources->nmode; ++i)
    if (strcmp(resources->modes[i].name, name) == 0) return 0; /* already there */

  XRRModeInfo info;
  memset(&info, 0, sizeof info);
  info.width = width;
  info.height = height;
  info.hTotal = width + 160;
  info.vTotal = height + 45;
  info.dotClock = (unsigned long)info.hTotal * info.vTotal * 60;
  info.hSyncStart = width + 16;
  info.hSyncEnd = width + 112;
  info.vSyncStart = height + 10;
  info.vSyncEnd = height + 12;
  info.name = name;
  info.nameLength = (unsigned)strlen(name);
  RRMode mode = XRRCreateMode(display, root, &info);
  for (int i = 0; i < resources->noutput; ++i) XRRAddOutputMode(display, resources->outputs[i], mode);
  XSync(display, False);
  XRRFreeScreenResources(resources);
  XCloseDisplay(display);
  return 0;
}
