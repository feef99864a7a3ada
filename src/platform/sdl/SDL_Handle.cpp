// The SDL window's X11 window id; kept apart because the X11 headers define
// macros (None, Bool, Status) that the rest of the backend must not see.
#include "platform/sdl/SDL_Window.h"

// After every header of ours, so their names stay clear of the X11 macros.
#include <SDL.h>
#include <SDL_syswm.h>

uint32_t CSdlGameWindow::NativeHandle() const {
  if (window_ == nullptr) return 0;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window_, &info)) return 0;
#if defined(SDL_VIDEO_DRIVER_X11)
  // X11 ids are 29-bit numbers, so nothing is lost.
  if (info.subsystem == SDL_SYSWM_X11) return uint32_t(info.info.x11.window);
#endif
  return 0;
}
