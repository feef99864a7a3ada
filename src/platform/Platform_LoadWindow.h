#pragma once
// The loading window: a borderless window centred on the screen showing the
// game's loading picture and a progress bar, over SDL2.
#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Game_Window.h"  // RLoadPictures

// Geometry of the loading window and its bar, in window pixels.
struct RLoadLayout {
  int width = 332, height = 92;  // client size: the loading picture's size
  int left = 0, top = 0;         // centred on the screen
  int bar_left = 24, bar_top = 60, bar_width = 284, bar_height = 16;
  bool bars_visible = true;
  bool front_stretched = false;
  bool label_visible = false;
};

// Lays the window out for a picture of image_w x image_h (0 x 0: none, the
// default 332 x 92 is used) on a screen_w x screen_h screen.
RLoadLayout ComputeLoadLayout(int image_w, int image_h, int screen_w, int screen_h, bool show_progress,
                              bool scale_progress, bool debug_mode);
// Width of the bar's front part: percent of the bar width, rounded to
// nearest with halves to even.
int ProgressWidth(int percent, int bar_width);


// Opens the window (needs a display). False when it cannot be shown; the
// load goes on without it.
// With transparent, the colour of the picture's bottom-left pixel is see-
// through where the window system supports shaped windows.
bool PlatformLoadWindowOpen(const RLoadPictures& pictures, bool show_progress, bool scale_progress,
                            bool debug_mode, int alpha, bool transparent = false);
bool PlatformLoadWindowIsOpen();
void PlatformLoadWindowProgress(int percent);
void PlatformLoadWindowClose();
// Lets the window system deliver pending events (repaints, moves).
void PlatformPumpEvents();
