// What only the X server can tell about the SDL window: whether a window
// manager runs that can make a window full screen. Kept apart because the
// X11 headers define macros (None, Bool, Status) that the rest of the
// backend must not see.
#include "platform/sdl/SDL_Window.h"

#include <vector>

// After every header of ours, so their names stay clear of the X11 macros.
#include <SDL.h>
#include <SDL_syswm.h>

#if defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "platform/Library_Loader.h"

// libX11 is mapped already whenever SDL talks to an X server.
#define RR_X11_FUNCTIONS(X)                                                                                  \
  X(int, XFree, 0, (void* a0), (a0))                                                                         \
  X(int, XGetWindowProperty, BadImplementation,                                                              \
    (Display * a0, Window a1, Atom a2, long a3, long a4, Bool a5, Atom a6, Atom* a7, int* a8, unsigned long* a9, \
     unsigned long* a10, unsigned char** a11),                                                               \
    (a0, a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11))                                                      \
  X(Atom, XInternAtom, 0, (Display * a0, const char* a1, Bool a2), (a0, a1, a2))

RR_IMPORT_LIBRARY(X11Library, "libX11.so.6", "asking the X server about its window manager", RR_X11_FUNCTIONS)

namespace {
// The property `name` of `window` as a list of 32-bit items of `type`.
std::vector<unsigned long> Property(Display* d, Window window, const char* name, Atom type) {
  std::vector<unsigned long> items;
  const Atom property = XInternAtom(d, name, True);
  if (property == 0) return items;
  Atom actual = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(d, window, property, 0, 1024, False, type, &actual, &format, &count, &after, &data) ==
          Success &&
      data != nullptr && actual == type && format == 32) {
    const auto* values = reinterpret_cast<const unsigned long*>(data);
    items.assign(values, values + count);
  }
  if (data != nullptr) XFree(data);
  return items;
}
}  // namespace

EWindowManager SdlWindowManager(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || !SDL_GetWindowWMInfo(window, &info)) return EWindowManager::Fullscreen;
  if (info.subsystem != SDL_SYSWM_X11) return EWindowManager::Fullscreen;
  Display* d = info.info.x11.display;
  const Window root = DefaultRootWindow(d);
  // A manager that follows the desktop conventions names its check window on
  // the root and on that window itself (a stale root property outlives a
  // manager that has gone).
  const std::vector<unsigned long> check = Property(d, root, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
  if (check.empty() || Property(d, Window(check[0]), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW) != check)
    return EWindowManager::Absent;
  const Atom fullscreen = XInternAtom(d, "_NET_WM_STATE_FULLSCREEN", True);
  for (unsigned long atom : Property(d, root, "_NET_SUPPORTED", XA_ATOM))
    if (fullscreen != 0 && atom == fullscreen) return EWindowManager::Fullscreen;
  return EWindowManager::Plain;
}
#else
EWindowManager SdlWindowManager(SDL_Window*) { return EWindowManager::Fullscreen; }
#endif
