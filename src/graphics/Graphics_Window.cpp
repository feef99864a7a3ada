// Owns the window state, the region placement and the view mapping table.
#include "graphics/Graphics_Window.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "graphics/Graphics_D3D.h"
#include "graphics/Graphics_Display.h"
#include "platform/Platform.h"

namespace {
RWindowState g_state;

// The cursor relative to the client origin.
int g_cursor_x = 0, g_cursor_y = 0;

// The start-up made the window ready to be shown; it is shown once the first
// room has given it its size, so that it never appears at the 8 x 8 of the
// start-up region and the window manager places it at its real size.
bool g_showWhenSized = false;

struct RViewSlot {
  bool in_use = false;
  double xview = 0, yview = 0, wview = 0, hview = 0;
  double xport = 0, yport = 0, wport = 0, hport = 0;
  double angle = 0;
};
std::array<RViewSlot, kViewMappingSlots> g_slots;
int g_slots_in_use = 0;

// Nearest integer, ties to even, saturated so that a huge or NaN real never
// becomes an undefined conversion.
int RoundInt(double v) {
  if (!std::isfinite(v)) return 0;
  const double r = std::nearbyint(v);
  if (r > 2147483647.0) return INT32_MAX;
  if (r < -2147483648.0) return INT32_MIN;
  return static_cast<int>(r);
}

// a + b and a - b without overflowing, for positions the game may push to any
// integer.
int Add(int a, int b) { return int(std::clamp<int64_t>(int64_t(a) + b, INT32_MIN, INT32_MAX)); }
int Sub(int a, int b) { return int(std::clamp<int64_t>(int64_t(a) - b, INT32_MIN, INT32_MAX)); }

// The window when it exists and can report its geometry.
IGameWindow* OpenWindow() {
  IGameWindow* w = GameWindow();
  return w != nullptr && w->IsOpen() ? w : nullptr;
}

// A client side the window system can make: at least one pixel, and no more
// than its coordinates can address.
int ClampSide(int side) { return std::clamp(side, 1, 32767); }

// The scaled region size the client must at least have with a fixed scale.
int ScaledSide(int side) { return ClampSide(RoundInt(side * g_state.region_scale)); }

// The factor the region is drawn with in a client of cw x ch (scale not 0).
double Factor(int cw, int ch) {
  if (g_state.region_scale > 0) return g_state.region_scale;
  return std::min(double(cw) / g_state.region_width, double(ch) / g_state.region_height);
}

// Left and top of the region in the client when it is not stretched.
void Offset(int cw, int ch, double factor, int& ox, int& oy) {
  ox = (cw - RoundInt(g_state.region_width * factor)) / 2;
  oy = (ch - RoundInt(g_state.region_height * factor)) / 2;
}

// The device presents every frame with the placement it was last given.
void UpdatePlacement() { GR_D3D_Set_Placement(WindowPlacement()); }

void SetClientSize(int w, int h) {
  WindowSaveGeometry();
  g_state.saved_width = ClampSide(w);
  g_state.saved_height = ClampSide(h);
  WindowApplyGeometry();
}

// After a change of the region size or scale: a fixed scale sets (adapt) or
// raises the client to the scaled region.
void AdaptClient(bool adapt) {
  if (g_state.region_scale > 0) {
    const int w = ScaledSide(g_state.region_width), h = ScaledSide(g_state.region_height);
    if (adapt) {
      SetClientSize(w, h);
    } else {
      WindowSaveGeometry();
      if (g_state.saved_width < w || g_state.saved_height < h)
        SetClientSize(std::max(g_state.saved_width, w), std::max(g_state.saved_height, h));
    }
  }
  WindowPaint();
}

bool Usable(int slot) {
  if (slot < 0 || slot >= kViewMappingSlots) return false;
  const RViewSlot& s = g_slots[size_t(slot)];
  return s.in_use && s.wview != 0 && s.hview != 0 && s.wport != 0 && s.hport != 0;
}

// The cursor as a region point.
void CursorRegion(double& x, double& y) {
  int left = 0, top = 0, w = 0, h = 0;
  WindowClientRect(left, top, w, h);
  WindowScreenToRegion(double(left) + g_cursor_x, double(top) + g_cursor_y, x, y);
}

void SetCursorRegion(double x, double y) {
  int px = 0, py = 0;
  WindowRegionToScreen(x, y, px, py);
  WindowSetCursorScreen(px, py);
}
}  // namespace

const RWindowState& WindowState() { return g_state; }

void WindowReset() {
  g_state = RWindowState{};
  g_showWhenSized = false;
  g_cursor_x = g_cursor_y = 0;
  for (int i = 0; i < kViewMappingSlots; ++i) ViewMappingClear(i);
}

// ---- geometry ----

void WindowSaveGeometry() {
  // Until the first show the state is the geometry: the hidden window is
  // given it only then (see WindowApplyGeometry).
  if (g_state.fullscreen || g_state.updating || g_showWhenSized) return;
  IGameWindow* w = OpenWindow();
  // Without a window the saved values are the geometry itself.
  if (w == nullptr) return;
  int left = 0, top = 0, cw = 0, ch = 0, bw = 0, bh = 0;
  w->ClientRect(left, top, cw, ch);
  w->BorderSize(bw, bh);
  g_state.saved_left = left;
  g_state.saved_top = top;
  g_state.saved_width = cw;
  g_state.saved_height = ch;
  g_state.border_width = bw;
  g_state.border_height = bh;
}

void WindowApplyGeometry() {
  IGameWindow* w = GameWindow();
  if (w == nullptr) return;
  // The start-up sets the region and the style several times before the
  // first room decides the size; the window system is told only the last
  // of them, just before the window is shown, so that no window manager
  // races with a train of moves of a window it has not mapped yet.
  if (g_showWhenSized) {
    UpdatePlacement();
    return;
  }
  g_state.updating = true;
  if (g_state.fullscreen) {
    w->SetFullscreen(true);
  } else {
    w->SetFullscreen(false);
    const EBorderStyle style = !g_state.show_border ? EBorderStyle::None
                               : g_state.sizeable   ? EBorderStyle::Sizeable
                                                    : EBorderStyle::Single;
    w->SetBorder(style, g_state.show_icons);
    // What the can-resize handler does for a fixed scale, told to the window
    // system so that a drag never goes below it.
    if (g_state.region_scale > 0) w->SetMinimumClientSize(ScaledSide(g_state.region_width), ScaledSide(g_state.region_height));
    else w->SetMinimumClientSize(1, 1);
    w->SetClientRect(g_state.saved_left, g_state.saved_top, g_state.saved_width, g_state.saved_height);
  }
  g_state.updating = false;
  UpdatePlacement();
}

void WindowClientRect(int& left, int& top, int& width, int& height) {
  IGameWindow* w = g_showWhenSized ? nullptr : OpenWindow();
  if (w != nullptr) {
    w->ClientRect(left, top, width, height);
    return;
  }
  if (g_state.fullscreen) {
    const RDisplayMode d = DisplayMode();
    left = top = 0;
    width = d.width;
    height = d.height;
    return;
  }
  left = g_state.saved_left;
  top = g_state.saved_top;
  width = g_state.saved_width;
  height = g_state.saved_height;
}

void WindowShowWhenSized() {
  g_state.visible = true;
  g_showWhenSized = true;
}

void WindowSetVisible(bool visible) {
  if (g_showWhenSized) {
    g_showWhenSized = false;
    WindowApplyGeometry();
  }
  g_state.visible = visible;
  if (IGameWindow* w = GameWindow()) w->SetVisible(visible);
  // A window shown for the first time has its real geometry only now.
  WindowSaveGeometry();
}

void WindowSetFullscreen(bool fullscreen) {
  if (g_state.fullscreen == fullscreen) return;
  WindowSaveGeometry();
  g_state.fullscreen = fullscreen;
  WindowApplyGeometry();
}

void WindowSetShowBorder(bool show) {
  WindowSaveGeometry();
  g_state.show_border = show;
  WindowApplyGeometry();
}

void WindowSetShowIcons(bool show) {
  WindowSaveGeometry();
  g_state.show_icons = show;
  WindowApplyGeometry();
}

void WindowSetSizeable(bool sizeable) {
  WindowSaveGeometry();
  g_state.sizeable = sizeable;
  WindowApplyGeometry();
}

void WindowSetStayOnTop(bool on_top) {
  g_state.stay_on_top = on_top;
  if (IGameWindow* w = GameWindow()) w->SetStayOnTop(on_top);
}

void WindowSetCaption(const std::string& caption) {
  g_state.caption = caption;
  if (IGameWindow* w = GameWindow()) w->SetCaption(caption);
}

void WindowSetCursor(int cursor) {
  g_state.cursor = cursor;
  g_state.cursor_shown = cursor != -1;
  if (IGameWindow* w = GameWindow()) w->SetCursor(cursor);
}

void WindowSetColor(int color) {
  g_state.color = color;
  // No repaint: a present now could show a frame half drawn.
  UpdatePlacement();
}

int WindowGetColor() { return g_state.color; }

void WindowSetPosition(int x, int y) {
  WindowSaveGeometry();
  g_state.saved_left = x;
  g_state.saved_top = y;
  WindowApplyGeometry();
}

void WindowSetSize(int w, int h) {
  WindowSaveGeometry();
  WindowSetRectangle(g_state.saved_left, g_state.saved_top, w, h);
}

void WindowSetRectangle(int x, int y, int w, int h) {
  WindowSaveGeometry();
  if (g_state.region_scale > 0) {
    w = std::max(w, ScaledSide(g_state.region_width));
    h = std::max(h, ScaledSide(g_state.region_height));
  }
  g_state.saved_left = x;
  g_state.saved_top = y;
  g_state.saved_width = ClampSide(w);
  g_state.saved_height = ClampSide(h);
  WindowApplyGeometry();
}

void WindowCenter() {
  WindowSaveGeometry();
  // The windowed size: in full screen the centring takes effect on leaving.
  const RDisplayMode d = DisplayMode();
  g_state.saved_left = (d.width - g_state.saved_width) / 2;
  g_state.saved_top = (d.height - g_state.saved_height) / 2;
  WindowApplyGeometry();
}

void WindowDefault() {
  WindowSaveGeometry();
  const bool scaled = g_state.region_scale > 0;
  const int w = scaled ? ScaledSide(g_state.region_width) : g_state.region_width;
  const int h = scaled ? ScaledSide(g_state.region_height) : g_state.region_height;
  const RDisplayMode d = DisplayMode();
  g_state.saved_width = ClampSide(w);
  g_state.saved_height = ClampSide(h);
  g_state.saved_left = (d.width - g_state.saved_width) / 2;
  g_state.saved_top = (d.height - g_state.saved_height) / 2;
  WindowApplyGeometry();
}

// ---- the region ----

void WindowSetRegionSize(int w, int h, bool adapt) {
  if (w > 0) g_state.region_width = w;
  if (h > 0) g_state.region_height = h;
  AdaptClient(adapt);
}

void WindowSetRegionScale(double scale, bool adapt) {
  g_state.region_scale = std::isfinite(scale) ? scale : 1.0;
  AdaptClient(adapt);
}

void WindowFitRegion(int w, int h) {
  const RDisplayMode mode = DisplayMode();
  w = std::min(w, mode.width);
  h = std::min(h, mode.height);
  // Both owners of a region size are asked: the start-up leaves the window's
  // at 8 x 8 and the device's at 640 x 480, so a room of either size must
  // still size the other.
  if (w != g_state.region_width || h != g_state.region_height || w != GR_D3D_Region_Width() ||
      h != GR_D3D_Region_Height()) {
    WindowSetRegionSize(w, h, true);
    WindowDefault();
    GR_D3D_Set_Region(w, h);
  }
  if (g_showWhenSized) WindowSetVisible(true);
}

RRegionRect WindowRegionRect(int cw, int ch) {
  if (g_state.region_scale == 0) return {0, 0, cw, ch};
  const double f = Factor(cw, ch);
  RRegionRect r;
  r.width = RoundInt(g_state.region_width * f);
  r.height = RoundInt(g_state.region_height * f);
  r.left = (cw - r.width) / 2;
  r.top = (ch - r.height) / 2;
  return r;
}

RPresentPlacement WindowPlacement() {
  int left = 0, top = 0, cw = 0, ch = 0;
  WindowClientRect(left, top, cw, ch);
  const RRegionRect r = WindowRegionRect(cw, ch);
  RPresentPlacement p;
  p.x = r.left;
  p.y = r.top;
  p.w = r.width;
  p.h = r.height;
  p.client_w = cw;
  p.client_h = ch;
  p.border_color = g_state.color;
  return p;
}

// ---- handlers ----

void WindowPaint() {
  // The device's present fills the strips around the region with the colour.
  UpdatePlacement();
  GR_D3D_Refresh();
}

void WindowOnResize() {
  WindowSaveGeometry();
  WindowPaint();
}

void WindowCanResize(int& width, int& height) {
  if (g_state.updating || g_state.region_scale <= 0) return;
  width = std::max(width, ScaledSide(g_state.region_width));
  height = std::max(height, ScaledSide(g_state.region_height));
}

// ---- the cursor ----

void WindowCursorMoved(int client_x, int client_y) {
  g_cursor_x = client_x;
  g_cursor_y = client_y;
}

void WindowCursorClient(int& client_x, int& client_y) {
  client_x = g_cursor_x;
  client_y = g_cursor_y;
}

void WindowSetCursorClient(int client_x, int client_y) {
  int left = 0, top = 0, w = 0, h = 0;
  WindowClientRect(left, top, w, h);
  WindowSetCursorScreen(Add(left, client_x), Add(top, client_y));
}

void WindowSetCursorScreen(int screen_x, int screen_y) {
  int left = 0, top = 0, w = 0, h = 0;
  WindowClientRect(left, top, w, h);
  g_cursor_x = Sub(screen_x, left);
  g_cursor_y = Sub(screen_y, top);
  if (IGameWindow* win = GameWindow()) win->SetMousePosition(screen_x, screen_y);
}

// ---- conversions ----

void WindowScreenToRegion(double px, double py, double& x, double& y) {
  int left = 0, top = 0, cw = 0, ch = 0;
  WindowClientRect(left, top, cw, ch);
  const double a = px - left, b = py - top;
  const int rw = g_state.region_width, rh = g_state.region_height;
  if (g_state.region_scale == 0) {
    x = RoundInt(a * rw / std::max(cw, 1));
    y = RoundInt(b * rh / std::max(ch, 1));
    return;
  }
  const double f = Factor(cw, ch);
  if (f == 0 || !std::isfinite(f)) {
    x = y = 0;
    return;
  }
  int ox = 0, oy = 0;
  Offset(cw, ch, f, ox, oy);
  x = RoundInt((a - ox) / f);
  y = RoundInt((b - oy) / f);
}

void WindowRegionToScreen(double x, double y, int& px, int& py) {
  int left = 0, top = 0, cw = 0, ch = 0;
  WindowClientRect(left, top, cw, ch);
  const int rw = g_state.region_width, rh = g_state.region_height;
  if (g_state.region_scale == 0) {
    px = RoundInt(left + std::nearbyint(x * cw / rw));
    py = RoundInt(top + std::nearbyint(y * ch / rh));
    return;
  }
  const double f = Factor(cw, ch);
  // The same offset as the way in, so that setting the cursor to a point and
  // reading it back gives that point.
  int ox = 0, oy = 0;
  Offset(cw, ch, f, ox, oy);
  px = RoundInt(double(left) + ox + std::nearbyint(x * f));
  py = RoundInt(double(top) + oy + std::nearbyint(y * f));
}

// ---- view mapping ----

void ViewMappingClear(int slot) {
  if (slot < 0 || slot >= kViewMappingSlots) return;
  RViewSlot& s = g_slots[size_t(slot)];
  if (s.in_use) --g_slots_in_use;
  s = RViewSlot{};
}

void ViewMappingSet(int slot, double xview, double yview, double wview, double hview, double xport, double yport,
                    double wport, double hport, double angle) {
  if (slot < 0 || slot >= kViewMappingSlots) return;
  RViewSlot& s = g_slots[size_t(slot)];
  if (!s.in_use) ++g_slots_in_use;
  s = RViewSlot{true, xview, yview, wview, hview, xport, yport, wport, hport, angle};
}

bool ViewMappingInUse(int slot) { return slot >= 0 && slot < kViewMappingSlots && g_slots[size_t(slot)].in_use; }

int ViewMappingCount() { return g_slots_in_use; }

void ViewRegionToRoom(int slot, double x, double y, double& rx, double& ry) {
  rx = x;
  ry = y;
  if (!Usable(slot)) return;
  const RViewSlot& s = g_slots[size_t(slot)];
  const double d = (x - s.xport) * s.wview / s.wport;
  const double e = (y - s.yport) * s.hview / s.hport;
  if (std::fabs(s.angle) < 0.01) {
    rx = RoundInt(d + s.xview);
    ry = RoundInt(e + s.yview);
    return;
  }
  const double t = -s.angle * std::numbers::pi / 180.0;
  const double d1 = d - s.wview / 2, e1 = e - s.hview / 2;
  rx = RoundInt(std::cos(t) * d1 + std::sin(t) * e1 + s.xview + s.wview / 2);
  ry = RoundInt(-std::sin(t) * d1 + std::cos(t) * e1 + s.yview + s.hview / 2);
}

void ViewRoomToRegion(int slot, double x, double y, double& rx, double& ry) {
  rx = x;
  ry = y;
  if (!Usable(slot)) return;
  const RViewSlot& s = g_slots[size_t(slot)];
  if (std::fabs(s.angle) < 0.01) {
    rx = RoundInt((x - s.xview) * s.wport / s.wview + s.xport);
    ry = RoundInt((y - s.yview) * s.hport / s.hview + s.yport);
    return;
  }
  // Turned back about the view's centre in room units, then scaled to the
  // port: the exact inverse of the way in even when the view and the port
  // scale the two axes differently.
  const double t = s.angle * std::numbers::pi / 180.0;
  const double d1 = x - s.xview - s.wview / 2, e1 = y - s.yview - s.hview / 2;
  const double d = std::cos(t) * d1 + std::sin(t) * e1;
  const double e = -std::sin(t) * d1 + std::cos(t) * e1;
  rx = d * s.wport / s.wview + s.xport + s.wport / 2;
  ry = e * s.hport / s.hview + s.yport + s.hport / 2;
}

void WindowViewMouse(int slot, double& x, double& y) {
  double px = 0, py = 0;
  CursorRegion(px, py);
  ViewRegionToRoom(slot, px, py, x, y);
}

void WindowViewsMouse(double& x, double& y) {
  CursorRegion(x, y);
  if (g_slots_in_use == 0) return;
  const double px = x, py = y;
  // The highest-numbered view holding the point wins; when none holds it, the
  // lowest-numbered view's conversion stands.
  for (int i = kViewMappingSlots - 1; i >= 0; --i) {
    if (!Usable(i)) continue;
    const RViewSlot& s = g_slots[size_t(i)];
    ViewRegionToRoom(i, px, py, x, y);
    if (s.xview <= x && x < s.xview + s.wview && s.yview <= y && y < s.yview + s.hview) return;
  }
}

double WindowViewsMouseX() {
  double x = 0, y = 0;
  WindowViewsMouse(x, y);
  return x;
}

double WindowViewsMouseY() {
  double x = 0, y = 0;
  WindowViewsMouse(x, y);
  return y;
}

void WindowViewMouseSet(int slot, double x, double y) {
  double rx = 0, ry = 0;
  ViewRoomToRegion(slot, x, y, rx, ry);
  SetCursorRegion(rx, ry);
}

void WindowViewsMouseSet(double x, double y) {
  for (int i = 0; i < kViewMappingSlots; ++i) {
    if (g_slots[size_t(i)].in_use) {
      WindowViewMouseSet(i, x, y);
      return;
    }
  }
  SetCursorRegion(x, y);
}
