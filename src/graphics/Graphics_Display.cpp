// Owns the display mode seen by the game and the window part of start-up.
#include "graphics/Graphics_Display.h"

#include <algorithm>
#include <cstdint>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Window.h"
#include "platform/Platform.h"
#include "runner/Option_Main.h"
#include "runner/Support_Various.h"

namespace {
// The display without a window: it takes whatever mode is asked for.
RDisplayMode g_display;
}  // namespace

RDisplayMode DisplayMode() {
  if (IGameWindow* w = GameWindow()) return w->Display();
  return g_display;
}

bool DisplayChange(int width, int height, int frequency, int depth, bool test_only) {
  RDisplayMode mode;
  mode.width = width > 0 ? width : 0;
  mode.height = height > 0 ? height : 0;
  mode.frequency = frequency > 0 ? frequency : 0;
  mode.depth = depth > 0 ? depth : 0;
  if (IGameWindow* w = GameWindow()) {
    const bool ok = w->ChangeDisplay(mode, test_only);
    // Full screen covers the display, which may now have another size.
    if (ok && !test_only && WindowState().fullscreen) WindowApplyGeometry();
    return ok;
  }
  if (test_only) return true;
  if (mode.width > 0) g_display.width = mode.width;
  if (mode.height > 0) g_display.height = mode.height;
  if (mode.frequency > 0) g_display.frequency = mode.frequency;
  if (mode.depth > 0) g_display.depth = mode.depth;
  return true;
}

bool DisplaySet(int width, int height, int frequency, int depth) {
  const bool ok = DisplayChange(width, height, frequency, depth, false);
  GR_D3D_Reset();
  return ok;
}

void DisplayReset(int aa) { GR_D3D_Request_Reset(aa); }

void DisplayMouse(int& x, int& y) {
  int left = 0, top = 0, w = 0, h = 0, cx = 0, cy = 0;
  WindowClientRect(left, top, w, h);
  WindowCursorClient(cx, cy);
  x = int(std::clamp<int64_t>(int64_t(left) + cx, INT32_MIN, INT32_MAX));
  y = int(std::clamp<int64_t>(int64_t(top) + cy, INT32_MIN, INT32_MAX));
}

void DisplayMouseSet(int x, int y) { WindowSetCursorScreen(x, y); }

int DisplayDepthOfCode(int code) {
  switch (code) {
    case 1: return 16;
    case 2: return 32;
    default: return -1;
  }
}

void DisplaySizeOfCode(int code, int& width, int& height) {
  static constexpr int kSizes[][2] = {{320, 240}, {640, 480}, {800, 600}, {1024, 768}, {1280, 1024}, {1600, 1200}};
  width = height = -1;
  if (code >= 1 && code <= 6) {
    width = kSizes[code - 1][0];
    height = kSizes[code - 1][1];
  }
}

int DisplayFrequencyOfCode(int code) {
  static constexpr int kRates[] = {60, 70, 85, 100, 120};
  return code >= 1 && code <= 5 ? kRates[code - 1] : -1;
}

bool Init_Graphics_Window() {
  int width = -1, height = -1, frequency = -1, depth = -1;
  bool change = false;
  if (opt_changeresolution) {
    depth = DisplayDepthOfCode(opt_colordepth);
    DisplaySizeOfCode(opt_resolution, width, height);
    frequency = DisplayFrequencyOfCode(opt_frequency);
    change = true;
  }
  const int current = DisplayMode().depth;
  if (depth == -1 && current != 16 && current != 32) {
    // No question to ask here: the picture is drawn in 32 bits whatever the
    // display reports, so going on in a 16-bit mode is the safe answer.
    TraceWrite("Init_Graphics :: display depth " + std::to_string(current) + ", switching to 16 bits");
    depth = 16;
    change = true;
  }
  if (change) DisplayChange(width, height, frequency, depth, false);

  WindowApplyGeometry();

  WindowSetRegionSize(8, 8, true);
  WindowSetRegionScale(opt_scale / 100.0, true);
  WindowSetSizeable(opt_sizeable);
  WindowSetStayOnTop(opt_stayontop);
  WindowSetColor(opt_windowcolor);
  WindowSetShowBorder(!opt_noborder);
  WindowSetShowIcons(!opt_nobuttons);
  WindowSetFullscreen(opt_fullscreen);
  return true;
}

void DisplayResetForTests() { g_display = RDisplayMode{}; }
