#pragma once
// The game window model: border, full screen and geometry, the drawing region
// and where it appears in the client area, the view mapping used for mouse
// positions, and the conversions between screen, region and room points.
// With no window installed (tests, tools) the model keeps its own state and
// every getter answers from it.
#include <string>

#include "graphics/Graphics_D3D.h"

// The window state with its start values (before the game settings apply).
struct RWindowState {
  bool show_border = true;
  bool show_icons = true;
  bool fullscreen = false;
  bool sizeable = true;
  // The client area while windowed: remembered across full screen.
  int saved_left = 100, saved_top = 100;
  int saved_width = 640, saved_height = 480;
  int border_width = 8, border_height = 32;
  int region_width = 640, region_height = 480;
  // > 0 fixed factor; 0 stretch to fill the client; < 0 the largest uniform
  // factor that fits.
  double region_scale = 1.0;
  // Set while the geometry is being applied, so that the resize the window
  // reports meanwhile does not overwrite the geometry being applied.
  bool updating = false;

  // Kept by the window itself when there is one; mirrored here.
  bool visible = false;
  bool stay_on_top = false;
  std::string caption;
  int cursor = 0;  // cr_* number
  bool cursor_shown = true;
  int color = 0;   // outside the region, 0x00BBGGRR
};

// The state as it stands (read-only); WindowReset puts back the start values.
const RWindowState& WindowState();
void WindowReset();

// ---- geometry ----
// Remembers the windowed client origin, client size and border size (not in
// full screen, not while applying).
void WindowSaveGeometry();
// Sets the window's border, full screen and client bounds from the state.
void WindowApplyGeometry();
// The client area on the screen as it is now.
void WindowClientRect(int& left, int& top, int& width, int& height);

void WindowSetVisible(bool visible);
// The start of the graphics start-up: the window counts as visible and is
// shown by the first WindowFitRegion (unless the game shows or hides it
// first); until then its geometry is kept here and given to it on showing.
void WindowShowWhenSized();
void WindowSetFullscreen(bool fullscreen);
void WindowSetShowBorder(bool show);
void WindowSetShowIcons(bool show);
void WindowSetSizeable(bool sizeable);
void WindowSetStayOnTop(bool on_top);
void WindowSetCaption(const std::string& caption);
// cr_none (-1) hides the cursor.
void WindowSetCursor(int cursor);
void WindowSetColor(int color);
int WindowGetColor();

void WindowSetPosition(int x, int y);
// With a positive scale each side is raised to the scaled region side.
void WindowSetSize(int w, int h);
void WindowSetRectangle(int x, int y, int w, int h);
void WindowCenter();
void WindowDefault();

// ---- the region ----
// Region size (each side only when > 0); with a positive scale the client is
// set to (adapt) or raised to (no adapt) the scaled region size.
void WindowSetRegionSize(int w, int h, bool adapt);
void WindowSetRegionScale(double scale, bool adapt);
// A room was entered whose drawing needs a region of w x h (clipped to the
// display): when the window's region or the device's differs, the region
// takes that size, the window its default size and place, and the device
// draws into it. The first call also shows the window the start-up has
// made ready (see WindowShowWhenSized), so that it appears at its size.
void WindowFitRegion(int w, int h);

// Where the region lies in a client area of cw x ch (may be negative or
// larger than the client when the client is too small: the region is then
// centred and cut).
struct RRegionRect {
  int left = 0, top = 0, width = 0, height = 0;
};
RRegionRect WindowRegionRect(int client_width, int client_height);

// Where the region is shown in the client area as it is now.
RPresentPlacement WindowPlacement();

// ---- window handlers (called by the window backend) ----
// Tells the device where the region appears, then presents.
void WindowPaint();
void WindowOnResize();
// Raises a proposed client size to the scaled region when the scale is fixed.
void WindowCanResize(int& width, int& height);

// ---- the cursor ----
// The cursor relative to the client origin, as the window's motion events (or
// scripted input) report it.
void WindowCursorMoved(int client_x, int client_y);
void WindowCursorClient(int& client_x, int& client_y);
// Moves the cursor to a client-relative position / a screen position.
void WindowSetCursorClient(int client_x, int client_y);
void WindowSetCursorScreen(int screen_x, int screen_y);

// ---- conversions ----
void WindowScreenToRegion(double px, double py, double& x, double& y);
void WindowRegionToScreen(double x, double y, int& px, int& py);

// The view mapping table: room drawing clears and fills it every frame; the
// mouse conversions read it.
inline constexpr int kViewMappingSlots = 32;
void ViewMappingClear(int slot);
void ViewMappingSet(int slot, double xview, double yview, double wview, double hview, double xport, double yport,
                    double wport, double hport, double angle);
bool ViewMappingInUse(int slot);
int ViewMappingCount();

// Region point to room point through a slot and back. A slot not in use, or
// with a zero view or port side, leaves the point as it is.
void ViewRegionToRoom(int slot, double x, double y, double& rx, double& ry);
void ViewRoomToRegion(int slot, double x, double y, double& rx, double& ry);

// The cursor in the room through one view slot, through the view under the
// cursor (also mouse_x, mouse_y), and moving it there.
void WindowViewMouse(int slot, double& x, double& y);
void WindowViewsMouse(double& x, double& y);
double WindowViewsMouseX();
double WindowViewsMouseY();
void WindowViewMouseSet(int slot, double x, double y);
void WindowViewsMouseSet(double x, double y);
