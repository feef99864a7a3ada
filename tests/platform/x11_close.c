/* Asks an X11 window to close as a window manager does when its close button
   is clicked: a WM_DELETE_WINDOW message sent to the window's owner.
   Usage: x11_close WINDOW-ID */
#include <X11/Xlib.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
  if (argc != 2) {
    fputs("usage: x11_close WINDOW-ID\n", stderr);
    return 2;
  }
  Display* d = XOpenDisplay(NULL);
  if (d == NULL) {
    fputs("x11_close: cannot open the display\n", stderr);
    return 1;
  }
  XEvent e = {0};
  e.xclient.type = ClientMessage;
  e.xclient.window = (Window)strtoul(argv[1], NULL, 0);
  e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = (long)XInternAtom(d, "WM_DELETE_WINDOW", False);
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(d, e.xclient.window, False, NoEventMask, &e);
  XCloseDisplay(d);
  return 0;
}
