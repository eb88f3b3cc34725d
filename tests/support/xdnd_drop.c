/* Drops files on a window through the X drag-and-drop protocol (XDND), as a file manager does:
 * XdndEnter and XdndPosition, the target's XdndStatus, XdndDrop, the text/uri-list selection
 * handed over on request, and the target's XdndFinished.
 *
 * Usage: xdnd_drop WINDOW URI...   (the display from DISPLAY)
 * Exit status: 0 the target accepted and finished the drop; 3 the window takes no drops; 4 it
 * refused this drop; 5 it finished without accepting; 6 no answer within ten seconds; 1 other. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static Display* display;
static Window source, target;

static double Now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

static Atom A(const char* name) {
  return XInternAtom(display, name, False);
}

static void Send(const char* message, long l1, long l2, long l3, long l4) {
  XEvent e;
  memset(&e, 0, sizeof e);
  e.xclient.type = ClientMessage;
  e.xclient.window = target;
  e.xclient.message_type = A(message);
  e.xclient.format = 32;
  e.xclient.data.l[0] = (long)source;
  e.xclient.data.l[1] = l1;
  e.xclient.data.l[2] = l2;
  e.xclient.data.l[3] = l3;
  e.xclient.data.l[4] = l4;
  XSendEvent(display, target, False, NoEventMask, &e);
  XFlush(display);
}

/* Answers a request for the dropped names. */
static void Serve(const XSelectionRequestEvent* request, const char* uris) {
  XEvent reply;
  memset(&reply, 0, sizeof reply);
  reply.xselection.type = SelectionNotify;
  reply.xselection.requestor = request->requestor;
  reply.xselection.selection = request->selection;
  reply.xselection.target = request->target;
  reply.xselection.time = request->time;
  reply.xselection.property = None;
  if (request->target == A("text/uri-list") && request->property != None) {
    XChangeProperty(display, request->requestor, request->property, request->target, 8, PropModeReplace,
                    (const unsigned char*)uris, (int)strlen(uris));
    reply.xselection.property = request->property;
  }
  XSendEvent(display, request->requestor, False, NoEventMask, &reply);
  XFlush(display);
}

/* The next event, or 0 when the deadline passes first. */
static int NextEvent(XEvent* e, double deadline) {
  while (!XPending(display)) {
    const double left = deadline - Now();
    if (left <= 0) return 0;
    struct pollfd p = {ConnectionNumber(display), POLLIN, 0};
    poll(&p, 1, (int)(left * 1000) + 1);
  }
  XNextEvent(display, e);
  return 1;
}

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: xdnd_drop WINDOW URI...\n");
    return 1;
  }
  display = XOpenDisplay(NULL);
  if (!display) {
    fprintf(stderr, "xdnd_drop: cannot open the display\n");
    return 1;
  }
  target = (Window)strtoul(argv[1], NULL, 0);
  size_t length = 1;
  for (int i = 2; i < argc; ++i) length += strlen(argv[i]) + 2;
  char* uris = calloc(length, 1);
  if (!uris) return 1;
  for (int i = 2; i < argc; ++i) {
    strcat(uris, argv[i]);
    strcat(uris, "\r\n");
  }

  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* aware = NULL;
  if (XGetWindowProperty(display, target, A("XdndAware"), 0, 1, False, XA_ATOM, &type, &format, &count, &after,
                         &aware) != Success ||
      count == 0) {
    fprintf(stderr, "xdnd_drop: window 0x%lx takes no drops\n", (unsigned long)target);
    return 3;
  }
  long version = *(Atom*)aware;
  XFree(aware);
  if (version > 5) version = 5;

  const Window root = DefaultRootWindow(display);
  source = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
  XSetSelectionOwner(display, A("XdndSelection"), source, CurrentTime);
  XWindowAttributes attributes;
  XGetWindowAttributes(display, target, &attributes);
  int x = 0, y = 0;
  Window child;
  XTranslateCoordinates(display, target, root, attributes.width / 2, attributes.height / 2, &x, &y, &child);

  Send("XdndEnter", version << 24, (long)A("text/uri-list"), None, None);
  Send("XdndPosition", 0, ((long)x << 16) | (y & 0xFFFF), CurrentTime, (long)A("XdndActionCopy"));

  const double deadline = Now() + 10.0;
  int dropped = 0;
  XEvent e;
  while (NextEvent(&e, deadline)) {
    if (e.type == SelectionRequest) {
      Serve(&e.xselectionrequest, uris);
    } else if (e.type == ClientMessage && e.xclient.message_type == A("XdndStatus") && !dropped) {
      if (!(e.xclient.data.l[1] & 1)) {
        Send("XdndLeave", 0, 0, 0, 0);
        fprintf(stderr, "xdnd_drop: the window refused the drop\n");
        return 4;
      }
      Send("XdndDrop", 0, CurrentTime, 0, 0);
      dropped = 1;
    } else if (e.type == ClientMessage && e.xclient.message_type == A("XdndFinished")) {
      const int accepted = version < 5 || (e.xclient.data.l[1] & 1);
      if (!accepted) fprintf(stderr, "xdnd_drop: the window finished without taking the drop\n");
      free(uris);
      XCloseDisplay(display);
      return accepted ? 0 : 5;
    }
  }
  fprintf(stderr, "xdnd_drop: no answer from window 0x%lx\n", (unsigned long)target);
  return 6;
}
