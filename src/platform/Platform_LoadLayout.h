#pragma once
// Geometry of the loading window and its progress bar.

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
