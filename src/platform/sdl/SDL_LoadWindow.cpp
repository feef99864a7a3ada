// The loading window over SDL2: the game's loading picture and a progress bar.
#include "platform/sdl/SDL_LoadWindow.h"

#include <SDL.h>
#include <SDL_shape.h>

#include <algorithm>

#include <cmath>

namespace {

struct RLoadWindow {
  SDL_Window* window = nullptr;
  SDL_Surface* image = nullptr;
  SDL_Surface* back = nullptr;
  SDL_Surface* front = nullptr;
  RLoadLayout layout;
  int percent = 0;
  bool video = false;  // this window initialised the video subsystem
};

RLoadWindow g_load;

SDL_Surface* LoadBmp(const std::vector<uint8_t>* bytes) {
  if (!bytes || bytes->empty()) return nullptr;
  SDL_RWops* rw = SDL_RWFromConstMem(bytes->data(), int(bytes->size()));
  return rw ? SDL_LoadBMP_RW(rw, 1) : nullptr;
}

void Paint() {
  SDL_Surface* screen = SDL_GetWindowSurface(g_load.window);
  if (!screen) return;
  const RLoadLayout& l = g_load.layout;
  SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 0, 0, 0));
  if (g_load.image) {
    SDL_BlitSurface(g_load.image, nullptr, screen, nullptr);
  } else {
    SDL_FillRect(screen, nullptr, SDL_MapRGB(screen->format, 48, 48, 56));
  }
  if (l.bars_visible) {
    SDL_Rect bar{l.bar_left, l.bar_top, l.bar_width, l.bar_height};
    if (g_load.back) {
      SDL_BlitScaled(g_load.back, nullptr, screen, &bar);
    } else {
      SDL_FillRect(screen, &bar, SDL_MapRGB(screen->format, 96, 96, 96));
    }
    SDL_Rect full{l.bar_left, l.bar_top, ProgressWidth(g_load.percent, l.bar_width), l.bar_height};
    if (full.w > 0) {
      if (g_load.front && l.front_stretched) {
        SDL_BlitScaled(g_load.front, nullptr, screen, &full);
      } else if (g_load.front) {
        SDL_Rect src{0, 0, full.w, l.bar_height};
        SDL_BlitSurface(g_load.front, &src, screen, &full);
      } else {
        SDL_FillRect(screen, &full, SDL_MapRGB(screen->format, 40, 100, 220));
      }
    }
  }
  SDL_UpdateWindowSurface(g_load.window);
}

}  // namespace

namespace {
// The colour of the bottom-left pixel of a picture.
bool BottomLeftColour(SDL_Surface* image, SDL_Color& colour) {
  SDL_Surface* rgba = SDL_ConvertSurfaceFormat(image, SDL_PIXELFORMAT_RGBA32, 0);
  if (!rgba) return false;
  bool ok = rgba->w > 0 && rgba->h > 0 && SDL_LockSurface(rgba) == 0;
  if (ok) {
    const Uint8* p = static_cast<const Uint8*>(rgba->pixels) + size_t(rgba->h - 1) * size_t(rgba->pitch);
    colour = SDL_Color{p[0], p[1], p[2], 255};
    SDL_UnlockSurface(rgba);
  }
  SDL_FreeSurface(rgba);
  return ok;
}
}  // namespace

bool PlatformLoadWindowOpen(const RLoadPictures& pictures, bool show_progress, bool scale_progress,
                            bool debug_mode, int alpha, bool transparent) {
  if (g_load.window) return true;
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
  g_load.video = true;
  g_load.image = LoadBmp(pictures.image);
  if (show_progress) {
    g_load.back = LoadBmp(pictures.back);
    g_load.front = LoadBmp(pictures.front);
  }
  SDL_Rect screen{0, 0, 0, 0};
  SDL_GetDisplayBounds(0, &screen);
  g_load.layout = ComputeLoadLayout(g_load.image ? g_load.image->w : 0, g_load.image ? g_load.image->h : 0,
                                    screen.w, screen.h, show_progress, scale_progress, debug_mode);
  const RLoadLayout& l = g_load.layout;
  const Uint32 flags = SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN | SDL_WINDOW_SKIP_TASKBAR;
  SDL_Color key;
  if (transparent && g_load.image && BottomLeftColour(g_load.image, key)) {
    g_load.window = SDL_CreateShapedWindow("", unsigned(std::max(0, screen.x + l.left)),
                                           unsigned(std::max(0, screen.y + l.top)), unsigned(l.width),
                                           unsigned(l.height), flags);
    if (g_load.window) {
      SDL_WindowShapeMode mode;
      mode.mode = ShapeModeColorKey;
      mode.parameters.colorKey = key;
      if (SDL_SetWindowShape(g_load.window, g_load.image, &mode) != 0) {
        SDL_DestroyWindow(g_load.window);
        g_load.window = nullptr;
      }
    }
  }
  if (!g_load.window) {
    g_load.window = SDL_CreateWindow("", screen.x + l.left, screen.y + l.top, l.width, l.height, flags);
  }
  if (!g_load.window) {
    PlatformLoadWindowClose();
    return false;
  }
  if (alpha < 255) SDL_SetWindowOpacity(g_load.window, float(alpha < 0 ? 0 : alpha) / 255.0f);
  SDL_ShowWindow(g_load.window);
  Paint();
  return true;
}

bool PlatformLoadWindowIsOpen() { return g_load.window != nullptr; }

void PlatformLoadWindowProgress(int percent) {
  if (!g_load.window) return;
  g_load.percent = percent;
  Paint();
  SDL_PumpEvents();
}

void PlatformLoadWindowClose() {
  bool video = g_load.video;
  if (g_load.window) SDL_DestroyWindow(g_load.window);
  for (SDL_Surface* s : {g_load.image, g_load.back, g_load.front}) {
    if (s) SDL_FreeSurface(s);
  }
  g_load = RLoadWindow();
  if (video) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

