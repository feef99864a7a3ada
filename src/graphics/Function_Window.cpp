// Owns the window and display functions of the language.
#include "graphics/Function_Window.h"

#include "graphics/Graphics_Display.h"
#include "graphics/Graphics_Window.h"
#include "script/Function_Args.h"
#include "script/Function_Library.h"

namespace {
#define ROUTINE(name) \
  void name(CInstance*, CInstance*, [[maybe_unused]] int argc, [[maybe_unused]] RValue& result, [[maybe_unused]] RValue* args)

void SetBool(RValue& r, bool b) { r.SetReal(b ? 1 : 0); }
const RWindowState& W() { return WindowState(); }


// ---- display ----
ROUTINE(F_display_get_width) { result.SetReal(DisplayMode().width); }
ROUTINE(F_display_get_height) { result.SetReal(DisplayMode().height); }
ROUTINE(F_display_get_colordepth) { result.SetReal(DisplayMode().depth); }
ROUTINE(F_display_get_frequency) { result.SetReal(DisplayMode().frequency); }
ROUTINE(F_display_get_orientation) { result.SetReal(0); }
ROUTINE(F_display_set_size) { SetBool(result, DisplaySet(ArgInt(args[0]), ArgInt(args[1]), -1, -1)); }
ROUTINE(F_display_set_colordepth) { SetBool(result, DisplaySet(-1, -1, -1, ArgInt(args[0]))); }
ROUTINE(F_display_set_frequency) { SetBool(result, DisplaySet(-1, -1, ArgInt(args[0]), -1)); }
ROUTINE(F_display_set_all) {
  SetBool(result, DisplaySet(ArgInt(args[0]), ArgInt(args[1]), ArgInt(args[2]), ArgInt(args[3])));
}
ROUTINE(F_display_test_all) {
  SetBool(result, DisplayChange(ArgInt(args[0]), ArgInt(args[1]), ArgInt(args[2]), ArgInt(args[3]), true));
}
ROUTINE(F_display_reset) { DisplayReset(argc > 0 ? ArgInt(args[0]) : 0); }
ROUTINE(F_display_mouse_get_x) {
  int x = 0, y = 0;
  DisplayMouse(x, y);
  result.SetReal(x);
}
ROUTINE(F_display_mouse_get_y) {
  int x = 0, y = 0;
  DisplayMouse(x, y);
  result.SetReal(y);
}
ROUTINE(F_display_mouse_set) { DisplayMouseSet(ArgInt(args[0]), ArgInt(args[1])); }

// ---- window style ----
ROUTINE(F_window_set_visible) { WindowSetVisible(ArgBool(args[0])); }
ROUTINE(F_window_get_visible) { SetBool(result, W().visible); }
ROUTINE(F_window_set_fullscreen) { WindowSetFullscreen(ArgBool(args[0])); }
ROUTINE(F_window_get_fullscreen) { SetBool(result, W().fullscreen); }
ROUTINE(F_window_set_showborder) { WindowSetShowBorder(ArgBool(args[0])); }
ROUTINE(F_window_get_showborder) { SetBool(result, W().show_border); }
ROUTINE(F_window_set_showicons) { WindowSetShowIcons(ArgBool(args[0])); }
ROUTINE(F_window_get_showicons) { SetBool(result, W().show_icons); }
ROUTINE(F_window_set_stayontop) { WindowSetStayOnTop(ArgBool(args[0])); }
ROUTINE(F_window_get_stayontop) { SetBool(result, W().stay_on_top); }
ROUTINE(F_window_set_sizeable) { WindowSetSizeable(ArgBool(args[0])); }
ROUTINE(F_window_get_sizeable) { SetBool(result, W().sizeable); }
ROUTINE(F_window_set_caption) { WindowSetCaption(ArgString(args[0])); }
ROUTINE(F_window_get_caption) { result.SetString(W().caption); }
ROUTINE(F_window_set_cursor) { WindowSetCursor(ArgInt(args[0])); }
ROUTINE(F_window_get_cursor) { result.SetReal(W().cursor); }
ROUTINE(F_window_set_color) { WindowSetColor(ArgColor(args[0])); }
ROUTINE(F_window_get_color) { result.SetReal(WindowGetColor()); }

// ---- window geometry ----
ROUTINE(F_window_set_position) { WindowSetPosition(ArgInt(args[0]), ArgInt(args[1])); }
ROUTINE(F_window_set_size) { WindowSetSize(ArgInt(args[0]), ArgInt(args[1])); }
ROUTINE(F_window_set_rectangle) {
  WindowSetRectangle(ArgInt(args[0]), ArgInt(args[1]), ArgInt(args[2]), ArgInt(args[3]));
}
ROUTINE(F_window_center) { WindowCenter(); }
ROUTINE(F_window_default) { WindowDefault(); }
ROUTINE(F_window_get_x) {
  int l = 0, t = 0, w = 0, h = 0;
  WindowClientRect(l, t, w, h);
  result.SetReal(l);
}
ROUTINE(F_window_get_y) {
  int l = 0, t = 0, w = 0, h = 0;
  WindowClientRect(l, t, w, h);
  result.SetReal(t);
}
ROUTINE(F_window_get_width) {
  int l = 0, t = 0, w = 0, h = 0;
  WindowClientRect(l, t, w, h);
  result.SetReal(w);
}
ROUTINE(F_window_get_height) {
  int l = 0, t = 0, w = 0, h = 0;
  WindowClientRect(l, t, w, h);
  result.SetReal(h);
}

// ---- region ----
ROUTINE(F_window_set_region_size) { WindowSetRegionSize(ArgInt(args[0]), ArgInt(args[1]), ArgBool(args[2])); }
ROUTINE(F_window_get_region_width) { result.SetReal(W().region_width); }
ROUTINE(F_window_get_region_height) { result.SetReal(W().region_height); }
ROUTINE(F_window_set_region_scale) { WindowSetRegionScale(ArgReal(args[0]), ArgBool(args[1])); }
ROUTINE(F_window_get_region_scale) { result.SetReal(W().region_scale); }

// ---- the cursor ----
ROUTINE(F_window_mouse_get_x) {
  int x = 0, y = 0;
  WindowCursorClient(x, y);
  result.SetReal(x);
}
ROUTINE(F_window_mouse_get_y) {
  int x = 0, y = 0;
  WindowCursorClient(x, y);
  result.SetReal(y);
}
ROUTINE(F_window_mouse_set) { WindowSetCursorClient(ArgInt(args[0]), ArgInt(args[1])); }
ROUTINE(F_window_view_mouse_get_x) {
  double x = 0, y = 0;
  WindowViewMouse(ArgInt(args[0]), x, y);
  result.SetReal(x);
}
ROUTINE(F_window_view_mouse_get_y) {
  double x = 0, y = 0;
  WindowViewMouse(ArgInt(args[0]), x, y);
  result.SetReal(y);
}
ROUTINE(F_window_view_mouse_set) { WindowViewMouseSet(ArgInt(args[0]), ArgReal(args[1]), ArgReal(args[2])); }
ROUTINE(F_window_views_mouse_get_x) { result.SetReal(WindowViewsMouseX()); }
ROUTINE(F_window_views_mouse_get_y) { result.SetReal(WindowViewsMouseY()); }
ROUTINE(F_window_views_mouse_set) { WindowViewsMouseSet(ArgReal(args[0]), ArgReal(args[1])); }

#undef ROUTINE

constexpr RBuiltin kFunctions[] = {
    {"display_get_width", F_display_get_width, 0},
    {"display_get_height", F_display_get_height, 0},
    {"display_get_colordepth", F_display_get_colordepth, 0},
    {"display_get_frequency", F_display_get_frequency, 0},
    {"display_get_orientation", F_display_get_orientation, 0},
    {"display_set_size", F_display_set_size, 2},
    {"display_set_colordepth", F_display_set_colordepth, 1},
    {"display_set_frequency", F_display_set_frequency, 1},
    {"display_set_all", F_display_set_all, 4},
    {"display_test_all", F_display_test_all, 4},
    {"display_reset", F_display_reset, -1},
    {"display_mouse_get_x", F_display_mouse_get_x, 0},
    {"display_mouse_get_y", F_display_mouse_get_y, 0},
    {"display_mouse_set", F_display_mouse_set, 2},
    {"window_set_visible", F_window_set_visible, 1},
    {"window_get_visible", F_window_get_visible, 0},
    {"window_set_fullscreen", F_window_set_fullscreen, 1},
    {"window_get_fullscreen", F_window_get_fullscreen, 0},
    {"window_set_showborder", F_window_set_showborder, 1},
    {"window_get_showborder", F_window_get_showborder, 0},
    {"window_set_showicons", F_window_set_showicons, 1},
    {"window_get_showicons", F_window_get_showicons, 0},
    {"window_set_stayontop", F_window_set_stayontop, 1},
    {"window_get_stayontop", F_window_get_stayontop, 0},
    {"window_set_sizeable", F_window_set_sizeable, 1},
    {"window_get_sizeable", F_window_get_sizeable, 0},
    {"window_set_caption", F_window_set_caption, 1},
    {"window_get_caption", F_window_get_caption, 0},
    {"window_set_cursor", F_window_set_cursor, 1},
    {"window_get_cursor", F_window_get_cursor, 0},
    {"window_set_color", F_window_set_color, 1},
    {"window_get_color", F_window_get_color, 0},
    {"window_set_position", F_window_set_position, 2},
    {"window_set_size", F_window_set_size, 2},
    {"window_set_rectangle", F_window_set_rectangle, 4},
    {"window_center", F_window_center, 0},
    {"window_default", F_window_default, 0},
    {"window_get_x", F_window_get_x, 0},
    {"window_get_y", F_window_get_y, 0},
    {"window_get_width", F_window_get_width, 0},
    {"window_get_height", F_window_get_height, 0},
    {"window_set_region_size", F_window_set_region_size, 3},
    {"window_get_region_width", F_window_get_region_width, 0},
    {"window_get_region_height", F_window_get_region_height, 0},
    {"window_set_region_scale", F_window_set_region_scale, 2},
    {"window_get_region_scale", F_window_get_region_scale, 0},
    {"window_mouse_get_x", F_window_mouse_get_x, 0},
    {"window_mouse_get_y", F_window_mouse_get_y, 0},
    {"window_mouse_set", F_window_mouse_set, 2},
    {"window_view_mouse_get_x", F_window_view_mouse_get_x, 1},
    {"window_view_mouse_get_y", F_window_view_mouse_get_y, 1},
    {"window_view_mouse_set", F_window_view_mouse_set, 3},
    {"window_views_mouse_get_x", F_window_views_mouse_get_x, 0},
    {"window_views_mouse_get_y", F_window_views_mouse_get_y, 0},
    {"window_views_mouse_set", F_window_views_mouse_set, 2},
};
}  // namespace

const RFunctionLibrary kLibrary_Window{"Window", kFunctions};
