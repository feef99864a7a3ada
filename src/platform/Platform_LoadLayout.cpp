// Geometry of the loading window and its progress bar.
#include "platform/Platform_LoadLayout.h"

#include <cmath>

RLoadLayout ComputeLoadLayout(int image_w, int image_h, int screen_w, int screen_h, bool show_progress,
                              bool scale_progress, bool debug_mode) {
  RLoadLayout l;
  if (image_w > 0 && image_h > 0) {
    l.width = image_w;
    l.height = image_h;
  }
  l.left = (screen_w - l.width) / 2;
  l.top = (screen_h - l.height) / 2;
  l.bar_top = l.height - 32;
  l.bar_width = l.width - 2 * l.bar_left;
  l.bars_visible = show_progress;
  l.front_stretched = scale_progress;
  l.label_visible = debug_mode && show_progress;
  return l;
}

int ProgressWidth(int percent, int bar_width) {
  return int(std::nearbyint(double(percent) * double(bar_width) / 100.0));  // default mode: halves to even
}
