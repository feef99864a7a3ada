#include "platform/Platform_Dialog.h"

#include <SDL.h>

#include <cstdlib>

bool PlatformDisplayAvailable() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 && *x11) || (wayland && *wayland);
}

bool PlatformMessageBox(const std::string& title, const std::string& text) {
  // Works before and without SDL_Init.
  return SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title.c_str(), text.c_str(), nullptr) == 0;
}
